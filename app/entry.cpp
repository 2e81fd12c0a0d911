#include "app/entry.h"

#include <ole2.h>

#include "actions/notifications.h"
#include "app/command_line.h"
#include "app/crash_handler.h"
#include "app/exit.h"
#include "app/install_driver.h"
#include "state/installer_state.h"
#include "payload/messages.h"
#include "uninstall/self_delete.h"
#include "uninstall/uninstaller.h"

namespace palisade {
namespace {

void ShowFatalMessage(const wchar_t* message) {
  if (!g_installer.flags.silent) {
    ts::WText caption = MessageWithTags(21);
    HWND owner = g_installer.openPage ? g_installer.openPage : g_installer.backgroundWindow;
    MessageBoxW(owner, message, caption.empty() ? L"Error" : caption.c_str(), MB_ICONERROR);
  }
  OrderlyExit(1);
}

void ShowNarrowFatalMessage(const char* message) { ShowFatalMessage(ts::WideFromUtf8(message).c_str()); }

void PrepareProcess(HINSTANCE instance) {
  ts::RestrictDllSearchToSystemFolder();
  g_installer.defaultCaption = kDefaultCaption;
  g_installer.defaultCaptionNarrow = ts::Utf8FromWide(kDefaultCaption);
  ts::SetOutOfMemoryAdvice(kOutOfMemoryAdvice);
  ts::InstallOutOfMemoryHandler();
  InstallCrashFilter();
  OleInitialize(nullptr);
  ts::EnablePrivilege(L"SeTakeOwnershipPrivilege");
  ts::SetFatalBox(ShowNarrowFatalMessage);
  ts::SetWideFatalBox(ShowFatalMessage);
  g_installer.instance = instance;
}

void ReadCommandLine() {
  ts::WText reason;
  if (!ParseCommandLine(GetCommandLineW(), g_installer.flags, g_installer.commandLine, reason)) UsageError(reason);
}

void StartRequestedProgram(const ts::WText& program) {
  if (!program.empty()) ts::StartProcess(program, ts::ProgramFolderOf(program));
}

// Only the uninstaller in the product's own folder removes itself: an
// installer started with /u: from anywhere else is the user's file. The
// program of /r: starts once the uninstaller and its folders are gone: it
// may be the installer that had this version uninstalled first, installing
// into the same folder, whose new uninstaller the batch must not meet.
void RemoveRunningUninstallerThenStart(const ts::WText& program) {
  ts::WText self = ts::ModuleFileName();
  ts::WText subfolder = ts::WideFromUtf8(g_installer.script.uninstallSubfolder);
  ts::WText folder = g_installer.installFolder + (subfolder.empty() ? L"" : L"\\" + subfolder);
  ts::WText ownFolder = ts::LongPath(self.substr(0, self.find_last_of(L'\\')));
  if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, ownFolder.c_str(), -1, ts::LongPath(folder).c_str(), -1) !=
      CSTR_EQUAL) {
    StartRequestedProgram(program);
    return;
  }
  if (!DeleteUninstaller(self, g_installer.installFolder, subfolder, program)) StartRequestedProgram(program);
}

[[noreturn]] void RunUninstallation() {
  const ts::WText& name = g_installer.commandLine.uninstallName;
  if (name.empty()) UsageError(L"Product name required");
  // A run that left anything behind says so through its exit code, so that
  // a deployment script can tell it from one that removed everything.
  if (!Uninstall(name)) OrderlyExit(1);
  SendUninstallNotification();
  RemoveRunningUninstallerThenStart(g_installer.commandLine.runAfterInstall);
  OrderlyExit(0);
}

}  // namespace

void RunEngine(HINSTANCE instance) {
  PrepareProcess(instance);
  ReadCommandLine();
  if (g_installer.flags.uninstall) RunUninstallation();
  RunInstallDriver();
}

}  // namespace palisade
