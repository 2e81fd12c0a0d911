#pragma once
// File patterns of the [[files]] entries: "*" and "?" within one path
// component, "**" for any number of folders. The part before the first
// wildcard is the base; matched files are named relative to it.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace palisade::builder {

struct GlobMatch {
  std::filesystem::path source;
  std::string relative;  // "/"-separated, below the pattern's base
  bool named = false;    // the pattern names this one file, without wildcards
};

// True when `path` ("/"-separated) matches `pattern` component by component.
bool GlobMatches(std::string_view pattern, std::string_view path);

// The regular files that `pattern` (relative to `root` unless absolute)
// names, without those that an exclusion matches, sorted by relative name.
// A pattern without wildcards names one file, or every file below a folder.
// An exclusion without "/" is matched against file names at any depth,
// one with "/" against the relative name. Version-control folders (".git",
// ".svn", ...) are left out unless the pattern names them. False, with a
// reason, when the folder walk fails.
bool ExpandGlob(const std::filesystem::path& root, std::string_view pattern, const std::vector<std::string>& excludes,
                std::vector<GlobMatch>& matches, std::string& problem);

}  // namespace palisade::builder
