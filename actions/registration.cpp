#include "actions/registration.h"

#include <windows.h>

#include "actions/install_log.h"
#include "actions/installed_file.h"
#include "actions/registration_values.h"
#include "state/installer_state.h"
#include "core/system_facts.h"
#include "core/ts_format.h"
#include "core/ts_deferred.h"
#include "core/ts_file.h"
#include "core/ts_registry.h"
#include "core/ts_resources.h"
#include "core/ts_security.h"
#include "core/ts_system.h"
#include "core/ts_texts.h"
#include "format/icon_file.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/payload_reader.h"
#include "payload/variables.h"
#include "ui/background_window.h"
#include "ui/bitmap_file.h"
#include "ui/progress.h"
#include "record/record_hashes.h"
#include "record/uninstall_record.h"

namespace palisade {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kEnvironmentKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr wchar_t kDefaultUninstallerName[] = L"uninstall.exe";
constexpr REGSAM kRegistrationAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS;

// The icon group that the stripped uninstaller gets, and its first image.
constexpr uint16_t kIconGroupId = 1;
constexpr uint16_t kFirstIconImageId = 1;

ts::WText Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return ts::WideFromUtf8(ts::DateText(now, "yymmdd"));
}

// A small file of the installer's own (an icon, a marker) written whole;
// false with the system's reason in `error`.
bool WriteWholeFile(const ts::WText& path, std::span<const uint8_t> bytes, ts::Text& error) {
  ts::File file;
  if (file.Create(path) && file.WriteBlock(bytes.data(), static_cast<int>(bytes.size()))) return true;
  error = file.LastError();
  return false;
}

// "product.ico" beside the uninstaller, named by `DisplayIcon` only once it
// is there.
ts::WText WriteProductIcon() {
  const format::Bytes& icon = g_installer.script.productIcon;
  if (icon.empty()) return {};
  ts::WText path = UninstallFolder() + L"\\product.ico";
  ts::Text error;
  if (!WriteWholeFile(path, icon, error)) return {};
  RecordForRemoval(path, RemovalKind::kFile);
  return path;
}

RegistrationFacts Facts() {
  RegistrationFacts facts;
  facts.uninstallerPath = UninstallerPath();
  facts.uninstallName = ts::WideFromUtf8(g_installer.script.uninstallName);
  facts.installerPath = ts::ModuleFileName();
  facts.installFolder = g_installer.installFolder;
  facts.sharedFolder = SharedFolder();
  facts.productFlags2 = g_installer.productFlags2;
  facts.installedBytes = g_installer.installedBytes;
  facts.installDate = Today();
  // Stored as the system's ANSI interface would store the narrow list, and
  // read back through the same code page.
  facts.sharedFiles = ts::WideFromAnsi(g_installer.sharedFileList);
  facts.fonts = g_installer.followUps.fontList;
  facts.displayTitle = BackgroundTitle();
  facts.displayIcon = WriteProductIcon();
  return facts;
}

LONG WriteValue(ts::RegistryKey& key, const UninstallKeyValue& value) {
  switch (value.kind) {
    case UninstallKeyValue::Kind::kText: return key.SetText(value.name, value.text);
    case UninstallKeyValue::Kind::kExpandableText: return key.SetText(value.name, value.text, REG_EXPAND_SZ);
    case UninstallKeyValue::Kind::kNumber: return key.SetNumber(value.name, value.number);
    case UninstallKeyValue::Kind::kDelete: return key.DeleteValue(value.name);
  }
  return ERROR_INVALID_PARAMETER;
}

// Values below a sub-key are the script's own, opened relative to the same
// root as the uninstall key.
LONG WriteSubkeyValue(const ts::WText& keyPath, const UninstallKeyValue& value) {
  ts::RegistryKey subkey;
  LONG error = subkey.Create(HKEY_LOCAL_MACHINE, keyPath + L"\\" + value.subkey, kRegistrationAccess);
  return error == ERROR_SUCCESS ? WriteValue(subkey, value) : error;
}

// The script's extra values are reported one by one, wherever they go; the
// engine's own are judged together by reading UninstallString back.
void WriteUninstallKeyValue(ts::RegistryKey& key, const ts::WText& keyPath, const UninstallKeyValue& value) {
  LONG error = value.subkey.empty() ? WriteValue(key, value) : WriteSubkeyValue(keyPath, value);
  if (error == ERROR_SUCCESS || !value.extra) return;
  AddToFailureSummary(ts::Format(L"Failed to save data in registry key \"%s\": %s\r\n", ExtraValueName(value).c_str(),
                                 ts::SystemErrorTextW(static_cast<DWORD>(error)).c_str()));
}

