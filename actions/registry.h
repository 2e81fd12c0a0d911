#pragma once
// The product's registry entries: its own key, the script's [Registry2]
// lines and the merge file. Keys are named "\ROOT\sub-key" ("\HKLM\...",
// "\HKCU\...", "\HKCR\...", "\HKU\...", "\HKCC\...", "\HKDD\..."); the
// entries also take "\HKAU\...", which stands for the same path in the
// hive of every user whose hive is loaded.
#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/ts_registry.h"

namespace palisade {

// The fifth field of a value line: what the installation and the
// uninstaller do with the value.
namespace registry_action {
inline constexpr uint32_t kSetAndKeep = 1;
inline constexpr uint32_t kDeleteAtUninstall = 2;  // nothing at installation
inline constexpr uint32_t kSet = 3;
inline constexpr uint32_t kDelete = 4;
inline constexpr uint32_t kDeleteNowAndAtUninstall = 5;
inline constexpr uint32_t kSetIfMissing = 6;  // a value the user has is left alone
}  // namespace registry_action

// One line of the [Registry2] text: comma-separated fields, a key path
// alone or a key path, value name, type, data and action.
struct RegistryEntry {
  enum class Kind { kKey, kValue, kIllegal };
  Kind kind = Kind::kIllegal;
  ts::WText keyPath;
  ts::WText valueName;
  uint32_t type = 0;  // 1 text, 2 expandable text, 3 binary, 4 number, 11 64-bit number; others as given
  ts::WText data;
  uint32_t action = 0;
};

RegistryEntry ParseRegistryEntry(std::wstring_view line);

// The value's bytes as they are stored for its type: a text with its
// closing NUL, hexadecimal pairs (blanks between them ignored) as bytes, a
// decimal number in 4 or 8 bytes, nothing for any other type. False for
// binary data that is not whole pairs of hexadecimal digits.
bool RegistryValueData(uint32_t type, const ts::WText& data, std::vector<uint8_t>& bytes);

// Whether the uninstaller deletes the value of a line with this action.
bool RemovedAtUninstall(uint32_t action);

// Query, set, create and enumerate, in the 64-bit view for a 64-bit product.
REGSAM RegistryAccess(bool product64);

// The key paths that `path` stands for: "\HKAU\rest" is "\HKU\<user>\rest"
// for each user whose hive is loaded; any other path stands for itself.
std::vector<ts::WText> KeyPathsOfUsers(const ts::WText& path);
// The hives of HKEY_USERS that belong to users: the profiles' whose hive
// is loaded, or, when the profile list cannot be read, every loaded one but
// the default user's and the class hives.
std::vector<ts::WText> LoadedUserHives();

// Opens or creates the key that a path names; ERROR_BAD_PATHNAME for a path
// of another form.
LONG OpenRegistryPath(const ts::WText& path, REGSAM access, bool create, ts::RegistryKey& key);

// The installation's step: the product's key, the [Registry2] lines, then
// the merge file imported by the registry editor.
void WriteRegistryEntries();

// What the merge file holds on disk: ASCII as it is; other text as the
// registry editor writes it, in the system's code page after the
// "REGEDIT4" header, otherwise as UTF-16 with its byte-order mark.
ts::Text MergeFileBytes(const ts::WText& text);

}  // namespace palisade
