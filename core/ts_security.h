#pragma once
// Owners and access lists of files and folders. Everything here is read
// and changed through a handle opened on the step itself
// (FILE_FLAG_OPEN_REPARSE_POINT), so that a link is seen as a link and never
// as what it points at.
#include <windows.h>

#include <memory>

#include "core/ts_text.h"

namespace ts {

// The process runs with an administrator's rights: its token holds the
// Administrators group enabled (an elevated administrator, SYSTEM).
bool RunsAsAdministrator();

struct FileOwner {
  // Administrators, SYSTEM, TrustedInstaller, or the user of this process
  // when it runs as an administrator: no standard user could have made the
  // file theirs.
  bool administrative = false;
  WText name;  // "DOMAIN\name", or the SID's text when no account has it
};
// The owner of the file or folder at `path` (not of what a link there
// points at). ERROR_SUCCESS or the system's error.
unsigned long ReadOwner(const WText& path, FileOwner& owner);

// The volume that holds `path` keeps access lists and owners (NTFS, ReFS);
// FAT and exFAT keep neither. False when the volume cannot be asked.
bool KeepsAccessLists(const WText& path);

struct LocalFreeDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalFreeDeleter>;

// The access list of the system's program folders: Administrators and
// SYSTEM full control, Users read and execute, inherited by everything made
// inside, and nothing inherited from the parent.
SecurityDescriptor ProgramFolderDescriptor();

// Creates the folder with ProgramFolderDescriptor() from the start, so that
// no other list is ever on it. ERROR_SUCCESS or the system's error
// (ERROR_ALREADY_EXISTS when something has the name).
unsigned long CreateProgramFolder(const WText& path);

// Adds to the access list of a file or folder an entry that gives the
// well-known group Everyone full access, inherited by what the folder holds,
// keeping the entries already there. ERROR_SUCCESS, the system's error, or
// ERROR_REPARSE_POINT_ENCOUNTERED for a link, which is left alone.
unsigned long GrantEveryoneFullAccess(const WText& path);

}  // namespace ts
