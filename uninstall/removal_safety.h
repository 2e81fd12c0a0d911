#pragma once
// What the uninstaller may remove. The uninstall record and the registry can
// be edited by anyone who can write there, and an uninstaller runs with
// administrator rights: whatever they say, it never removes a drive root or
// one of the system's own folders, nor anything through a path that is not
// a plain local one.
#include <vector>

#include "core/ts_text.h"

namespace palisade {

// A full local path: a drive letter, a colon, a backslash, then names
// without "." or ".." steps, devices or stream names.
bool IsPlainLocalPath(const ts::WText& path);

// True for a drive root, for any of `systemFolders` and for a folder that
// holds one of them (in any letter case, with or without a closing
// backslash).
bool IsProtectedFolder(const ts::WText& folder, const std::vector<ts::WText>& systemFolders);

// A file that the uninstaller may delete: a plain local path that does not
// lie directly in a protected folder nor anywhere below the Windows folder
// (where the system's own files are).
bool IsRemovableFile(const ts::WText& path, const std::vector<ts::WText>& systemFolders,
                     const ts::WText& windowsFolder);

// The folders of this machine that nothing may remove: Windows, the system
// folders, program files and common files of both views, the profiles and
// the user's own folders.
std::vector<ts::WText> SystemFolders();

// A registry key that an uninstaller may delete: at least two steps below
// its root, and not in the hives that hold the machine's configuration.
bool IsRemovableRegistryKey(const ts::WText& path);

}  // namespace palisade
