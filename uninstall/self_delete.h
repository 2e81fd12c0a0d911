#pragma once
// Removing the uninstaller itself: a running program cannot delete its own
// file, so a small batch file does it once the uninstaller has ended.
#include "core/ts_text.h"

namespace palisade {

// The batch's commands (without the code page line): delete the uninstaller
// until that works, pause, remove the uninstall folder and its parents below
// the installation folder and then the installation folder while they are
// empty, start `thenStart` when a program is given, and delete the batch
// itself. Every path is written so that the batch reads it as it is.
ts::WText SelfDeletionCommands(const ts::WText& uninstaller, const ts::WText& installFolder,
                               const ts::WText& uninstallSubfolder, const ts::WText& batch,
                               const ts::WText& thenStart = L"");

// What the command interpreter is to carry out: the batch, and once it has
// ended (and no interpreter holds its file any longer, which Wine's does
// while a batch runs) the removal of its folder. Paths in their short
// form, which the caller gives.
ts::WText SelfDeletionArguments(const ts::WText& batch, const ts::WText& folder);

// Writes "delunins.bat" into a new private folder (ts::PrivateFolder) and
// starts it hidden without waiting; false when the batch could not be
// written or started. `thenStart`, the program of /r:, starts from the
// batch once the uninstaller and its folders are gone, in the program's
// own folder. A product that deletes its folder whole has had it emptied by
// the uninstaller: the batch removes no folder that still holds anything,
// so that nothing written there after the uninstaller ended is lost.
bool DeleteUninstaller(const ts::WText& uninstaller, const ts::WText& installFolder,
                       const ts::WText& uninstallSubfolder, const ts::WText& thenStart = L"");

}  // namespace palisade
