#include "uninstall/existing_install.h"

#include <windows.h>

#include "actions/overwrite_rules.h"
#include "app/gates.h"
#include "state/installer_state.h"
#include "payload/messages.h"

namespace palisade {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr REGSAM kReadAccess = 0x20009;

ts::WText ReadText(HKEY key, const wchar_t* name) {
  wchar_t buffer[2048] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  return ts::WText(buffer);
}

ts::WText OrProductName(const std::string& text) {
  return ts::WideFromUtf8(text.empty() ? g_installer.script.productName : text);
}

}  // namespace

bool FindInstalledProduct(const ts::WText& uninstallName, InstalledProduct& product) {
  HKEY key = nullptr;
  ts::WText path = kUninstallKey + uninstallName;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, kReadAccess, &key) != ERROR_SUCCESS) return false;
  bool hasUninstaller = !ReadText(key, L"UninstallString").empty() || !ReadText(key, L"QuietUninstallString").empty();
  product.location = ReadText(key, L"InstallLocation");
  product.version = ReadText(key, L"DisplayVersion");
  RegCloseKey(key);
  return hasUninstaller;
}

void CheckMasterProduct() {
  const format::SetupScript& script = g_installer.script;
  ts::WText messageName = OrProductName(script.masterDisplayName);
  InstalledProduct master;
  bool found = FindInstalledProduct(OrProductName(script.masterRegistryName), master);
  // A master without a folder cannot lend it to the "<master>" rule.
  if (found && g_installer.installFolderSource == InstallFolderSource::kMaster && master.location.empty()) found = false;
  if (!found) Refuse(FillConversions(MessageWithTags(12), {messageName}));
  ts::WText minimum = ts::WideFromUtf8(script.masterMinimumVersion);
  if (!minimum.empty() && CompareVersions(master.version, minimum) < 0) {
    Refuse(FillConversions(MessageWithTags(112), {messageName, master.version}));
  }
  if (g_installer.installFolderSource == InstallFolderSource::kMaster) {
    g_installer.installFolder = master.location;
    g_installer.installFolderSource = InstallFolderSource::kFolder;
  }
}

void ReadEarlierInstallation() {}
void ExamineExistingInstallation() {}

}  // namespace palisade
