#include "builder/glob.h"

#include <algorithm>
#include <span>
#include <system_error>

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    std::size_t slash = path.find('/');
    std::string_view part = path.substr(0, slash);
    if (!part.empty() && part != ".") parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

constexpr std::string_view kVersionControlFolders[] = {".git", ".hg", ".svn", ".bzr", "CVS", "_darcs"};

bool IsVersionControlFolder(std::string_view name) {
  return std::find(std::begin(kVersionControlFolders), std::end(kVersionControlFolders), name) !=
         std::end(kVersionControlFolders);
}

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool MatchComponent(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern.front() == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip) {
      if (MatchComponent(pattern.substr(1), name.substr(skip))) return true;
    }
    return false;
  }
  if (name.empty() || (pattern.front() != '?' && pattern.front() != name.front())) return false;
  return MatchComponent(pattern.substr(1), name.substr(1));
}

bool MatchComponents(std::span<const std::string_view> pattern, std::span<const std::string_view> path) {
  if (pattern.empty()) return path.empty();
  if (pattern.front() == "**") {
    for (std::size_t skip = 0; skip <= path.size(); ++skip) {
      if (MatchComponents(pattern.subspan(1), path.subspan(skip))) return true;
    }
    return false;
  }
  return !path.empty() && MatchComponent(pattern.front(), path.front()) &&
         MatchComponents(pattern.subspan(1), path.subspan(1));
}

bool Excluded(const std::vector<std::string>& excludes, std::string_view relative) {
  std::string_view name = relative.substr(relative.rfind('/') + 1);
  return std::any_of(excludes.begin(), excludes.end(), [&](const std::string& exclude) {
    return exclude.find('/') == std::string::npos ? MatchComponent(exclude, name) : GlobMatches(exclude, relative);
  });
}

std::string JoinComponents(std::span<const std::string_view> parts) {
  std::string joined;
  for (std::string_view part : parts) joined += (joined.empty() ? "" : "/") + std::string(part);
  return joined;
}

}  // namespace

bool GlobMatches(std::string_view pattern, std::string_view path) {
  std::vector<std::string_view> patternParts = Components(pattern);
  std::vector<std::string_view> pathParts = Components(path);
  return MatchComponents(patternParts, pathParts);
}

bool ExpandGlob(const fs::path& root, std::string_view pattern, const std::vector<std::string>& excludes,
                std::vector<GlobMatch>& matches, std::string& problem) {
  matches.clear();
  std::vector<std::string_view> parts = Components(pattern);
  auto firstWild = std::find_if(parts.begin(), parts.end(), HasWildcard);
  std::size_t baseLength = static_cast<std::size_t>(firstWild - parts.begin());
  std::string rest = JoinComponents(std::span(parts).subspan(baseLength));
  fs::path base = root / (pattern.starts_with("/") ? "/" : "") / JoinComponents(std::span(parts).first(baseLength));
  // An empty path names no folder, though a project in the current folder
  // and a pattern without a base ("**") make one.
  if (base.empty()) base = ".";
  std::error_code error;
  if (rest.empty() && fs::is_regular_file(base, error)) {
    matches.push_back({base, base.filename().generic_string(), true});
    return true;
  }
  if (rest.empty()) rest = "**";
  if (!fs::is_directory(base, error)) return true;
  fs::recursive_directory_iterator walk(base, error), end;
  std::vector<std::string_view> restParts = Components(rest);
  auto named = [&](std::string_view folder) {
    return std::find(restParts.begin(), restParts.end(), folder) != restParts.end();
  };
  for (; !error && walk != end; walk.increment(error)) {
    std::string name = walk->path().filename().string();
    if (IsVersionControlFolder(name) && walk->is_directory(error) && !named(name)) {
      walk.disable_recursion_pending();
      continue;
    }
    if (!walk->is_regular_file(error)) continue;
    // Lexically: a symbolic link installs under its own name, not its target's.
    std::string relative = walk->path().lexically_relative(base).generic_string();
    if (GlobMatches(rest, relative) && !Excluded(excludes, relative)) matches.push_back({walk->path(), relative});
  }
  if (error) {
    problem = "cannot list \"" + base.string() + "\": " + error.message();
    return false;
  }
  std::sort(matches.begin(), matches.end(),
            [](const GlobMatch& a, const GlobMatch& b) { return a.relative < b.relative; });
  return true;
}

}  // namespace palisade::builder
