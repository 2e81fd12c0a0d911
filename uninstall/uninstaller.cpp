#include "uninstall/uninstaller.h"

#include <windows.h>

#include "core/ts_format.h"
#include "ui/message_box.h"

namespace palisade {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool ProductKeyExists(const ts::WText& productName) {
  ts::WText path = ts::WText(kUninstallKey) + L"\\" + productName;
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  if (error == ERROR_SUCCESS) {
    RegCloseKey(key);
    return true;
  }
  if (error == ERROR_ACCESS_DENIED) {
    ShowMessage(L"Permission denied.  Please run the uninstaller with administrator rights.", L"", MB_ICONERROR);
  } else {
    ShowMessage(ts::Format(L"No product named '%s' is installed.", productName.c_str()), L"", MB_ICONERROR);
  }
  return false;
}

}  // namespace

bool Uninstall(const ts::WText& productName) {
  if (!ProductKeyExists(productName)) return false;
  // Removal by the uninstall record is not built yet: nothing was removed.
  return false;
}

}  // namespace palisade
