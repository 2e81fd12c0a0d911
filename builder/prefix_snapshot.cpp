#include "builder/prefix_snapshot.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "builder/child_process.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

// Key paths (lower case, with the doubled backslashes of the hive files)
// that Wine rewrites by itself whenever it starts or runs a console
// program: the device classes with their driver dates, the network cards,
// the console's settings, its record of the host's fonts, its record of the
// host menu entries it made for the prefix's start-menu shortcuts (which it
// keeps after the shortcuts are gone; the shortcuts themselves count).
const char* const kWineKeys[] = {
    "system\\\\currentcontrolset\\\\control\\\\class\\\\",
    "software\\\\microsoft\\\\windows nt\\\\currentversion\\\\networkcards",
    "console",
    "software\\\\wine\\\\fonts",
    "software\\\\wine\\\\menufiles",
};
// Containers that the system keeps, on Windows always present: the Windows
// Installer's bookkeeping, the shared-file counts, the 32-bit programs'
// uninstall list, the control panel's name space. Wine makes them on
// first use and leaves them empty; what they hold still counts.
const char* const kSystemContainers[] = {
    "software\\\\classes\\\\installer\\\\",
    "software\\\\microsoft\\\\windows\\\\currentversion\\\\installer\\\\",
    "software\\\\microsoft\\\\windows\\\\currentversion\\\\shareddlls",
    "software\\\\wow6432node\\\\microsoft\\\\windows\\\\currentversion\\\\shareddlls",
    "software\\\\wow6432node\\\\microsoft\\\\windows\\\\currentversion\\\\uninstall",
    "software\\\\microsoft\\\\windows\\\\currentversion\\\\explorer\\\\controlpanel\\\\namespace",
};
// The same for folders: the Windows Installer's cache. Files in it count.
const char* const kSystemFolders[] = {"windows/Installer/"};

// Wine lists the host's fonts in the system's font keys by their Linux
// path (drive Z:), and drops and adds them as the font set changes.
bool IsHostFontValue(const std::string& key, const std::string& line) {
  const std::string fontsKey = "\\\\fonts";
  bool fonts = key.size() >= fontsKey.size() && key.compare(key.size() - fontsKey.size(), fontsKey.size(), fontsKey) == 0;
  return fonts && line.find("=\"Z:\\\\") != std::string::npos;
}

// Wine's shell stores the 64-bit common-files folder in the system's
// CurrentVersion key the first time a 64-bit program asks for it; Windows
// keeps no such value, and no product wrote it.
bool IsWineFolderCacheValue(const std::string& key, const std::string& line) {
  return key == "software\\\\microsoft\\\\windows\\\\currentversion" &&
         line.rfind("\"ProgramFilesCommonX64\"=", 0) == 0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

template <size_t N>
bool StartsWithAny(const std::string& text, const char* const (&prefixes)[N]) {
  return std::any_of(std::begin(prefixes), std::end(prefixes),
                     [&](const char* prefix) { return text.rfind(prefix, 0) == 0; });
}

void DropEmptyContainers(PrefixSnapshot& snapshot) {
  for (auto it = snapshot.keys.begin(); it != snapshot.keys.end();) {
    std::string key = it->first.substr(it->first.find(':') + 1);
    bool container = it->second.empty() && StartsWithAny(key, kSystemContainers);
    it = container ? snapshot.keys.erase(it) : std::next(it);
  }
}

// "[key] 1700000000" names a key; the number after it is its time stamp.
std::string KeyOf(const std::string& header) { return Lower(header.substr(1, header.rfind(']') - 1)); }

void ReadHive(const std::string& text, const std::string& hive, PrefixSnapshot& snapshot) {
  std::istringstream in(text);
  std::string line, key, pending;
  bool ignored = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A value's data may go on over lines that end in a backslash.
    if (!line.empty() && line.back() == '\\' && line.front() != '[') {
      pending += line.substr(0, line.size() - 1);
      continue;
    }
    line = pending + line;
    pending.clear();
    if (!line.empty() && line.front() == '[') {
      key = KeyOf(line);
      ignored = StartsWithAny(key, kWineKeys);
      if (!ignored) snapshot.keys[hive + ":" + key];
      continue;
    }
    if (ignored || line.empty() || line.rfind("#time=", 0) == 0 || line.front() == ';') continue;
    if (IsHostFontValue(key, line) || IsWineFolderCacheValue(key, line)) continue;
    snapshot.keys[hive + ":" + key].insert(line);
  }
}

template <typename Set>
void AddOneSided(const Set& from, const Set& other, const std::string& mark, std::vector<std::string>& changes) {
  for (const auto& item : from) {
    if (!other.count(item)) changes.push_back(mark + item);
  }
}

// Wine writes a key without values only while it has no subkeys: a key
// that gained one is still there.
bool HasSubkey(const std::map<std::string, std::set<std::string>>& keys, const std::string& key) {
  std::string below = key + "\\\\";
  auto next = keys.lower_bound(below);
  return next != keys.end() && next->first.starts_with(below);
}

// The keys and values of `from` that `other` lacks, each marked.
void AddKeyChanges(const std::map<std::string, std::set<std::string>>& from,
                   const std::map<std::string, std::set<std::string>>& other, const std::string& mark,
                   std::vector<std::string>& changes) {
  const std::set<std::string> none;
  for (const auto& [key, values] : from) {
    auto match = other.find(key);
    if (match == other.end() && !HasSubkey(other, key)) {
      changes.push_back(mark + "key " + key);
      continue;
    }
    const std::set<std::string>& otherValues = match == other.end() ? none : match->second;
    for (const std::string& value : values) {
      if (!otherValues.count(value)) changes.push_back(mark + "value " + key + ": " + value);
    }
  }
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

PrefixSnapshot RegistrySnapshot(const std::map<std::string, std::string>& hiveTexts) {
  PrefixSnapshot snapshot;
  for (const auto& [hive, text] : hiveTexts) ReadHive(text, hive, snapshot);
  DropEmptyContainers(snapshot);
  return snapshot;
}

PrefixSnapshot TakeSnapshot(const fs::path& prefix) {
  RunChild({"wineserver", "-w"}, {"WINEPREFIX=" + prefix.string()});
  std::map<std::string, std::string> hiveTexts;
  for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) hiveTexts[hive] = FileText(prefix / hive);
  PrefixSnapshot snapshot = RegistrySnapshot(hiveTexts);
  fs::path root = prefix / "drive_c";
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
       it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_symlink()) continue;
    std::string path = fs::relative(it->path(), root).generic_string() + (it->is_directory() ? "/" : "");
    if (std::find(std::begin(kSystemFolders), std::end(kSystemFolders), path) == std::end(kSystemFolders)) {
      snapshot.files.insert(path);
    }
  }
  return snapshot;
}

std::vector<std::string> SnapshotChanges(const PrefixSnapshot& before, const PrefixSnapshot& after) {
  std::vector<std::string> changes;
  AddKeyChanges(after.keys, before.keys, "+", changes);
  AddKeyChanges(before.keys, after.keys, "-", changes);
  AddOneSided(after.files, before.files, "+file ", changes);
  AddOneSided(before.files, after.files, "-file ", changes);
  return changes;
}

}  // namespace palisade::builder
