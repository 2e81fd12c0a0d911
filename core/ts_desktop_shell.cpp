#include "core/ts_desktop_shell.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include "core/ts_com.h"
#include "core/ts_system.h"

namespace ts {
namespace {

constexpr int kShowNormal = 1;

// The desktop window's shell, as its folder view hands it out: the one
// object that runs what it opens in the Explorer process of the desktop.
bool FindDesktopShell(ComHeld<IShellDispatch2>& shell) {
  ComHeld<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows.p))))
    return false;
  VARIANT location = {};
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  VARIANT empty = {};
  long handle = 0;
  ComHeld<IDispatch> desktop;
  if (windows.p->FindWindowSW(&location, &empty, SWC_DESKTOP, &handle, SWFO_NEEDDISPATCH, &desktop.p) != S_OK)
    return false;
  ComHeld<IServiceProvider> services;
  ComHeld<IShellBrowser> browser;
  ComHeld<IShellView> view;
  ComHeld<IDispatch> background;
  ComHeld<IShellFolderViewDual> folderView;
  ComHeld<IDispatch> application;
  return SUCCEEDED(desktop.p->QueryInterface(IID_PPV_ARGS(&services.p))) &&
         SUCCEEDED(services.p->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser.p))) &&
         SUCCEEDED(browser.p->QueryActiveShellView(&view.p)) &&
         SUCCEEDED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background.p))) &&
         SUCCEEDED(background.p->QueryInterface(IID_PPV_ARGS(&folderView.p))) &&
         SUCCEEDED(folderView.p->get_Application(&application.p)) &&
         SUCCEEDED(application.p->QueryInterface(IID_PPV_ARGS(&shell.p)));
}

VARIANT TextVariant(const WText& text) {
  VARIANT variant = {};
  variant.vt = VT_BSTR;
  variant.bstrVal = SysAllocString(text.c_str());
  return variant;
}

}  // namespace

bool OpenAsDesktopUser(const WText& file, const WText& arguments, const WText& folder) {
  ComHeld<IShellDispatch2> shell;
  if (!FindDesktopShell(shell)) {
    TraceRun(L"no desktop shell to open " + file);
    return false;
  }
  BSTR name = SysAllocString(file.c_str());
  VARIANT args = TextVariant(arguments), workingFolder = TextVariant(folder), verb = {}, show = {};
  show.vt = VT_I4;
  show.lVal = kShowNormal;
  HRESULT opened = shell.p->ShellExecute(name, args, workingFolder, verb, show);
  SysFreeString(name);
  VariantClear(&args);
  VariantClear(&workingFolder);
  TraceRun((SUCCEEDED(opened) ? L"desktop shell opens " : L"desktop shell refused ") + file);
  return SUCCEEDED(opened);
}

}  // namespace ts
