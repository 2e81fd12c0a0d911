#include "actions/registry.h"

#include <algorithm>

#include "actions/install_log.h"
#include "core/system_facts.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/variables.h"
#include "state/installer_state.h"
#include "core/ts_deferred.h"
#include "core/ts_private_folder.h"

namespace palisade {
namespace {

constexpr wchar_t kAllUsersPrefix[] = L"\\HKAU\\";
constexpr size_t kAllUsersPrefixLength = 6;
constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr REGSAM kReadWrite = READ_CONTROL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS;
constexpr wchar_t kByteOrderMark = 0xFEFF;

bool IsAllUsersPath(const ts::WText& path) { return _wcsnicmp(path.c_str(), kAllUsersPrefix, kAllUsersPrefixLength) == 0; }

bool UserHiveLoaded(const ts::WText& hive) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_USERS, hive.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool IsClassesHive(const ts::WText& name) {
  constexpr std::wstring_view kClasses = L"_Classes";
  return name.size() >= kClasses.size() &&
         _wcsicmp(name.c_str() + name.size() - kClasses.size(), kClasses.data()) == 0;
}

bool Product64() { return IsProduct64(g_installer.script.bitness); }

void CreateProductKey(REGSAM access) {
  ts::WText productKey = ts::WideFromUtf8(g_installer.script.productRegistry);
  if (productKey.empty()) return;
  ts::WText subkey = L"Software\\" + productKey;
  for (const ts::WText& hive : LoadedUserHives()) {
    ts::RegistryKey key;
    key.Create(HKEY_USERS, hive + L"\\" + subkey, access);
  }
  ts::RegistryKey key;
  LONG error = key.Create(HKEY_LOCAL_MACHINE, subkey, access);
  if (error == ERROR_SUCCESS) return;
  AddToFailureSummary(ts::Format(L"Error creating registry keys at \\Software\\%s\r\nCode %d: %s\r\n\r\n",
                                 productKey.c_str(), static_cast<int>(error),
                                 ts::SystemErrorTextW(static_cast<DWORD>(error)).c_str()));
}

void CreateKeys(const RegistryEntry& entry, REGSAM access) {
  for (const ts::WText& path : KeyPathsOfUsers(entry.keyPath)) {
    ts::RegistryKey key;
    OpenRegistryPath(path, access, true, key);
  }
}

void DeleteValues(const RegistryEntry& entry, REGSAM access) {
  for (const ts::WText& path : KeyPathsOfUsers(entry.keyPath)) {
    ts::RegistryKey key;
    if (OpenRegistryPath(path, access, false, key) == ERROR_SUCCESS) key.DeleteValue(entry.valueName);
  }
}

void ReportValueFailure(const RegistryEntry& entry, LONG error) {
  AddToFailureSummary(L"Failed to create registry value \"" + entry.valueName +
                      L"\": " + ts::SystemErrorTextW(static_cast<DWORD>(error)) + L"\r\n");
}

// Each user's hive is tried in turn; one that refuses is not reported.
void SetValues(const RegistryEntry& entry, REGSAM access) {
  ts::WText data = entry.data;
  if (entry.type == registry_type::kText) Expand(data);
  std::vector<uint8_t> bytes;
  if (!RegistryValueData(entry.type, data, bytes)) {
    ReportValueFailure(entry, ERROR_INVALID_DATA);
    return;
  }
  bool everyUser = IsAllUsersPath(entry.keyPath);
  for (const ts::WText& path : KeyPathsOfUsers(entry.keyPath)) {
    ts::RegistryKey key;
    if (OpenRegistryPath(path, access, true, key) != ERROR_SUCCESS) {
      if (!everyUser) AddToFailureSummary(L"Failed to create registry key: " + entry.keyPath + L"\r\n");
      continue;
    }
    if (entry.action == registry_action::kSetIfMissing && key.HasValue(entry.valueName)) continue;
    LONG error = key.SetData(entry.valueName, entry.type, bytes);
    if (error != ERROR_SUCCESS && !everyUser) ReportValueFailure(entry, error);
  }
}

void ApplyRegistryEntry(const ts::WText& line, REGSAM access) {
  RegistryEntry entry = ParseRegistryEntry(line);
  switch (entry.kind) {
    case RegistryEntry::Kind::kKey: CreateKeys(entry, access); return;
    case RegistryEntry::Kind::kIllegal: AddToFailureSummary(L"Illegal registry entry: " + line + L"\r\n"); return;
    case RegistryEntry::Kind::kValue: break;
  }
  switch (entry.action) {
    case registry_action::kSet:
    case registry_action::kSetAndKeep:
    case registry_action::kSetIfMissing: SetValues(entry, access); return;
    case registry_action::kDelete:
    case registry_action::kDeleteNowAndAtUninstall: DeleteValues(entry, access); return;
    default: return;
  }
}

// The merge file lies in a private folder, so that nobody can change it
// before the registry editor reads it. The editor is named by its full path:
// by its bare name the system would look first in the installer's folder.
// It may still be reading the file when the installer ends, so the file and
// its folder go at the next restart.
void MergeRegistryFile() {
  const std::string& text = g_installer.script.registryMergeFileText;
  if (text.empty()) return;
  ts::PrivateFolder folder;
  DWORD created = folder.Create();
  ts::WText path = created == ERROR_SUCCESS ? ts::MakeTemporaryFileName(folder.Path(), L"reg") : ts::WText();
  if (created == ERROR_SUCCESS && path.empty()) created = GetLastError();
  ts::Text bytes = MergeFileBytes(ts::WideFromUtf8(text));
  ts::File file;
  bool stored = !path.empty() && file.Create(path) && file.WriteBlock(bytes.data(), static_cast<int>(bytes.size()));
  file.Close();
  if (!stored) {
    ts::WText reason = path.empty() ? ts::SystemErrorTextW(created) : ts::WideFromUtf8(file.LastError());
    if (!path.empty()) DeleteFileW(path.c_str());
    AddToFailureSummary(L"Failed to create the registry merge file: " + reason + L"\r\n");
    return;
  }
  LogText("Merging registry file...");
  if (ts::StartProcess(L"\"" + ts::WindowsFolder() + L"\\regedit.exe\" /s \"" + path + L"\"", L"")) {
    LogText("OK\r\n");
  } else {
    ts::WText reason = ts::SystemErrorTextW(GetLastError());
    LogWideConcat({L"FAILED!\r\n", reason, L"\r\n"});
    AddToFailureSummary(L"Failed to import the registry merge file: " + reason + L"\r\n");
  }
  ts::DeleteAtRestart(path);
  ts::DeleteAtRestart(folder.Path());
  folder.Release();
}

}  // namespace

REGSAM RegistryAccess(bool product64) { return kReadWrite | (product64 ? KEY_WOW64_64KEY : 0); }

std::vector<ts::WText> LoadedUserHives() {
  std::vector<ts::WText> hives;
  ts::RegistryKey profiles;
  if (profiles.Open(HKEY_LOCAL_MACHINE, kProfileList, KEY_READ) == ERROR_SUCCESS) {
    for (const ts::WText& user : ts::SubkeyNames(HKEY_LOCAL_MACHINE, kProfileList)) {
      if (UserHiveLoaded(user)) hives.push_back(user);
    }
    return hives;
  }
  for (const ts::WText& hive : ts::SubkeyNames(HKEY_USERS, L"")) {
    if (_wcsicmp(hive.c_str(), L".DEFAULT") != 0 && !IsClassesHive(hive)) hives.push_back(hive);
  }
  return hives;
}

std::vector<ts::WText> KeyPathsOfUsers(const ts::WText& path) {
  if (!IsAllUsersPath(path)) return {path};
  std::vector<ts::WText> paths;
  for (const ts::WText& hive : LoadedUserHives()) paths.push_back(L"\\HKU\\" + hive + L"\\" + path.substr(kAllUsersPrefixLength));
  return paths;
}

LONG OpenRegistryPath(const ts::WText& path, REGSAM access, bool create, ts::RegistryKey& key) {
  ts::WText subkey;
  HKEY root = ts::RegistryPathRoot(path, subkey);
  if (!root) return ERROR_BAD_PATHNAME;
  return create ? key.Create(root, subkey, access) : key.Open(root, subkey, access);
}

ts::Text MergeFileBytes(const ts::WText& text) {
  bool ascii = true;
  for (wchar_t c : text) ascii = ascii && c < 0x80;
  if (ascii) return ts::Utf8FromWide(text);
  if (text.rfind(L"REGEDIT4", 0) == 0) return ts::AnsiFromWide(text);
  ts::Text bytes;
  for (wchar_t c : ts::WText(1, kByteOrderMark) + text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

void WriteRegistryEntries() {
  bool portable = g_installer.portable && (g_installer.productFlags2 & format::product_flags2::kNoRegistryWhenPortable);
  if (portable) return;
  REGSAM access = RegistryAccess(Product64());
  CreateProductKey(access);
  ts::WText text(g_installer.script.registryMergeText.begin(), g_installer.script.registryMergeText.end());
  for (const ts::WText& line : ts::NonBlankLines(text)) ApplyRegistryEntry(line, access);
  MergeRegistryFile();
}

}  // namespace palisade
