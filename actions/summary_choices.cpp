#include "actions/summary_choices.h"

#include <windows.h>
#include <shlwapi.h>

#include "actions/install_log.h"
#include "core/ts_desktop_shell.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/variables.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

// Expanded, and below the installation folder when relative.
ts::WText DocumentPath(const std::string& stored) {
  ts::WText path = ts::WideFromUtf8(stored);
  Expand(path);
  bool isAddress = path.find(L"://") != ts::WText::npos;
  if (!isAddress && PathIsRelativeW(path.c_str())) path = g_installer.installFolder + L"\\" + path;
  return path;
}

// A document or address is opened as the desktop's user or not at all:
// opened with the installer's rights, its program would hand those rights
// to whoever sits at the desktop.
void OpenDocument(const std::string& stored) {
  ts::WText path = DocumentPath(stored);
  if (ts::OpenAsDesktopUser(path, L"", g_installer.installFolder)) return;
  LogAfterFinish(L"Failed to open \"" + path + L"\": no desktop shell to open it as the desktop's user\r\n");
}

void LaunchProgram() {
  ts::WText command = ts::WideFromUtf8(g_installer.script.launchProgram);
  Expand(command);
  ts::WText program, arguments;
  ts::SplitCommandLine(command, program, arguments);
  bool direct = g_installer.productFlags2 & format::product_flags2::kLaunchDirectly;
  if (!direct && ts::OpenAsDesktopUser(program, arguments, g_installer.installFolder)) return;
  if (ts::StartProcess(command, g_installer.installFolder)) return;
  LogWideConcat({L"Failed to launch app: ", command, L" ", ts::SystemErrorTextW(GetLastError()), L"\r\n"});
}

}  // namespace

void CarryOutSummaryChoices() {
  if (!FailureSummaryEmpty()) return;
  const SummaryChoices& choices = g_installer.summaryChoices;
  if (choices.openDocument) OpenDocument(g_installer.script.openDocument);
  if (choices.launchProgram) LaunchProgram();
  if (choices.viewLog) ShowLog();
  if (choices.openSecond) OpenDocument(g_installer.script.summaryOpenTarget);
}

}  // namespace palisade
