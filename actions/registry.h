#pragma once
// The product's registry entries: its own key, the script's [Registry2]
// lines and the merge file. Keys are named "\ROOT\sub-key" ("\HKLM\...",
// "\HKCU\...", "\HKCR\...", "\HKU\...", "\HKCC\...", "\HKDD\..."); the
// entries also take "\HKAU\...", which stands for the same path in the
// hive of every user whose hive is loaded.
#include <windows.h>

#include <vector>

#include "actions/registry_entry.h"
#include "core/ts_registry.h"

namespace palisade {

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