bool WriteUninstallKey(const ts::WText& keyPath, const RegistrationFacts& facts, ts::WText& errorText) {
  ts::RegistryKey key;
  LONG error = key.Create(HKEY_LOCAL_MACHINE, keyPath, kRegistrationAccess);
  if (error != ERROR_SUCCESS) {
    errorText = ts::SystemErrorTextW(static_cast<DWORD>(error));
    return false;
  }
  bool unknownType = false;
  std::vector<UninstallKeyValue> values = UninstallKeyValues(g_installer.script, facts, Expand, unknownType);
  if (unknownType) CorruptInstaller(format::Error::kBadRegistrationValueType);
  for (const UninstallKeyValue& value : values) WriteUninstallKeyValue(key, keyPath, value);
  ts::WText readBack;
  return key.ReadText(L"UninstallString", readBack) && readBack == UninstallString(facts);
}

// The uninstaller draws the same background as the installer.
void WriteBackgroundPicture() {
  const format::Bytes& bitmap = g_installer.script.backgroundBitmap;
  bool wanted = g_installer.script.productFlagsLow & format::product_flags_low::kBackgroundPictureForUninstaller;
  if (!wanted || bitmap.empty() || !HasUninstaller()) return;
  ts::WText path = UninstallFolder() + L"\\Installer Background.bmp";
  SetStatusText(path);
  bool replacedAtRestart = false;
  if (WriteInstalledFile(path, std::span<const uint8_t>(BitmapFileFromDib(bitmap)), {}, kLeaveAttributes, false, replacedAtRestart)) {
    RecordForRemoval(path, RemovalKind::kFile);
  }
}

// The readme and license texts stay readable after the installation: each
// non-empty one as "<stem>N.txt" by its place among them, or "<stem>.txt"
// when there is only one.
void WriteWizardTexts(const std::vector<format::Bytes>& texts, const wchar_t* stem) {
  std::vector<const format::Bytes*> present;
  for (const format::Bytes& text : texts) {
    if (!text.empty()) present.push_back(&text);
  }
  for (size_t i = 0; i < present.size(); ++i) {
    ts::WText name = present.size() == 1 ? ts::WText(stem) + L".txt" : ts::Format(L"%s%d.txt", stem, static_cast<int>(i + 1));
    ts::WText path = g_installer.installFolder + L"\\" + name;
    if (!(g_installer.script.productFlagsHigh & format::product_flags_high::kHideFileNames)) SetStatusText(path);
    bool replacedAtRestart = false;
    if (WriteInstalledFile(path, std::span<const uint8_t>(*present[i]), {}, kLeaveAttributes, false, replacedAtRestart)) {
      RecordForRemoval(path, RemovalKind::kFile);
    }
  }
}

// A folder of the product made before the files, with its parents; false,
// with the failure logged after `failure`, when it cannot be made.
bool MakeProductFolder(const ts::WText& folder, const wchar_t* failure, std::vector<ts::WText>& created) {
  ts::WText reason;
  if (CreateFolderWithParents(folder, created, reason)) return true;
  LogWideConcat({failure, L" \"", folder, L"\": ", reason, L"\r\n"});
  return false;
}

// The record and the log go into the uninstall data folder, so it is the
// product's from the start.
void CreateUninstallDataFolder() {
  if (g_installer.script.uninstallSubfolder.empty()) return;
  ts::WText folder = UninstallFolder();
  std::vector<ts::WText> created;
  if (!MakeProductFolder(folder, L"Failed to create uninstall data folder", created)) return;
  for (const ts::WText& owned : OwnedFolders(folder, created, g_installer.installFolder, g_installer.productFolders)) {
    RecordForRemoval(owned, RemovalKind::kFolder);
  }
}

// The shared folder is made whenever the product has one: the file table,
// read only in the file phase, cannot tell sooner whether files go there.
// What is made here becomes the product's and is recorded with the first
// file that goes there; a shared folder that stays empty is removed again
// at the end of the run and never recorded.
void CreateSharedFolder() {
  ts::WText folder = SharedFolder();
  std::vector<ts::WText> created;
  if (folder.empty() || !MakeProductFolder(folder, L"Failed to create shared folder", created)) return;
  for (const ts::WText& made : created) g_installer.productFolders.insert(ts::AsciiLowerCase(made));
}

void GrantRightsToInstallFolder() {
  const ts::WText& folder = g_installer.installFolder;
  LogWideConcat({L"Granting rights to directory \"", folder, L"\"..."});
  constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  DWORD attributes = GetFileAttributesW(folder.c_str());
  DWORD error = ERROR_PATH_NOT_FOUND;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesW(folder.c_str(), attributes & ~kInTheWay);
    error = ts::GrantEveryoneFullAccess(folder);
  }
  if (error == ERROR_SUCCESS) {
    LogText("OK\r\n");
  } else {
    LogWideFormat(L"FAILED code %d: %s\r\n\r\n", static_cast<int>(error), ts::SystemErrorTextW(error).c_str());
  }
}

