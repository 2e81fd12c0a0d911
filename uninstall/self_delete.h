#pragma once
// Removing the uninstaller itself: a running program cannot delete its own
// file, so a small batch file does it once the uninstaller has ended.
#include "core/ts_text.h"

namespace palisade {

// The batch's commands (without the code page line): delete the uninstaller
// until that works, pause, remove the uninstall folder and its parents below
// the installation folder and then the installation folder while they are
// empty, and delete the batch itself.
ts::WText SelfDeletionCommands(const ts::WText& uninstaller, const ts::WText& installFolder,
                               const ts::WText& uninstallSubfolder, const ts::WText& batch);

// Writes "delunins.bat" into the temporary folder and starts it hidden
// without waiting; false when the batch could not be written or started.
bool DeleteUninstaller(const ts::WText& uninstaller, const ts::WText& installFolder,
                       const ts::WText& uninstallSubfolder);

}  // namespace palisade
