#pragma once
// What the uninstaller may remove. The uninstall record and the registry can
// be edited by anyone who can write there, and an uninstaller runs with
// administrator rights: whatever they say, it never removes a drive root or
// one of the system's own folders, nor anything through a path that is not
// a plain local one or that leads through a link to somewhere else.
#include <vector>

#include "core/ts_text.h"

namespace palisade {

// A full local path: a drive letter, a colon, a backslash, then names
// without "." or ".." steps, devices or stream names, written as
// ts::NormalisedPath writes it (no "/", no doubled or closing separator), so
// that the text judged is the text used.
bool IsPlainLocalPath(const ts::WText& path);

// True for a drive root, for any of `protectedFolders` and for a folder that
// holds one of them (in any letter case, with or without a closing
// backslash), as the folder is written and as the file system reads it (a
// short name made long, a step's closing dot dropped).
bool IsProtectedFolder(const ts::WText& folder, const std::vector<ts::WText>& protectedFolders);

// A file entry that the uninstaller may delete, judged by its text: a plain
// local path that does not lie in a drive root, directly in one of
// `machineFolders` (where no product puts a file of its own) nor anywhere
// below the Windows folder, as it is written and as the file system reads
// it. The user's special folders are not machine folders: the product's
// shortcuts and per-user files live there.
bool IsRemovableFile(const ts::WText& path, const std::vector<ts::WText>& machineFolders,
                     const ts::WText& windowsFolder);

// The shortcut that a portable installation keeps in its drive's root
// folder: a link file directly in the root of the installation folder's
// drive, when that installation is portable. No other file in a drive root
// is ever removed.
bool IsPortableRootShortcut(const ts::WText& path, const ts::WText& installFolder, bool portable);

// A folder that the uninstaller may remove (when empty) or delete with its
// contents: a plain local path, not protected and not reached through a link
// now. The removal itself must still go through a handle
// (core/ts_no_follow.h): a link can be put in its way after this answer.
bool IsRemovableFolder(const ts::WText& folder, const std::vector<ts::WText>& protectedFolders);

// The system's own folders on this machine: Windows, the system folder,
// program files and common files of both views, the profiles, the user's
// profile, the public profile and the program data folder.
std::vector<ts::WText> MachineFolders();

// The folders that no entry may remove: the machine folders and the user's
// special folders (desktop, documents, favourites, application data, start
// menu, programs, startup, of the user and of all users) and the fonts.
std::vector<ts::WText> ProtectedFolders();

}  // namespace palisade
