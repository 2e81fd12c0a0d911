#pragma once
// Work on files that are in use, left to the next start of Windows: the
// system's own list of pending moves (`PendingFileRenameOperations`, through
// MoveFileExW), or, where the system has no such list, the "[rename]"
// section of "wininit.ini" in the Windows folder. Also the naming of
// temporary files and the deletion of a file with options.
#include <cstdint>

#include "core/ts_text.h"

namespace ts {

// Creates a new, empty file in `folder` with an unpredictable name, "TST",
// eight hexadecimal digits drawn from the system's generator and
// `extension` ("tmp" when empty; a leading "." is skipped), and returns its
// path. The file is made in one step and a name that exists is never taken,
// so nobody can have made or linked it beforehand. Empty, with the system's
// error in GetLastError, when no file could be made there or `folder` is
// empty.
WText MakeTemporaryFileName(const WText& folder, const WText& extension = L"");

// Asks the system to move `temporary` over `destination` at the next
// restart. False, with the system's error in GetLastError, when it refuses.
bool ReplaceAtRestart(const WText& temporary, const WText& destination);
// Asks the system to delete the file at the next restart.
bool DeleteAtRestart(const WText& path);

namespace delete_file {
inline constexpr uint32_t kKeepAttributes = 0x1;     // otherwise the read-only attribute is cleared first
inline constexpr uint32_t kAtRestart = 0x2;          // only at the next restart
inline constexpr uint32_t kAtRestartIfInUse = 0x10;  // now, or at the next restart when now fails
inline constexpr uint32_t kToRecycleBin = 0x80;      // through the shell, so that it can be undone
inline constexpr uint32_t kMissingIsDeleted = 0x800; // a file or folder that is not there counts as deleted
}  // namespace delete_file

// Deletes the file as the flags say; false, with the system's error in
// GetLastError, when it stays. An empty path fails at once.
bool DeleteFileWithOptions(const WText& path, uint32_t flags);

// The "wininit.ini" text with the line "destination=source" at the top of
// its "[rename]" section, or with that section appended when it has none.
Text WithWininitLine(const Text& ini, const Text& destination, const Text& source);
// Adds the line to the file at `iniPath` (made when missing); false when it
// cannot be read or written. The paths go in their short form, in the ANSI
// code page, as the system reads them at its start. An empty destination
// deletes the source: it is written as "NUL".
bool AddWininitLine(const WText& iniPath, const WText& destination, const WText& source);

}  // namespace ts