// Only the stripped image is the installer's to change: a full copy keeps
// the installer's own signature and icon.
void GiveUninstallerItsIcon(const ts::WText& path) {
  const format::Bytes& icon = g_installer.script.uninstallerIcon;
  if (icon.empty()) return;
  format::IconResources resources;
  if (!format::IconResourcesOf(icon, kFirstIconImageId, resources)) {
    LogText("Failed to replace uninstaller icon.\r\n");
    return;
  }
  switch (ts::ReplaceIcon(path, kIconGroupId, resources.group, resources.images, kFirstIconImageId)) {
    case ts::ResourceUpdate::kDone: return;
    case ts::ResourceUpdate::kCannotOpen: LogText("Failed to open uninstaller for icon replacement.\r\n"); return;
    case ts::ResourceUpdate::kFailed: LogText("Failed to replace uninstaller icon.\r\n"); return;
  }
}

// A later installation finds the folder there when the product's
// registration does not say it.
void WriteInstallFolderValue() {
  ts::WText setting = ts::WideFromUtf8(g_installer.script.installFolderValue);
  ts::WText rest;
  HKEY root = ts::RootKeyOf(setting, rest);
  size_t slash = rest.rfind(L'\\');
  if (!root || slash == ts::WText::npos) return;
  ts::RegistryKey key;
  if (key.Create(root, rest.substr(0, slash), KEY_SET_VALUE) != ERROR_SUCCESS) return;
  if (key.SetText(rest.substr(slash + 1), g_installer.installFolder) != ERROR_SUCCESS) return;
  if (g_installer.productFlags2 & format::product_flags2::kRemoveInstallFolderValue) {
    RecordForRemoval(setting[0] == L'\\' ? setting : L"\\" + setting, RemovalKind::kRegistryValue);
  }
}

// An empty "reboot.dat" that the next start of Windows deletes: the product
// can tell from it that a restart is still pending. The uninstaller takes
// it if Windows has not.
void WriteRebootMarker() {
  ts::WText path = g_installer.installFolder + L"\\reboot.dat";
  ts::Text error;
  if (!WriteWholeFile(path, {}, error)) return;
  RecordForRemoval(path, RemovalKind::kFile);
  ts::DeleteFileWithOptions(path, ts::delete_file::kAtRestart);
}

ts::WText ProductKeyPath() { return kUninstallKey + ts::WideFromUtf8(g_installer.script.uninstallName); }

void ReportRegistrationFailure(const ts::WText& errorText) {
  ts::WText report;
  if (!errorText.empty()) report = L"System error: " + errorText + L"\r\n\r\n";
  AddToFailureSummary(report +
                      L"Unable to save the uninstall information to the registry.  Uninstall will not work properly.\r\n\r\n");
}

void WriteRegistration() {
  RegistrationFacts facts = Facts();
  ts::WText errorText;
  if (!WriteUninstallKey(ProductKeyPath(), facts, errorText)) ReportRegistrationFailure(errorText);
}

// Without its hashes the uninstaller refuses the record; a key that is
// missing altogether has been reported by the registration already.
void StoreHashesOfRecord(const ts::WText& recordHash) {
  LONG error = StoreFileHashes(ProductKeyPath(), recordHash, g_installer.uninstallerHash);
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
    ReportRegistrationFailure(ts::SystemErrorTextW(static_cast<DWORD>(error)));
  }
}

}  // namespace

bool HasUninstaller() {
  return (g_installer.script.productFlagsLow & format::product_flags_low::kPreviousInstallation) != 0;
}

ts::WText UninstallerPath() {
  ts::WText name = ts::WideFromUtf8(g_installer.script.uninstallerName);
  return UninstallFolder() + L"\\" + (name.empty() ? kDefaultUninstallerName : name);
}

ts::WText UninstallerArgumentsOfProduct() {
  return UninstallerArguments(ts::WideFromUtf8(g_installer.script.uninstallName));
}

// The record of an earlier installation in this folder is read before the
// new one overwrites it: a reinstallation knows from it alone which folders
// outside the installation folder the product made, as far as the
// product's key vouches for it.
void CreateDataFolders() {
  g_installer.productFolders = RecordedFolders(UninstallDataPath(UninstallFolder()), ProductKeyPath());
  CreateUninstallDataFolder();
  CreateSharedFolder();
  if (g_installer.script.productFlagsHigh & format::product_flags_high::kEveryoneFullAccess) GrantRightsToInstallFolder();
}


