#include "builder/extract.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

#include "builder/installer_reader.h"
#include "builder/text_encoding.h"
#include "builder/time_stamps.h"
#include "builder/words.h"
#include "format/narrow_text.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;
namespace kind = format::destination_kind;

std::string Utf8Name(std::string_view stored) {
  format::DecodedNarrowText decoded = format::DecodeNarrowForm(stored);
  return decoded.utf8 ? decoded.text : Cp1252ToUtf8(decoded.text);
}

// Appends the backslash-separated components of `path`; false for one that
// would climb out or name a drive.
bool AppendComponents(std::string_view path, fs::path& out) {
  while (!path.empty()) {
    std::size_t slash = path.find('\\');
    std::string_view part = path.substr(0, slash);
    if (part.empty() || part == "." || part == ".." || part.find_first_of("/:") != std::string_view::npos) return false;
    out /= fs::path(std::string(part));
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
  }
  return true;
}

std::string KindFolder(const format::FileRecord& record) {
  if ((record.flags & format::record_flags::kToUninstallFolder) != 0) return "uninstall-folder";
  bool installFolder = record.kind == kind::kInstallFolder || record.kind == kind::kStartup ||
                       (record.kind >= kind::kVersionChecked && record.kind <= kind::kControlPanelApplet);
  return installFolder ? std::string() : std::string(WordOfValue(kDestinationKinds, record.kind));
}

bool WriteFile(const fs::path& path, const format::FileRecord& record, std::string& problem) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(record.data.data()), static_cast<std::streamsize>(record.data.size()));
  out.close();
  if (error || !out) {
    problem = "cannot write \"" + path.string() + "\"";
    return false;
  }
  if (std::optional<int64_t> seconds = UnixFromTimeStamp(record.time)) {
    timespec times[2] = {{static_cast<time_t>(*seconds), 0}, {static_cast<time_t>(*seconds), 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
  return true;
}

}  // namespace

std::optional<fs::path> ExtractedPath(const format::FileRecord& record) {
  fs::path path(KindFolder(record));
  std::string name = Utf8Name(record.name);
  if (!record.destinationOverride.empty()) {
    // Elsewhere on the target machine: keep the override's folders, minus
    // drive colons, below a folder of its own.
    std::string destination = Utf16ToUtf8(record.destinationOverride);
    std::erase(destination, ':');
    while (destination.ends_with("\\")) destination.pop_back();
    while (destination.starts_with("\\")) destination.erase(0, 1);
    path = "elsewhere";
    if (!destination.empty() && !AppendComponents(destination, path)) return std::nullopt;
    name = name.substr(name.rfind('\\') + 1);
  }
  if (!AppendComponents(name, path)) return std::nullopt;
  return path;
}

namespace {

bool ExtractFiles(const fs::path& installerPath, const fs::path& folder, std::string& problem) {
  OpenedInstaller installer;
  if (!OpenInstaller(installerPath, installer, problem)) return false;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    problem = "cannot create \"" + folder.string() + "\": " + error.message();
    return false;
  }
  return ReadInstalledFiles(
      installer,
      [&](std::size_t, const format::FileRecord& record) {
        std::optional<fs::path> relative = ExtractedPath(record);
        if (!relative) {
          problem = "the file name \"" + Utf8Name(record.name) + "\" would leave the extraction folder";
          return false;
        }
        return WriteFile(folder / *relative, record, problem);
      },
      problem);
}

}  // namespace

int Extract(const fs::path& installerPath, const fs::path& folder, std::ostream& err) {
  std::string problem;
  if (ExtractFiles(installerPath, folder, problem)) return 0;
  err << "palisade: " << installerPath.string() << ": " << problem << '\n';
  return 1;
}

}  // namespace palisade::builder
