#pragma once
// Removing the uninstaller itself: a running program cannot delete its own
// file, so a small batch file does it once the uninstaller has ended.
#include "core/ts_text.h"

namespace palisade {

// The batch's commands (without the code page line): delete the uninstaller
// until that works, pause, remove the uninstall folder and its parents below
// the installation folder and then the installation folder while they are
// empty, start `thenStart` when a program is given, and delete the batch
// itself. With `wholeInstallFolder` the installation folder goes with
// whatever it still holds.
ts::WText SelfDeletionCommands(const ts::WText& uninstaller, const ts::WText& installFolder,
                               const ts::WText& uninstallSubfolder, const ts::WText& batch, bool wholeInstallFolder,
                               const ts::WText& thenStart = L"");

// A command line as a line of a batch file runs it: "%" doubled, and the
// command interpreter's operators outside double quotes escaped with "^".
ts::WText BatchCommandLine(const ts::WText& commandLine);

// Writes "delunins.bat" into the temporary folder and starts it hidden
// without waiting; false when the batch could not be written or started.
// `thenStart`, the program of /r:, starts from the batch once the
// uninstaller and its folders are gone, in the program's own folder.
// `wholeInstallFolder` asks for the installation folder with its contents
// (the product deletes its folder whole), which the batch does only for a
// folder that the uninstaller may remove: never a system folder, a drive
// root or a link.
bool DeleteUninstaller(const ts::WText& uninstaller, const ts::WText& installFolder,
                       const ts::WText& uninstallSubfolder, bool wholeInstallFolder, const ts::WText& thenStart = L"");

}  // namespace palisade