void WriteExtraFiles() {
  WriteBackgroundPicture();
  WriteWizardTexts(g_installer.script.readmeTexts, L"readme");
  WriteWizardTexts(g_installer.script.licenseTexts, L"eula");
  if (!(g_installer.script.productFlagsLow & format::product_flags_low::kAddToSearchPath)) return;
  ts::WText path = MachineSearchPath();
  if (path.empty()) return;
  ts::WText folder =
      SearchPathFolder(g_installer.installFolder, ts::WideFromUtf8(g_installer.script.addToPathSubfolder));
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    LogWideConcat({L"Couldn't add \"", folder, L"\" to the PATH because it does not exist.\r\n"});
    return;
  }
  ts::WText extended = SearchPathWith(path, folder);
  if (extended != path) SetMachineSearchPath(extended);
}

ts::WText MachineSearchPath() {
  ts::WText path;
  ts::ReadRegistryText(HKEY_LOCAL_MACHINE, kEnvironmentKey, L"Path", path);
  return path;
}

void SetMachineSearchPath(const ts::WText& path) {
  ts::RegistryKey environment;
  if (environment.Open(HKEY_LOCAL_MACHINE, kEnvironmentKey, KEY_SET_VALUE) == ERROR_SUCCESS) {
    environment.SetText(L"Path", path, REG_EXPAND_SZ);
  }
}

// The uninstaller goes in with no attributes, so that nothing stands in the
// way of the next installation that replaces it, and with the script's time
// stamp. An old uninstaller that is running (a reinstallation started from
// it) is replaced at the next restart, whichever image is written. Its hash
// is of what lies at its path once the restart has come: the copy is of the
// installer's own file, which the payload's handle keeps from changing; the
// stripped image is hashed as it lies after the icon went in.
void WriteUninstaller(const Payload& payload) {
  if (!HasUninstaller()) return;
  ts::WText path = UninstallerPath();
  const format::TimeStamp& time = g_installer.script.uninstallerTime;
  constexpr uint32_t kNoAttributes = 0;
  if (!payload.strippedUninstaller.empty()) {
    bool replacedAtRestart = false;
    bool present = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const format::Bytes& image = payload.strippedUninstaller;
    if (!WriteInstalledFile(path, std::span<const uint8_t>(image), time, kNoAttributes, present, replacedAtRestart)) return;
    GiveUninstallerItsIcon(path);
    g_installer.uninstallerHash =
        replacedAtRestart ? HashOfBytes(std::string_view(reinterpret_cast<const char*>(image.data()), image.size()))
                          : HashOfFile(path);
    return;
  }
  g_installer.uninstallerHash = HashOfFile(payload.installerPath);
  std::vector<ts::WText> created;
  ts::WText reason;
  CreateFolderWithParents(UninstallFolder(), created, reason);
  if (CopyFileW(payload.installerPath.c_str(), path.c_str(), FALSE)) {
    StampTimeAndAttributes(path, time, kNoAttributes);
    return;
  }
  auto copy = [&payload](const ts::WText& temporary) -> DWORD {
    return CopyFileW(payload.installerPath.c_str(), temporary.c_str(), FALSE) ? ERROR_SUCCESS : GetLastError();
  };
  RestartReplacement replacement = ReplaceAtNextRestart(path, copy, time);
  if (!replacement.scheduled) AddToFailureSummary(replacement.failure);
}

void WriteUninstallerIcon() {
  const format::Bytes& icon = g_installer.script.uninstallerIcon;
  if (icon.empty() || !HasUninstaller()) return;
  ts::WText path = UninstallFolder() + L"\\uninstall.ico";
  ts::Text error;
  if (WriteWholeFile(path, icon, error)) {
    RecordForRemoval(path, RemovalKind::kFile);
    return;
  }
  LogWideFormat(L"Failed to install uninstaller icon to %s\r\n%s\r\n", path.c_str(), ts::WideFromUtf8(error).c_str());
}

void RegisterProduct() {
  if (HasUninstaller()) WriteRegistration();
  if (!g_installer.script.installFolderValue.empty()) WriteInstallFolderValue();
  if (g_installer.script.rebootMarker) WriteRebootMarker();
}

void WriteUninstallRecord() {
  if (!HasUninstaller()) return;
  ts::WText path = UninstallDataPath(UninstallFolder());
  ts::Text error;
  ts::WText hash;
  if (WriteUninstallData(path, error, hash)) {
    StoreHashesOfRecord(hash);
    return;
  }
  AddToFailureSummary(WriteFailureText(path, ts::WideFromUtf8(error)));
}

}  // namespace palisade
