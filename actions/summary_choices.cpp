#include "actions/summary_choices.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "actions/install_log.h"
#include "core/ts_com.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/variables.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

constexpr int kShowNormal = 1;

// Expanded, and below the installation folder when relative.
ts::WText DocumentPath(const std::string& stored) {
  ts::WText path = ts::WideFromUtf8(stored);
  Expand(path);
  bool isAddress = path.find(L"://") != ts::WText::npos;
  if (!isAddress && PathIsRelativeW(path.c_str())) path = g_installer.installFolder + L"\\" + path;
  return path;
}

void OpenDocument(const std::string& stored) {
  ShellExecuteW(nullptr, L"open", DocumentPath(stored).c_str(), nullptr, g_installer.installFolder.c_str(),
                SW_SHOWNORMAL);
}

// The desktop's shell runs the program, so that it starts as the desktop's
// user and not with the installer's raised rights.
bool StartThroughDesktop(const ts::WText& program, const ts::WText& arguments) {
  ts::ComHeld<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows.p))))
    return false;
  VARIANT location = {};
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  VARIANT empty = {};
  long handle = 0;
  ts::ComHeld<IDispatch> desktop;
  if (windows.p->FindWindowSW(&location, &empty, SWC_DESKTOP, &handle, SWFO_NEEDDISPATCH, &desktop.p) != S_OK)
    return false;
  ts::ComHeld<IServiceProvider> services;
  ts::ComHeld<IShellBrowser> browser;
  ts::ComHeld<IShellView> view;
  ts::ComHeld<IDispatch> background;
  ts::ComHeld<IShellFolderViewDual> folderView;
  ts::ComHeld<IDispatch> application;
  ts::ComHeld<IShellDispatch2> shell;
  if (FAILED(desktop.p->QueryInterface(IID_PPV_ARGS(&services.p))) ||
      FAILED(services.p->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser.p))) ||
      FAILED(browser.p->QueryActiveShellView(&view.p)) ||
      FAILED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background.p))) ||
      FAILED(background.p->QueryInterface(IID_PPV_ARGS(&folderView.p))) ||
      FAILED(folderView.p->get_Application(&application.p)) ||
      FAILED(application.p->QueryInterface(IID_PPV_ARGS(&shell.p)))) {
    return false;
  }
  BSTR file = SysAllocString(program.c_str());
  VARIANT args = {}, folder = {}, verb = {}, show = {};
  args.vt = VT_BSTR;
  args.bstrVal = SysAllocString(arguments.c_str());
  folder.vt = VT_BSTR;
  folder.bstrVal = SysAllocString(g_installer.installFolder.c_str());
  show.vt = VT_I4;
  show.lVal = kShowNormal;
  HRESULT started = shell.p->ShellExecute(file, args, folder, verb, show);
  SysFreeString(file);
  VariantClear(&args);
  VariantClear(&folder);
  return SUCCEEDED(started);
}

void LaunchProgram() {
  ts::WText command = ts::WideFromUtf8(g_installer.script.launchProgram);
  Expand(command);
  ts::WText program, arguments;
  ts::SplitCommandLine(command, program, arguments);
  bool direct = g_installer.productFlags2 & format::product_flags2::kLaunchDirectly;
  if (!direct && StartThroughDesktop(program, arguments)) return;
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
