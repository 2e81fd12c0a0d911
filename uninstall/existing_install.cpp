#include "uninstall/existing_install.h"

#include <windows.h>

#include "actions/overwrite_rules.h"
#include "app/exit.h"
#include "app/gates.h"
#include "core/ts_format.h"
#include "core/ts_no_follow.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/message_box.h"
#include "ui/wizard.h"
#include "uninstall/removal_safety.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr REGSAM kReadAccess = 0x20009;
constexpr REGSAM kKeyAccess = 0x2000F;
constexpr wchar_t kBlanks[] = L" \t\r\n";

constexpr int kCaptionMessage = 2;
constexpr int kGoOnQuestion = 7;
constexpr int kNoUninstallerMessage = 9;
constexpr int kWarningCaption = 20;
constexpr int kUpgradeWarning = 72;
constexpr int kDowngradeFloorMessage = 106;

// What the product's uninstall key said, read at the start of the run.
EarlierInstallation g_earlier;

bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }
bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }

ts::WText Trimmed(const ts::WText& text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == ts::WText::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

ts::WText OrProductName(const std::string& text) {
  return ts::WideFromUtf8(text.empty() ? g_installer.script.productName : text);
}

ts::WText ProductKeyPath() { return kUninstallKey + ts::WideFromUtf8(g_installer.script.uninstallName); }

// The registry can name any folder: a system folder, a drive root or a
// path through a link is never taken for the product's.
bool IsUsableFolder(const ts::WText& folder) {
  DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         IsRemovableFolder(folder, ProtectedFolders());
}

// The earlier uninstaller's command, quiet when it has one; empty when its
// program is not a plain local file that is there.
ts::WText EarlierUninstallCommand() {
  ts::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, ProductKeyPath(), kReadAccess) != ERROR_SUCCESS) return {};
  ts::WText command = key.Text(L"QuietUninstallString");
  if (command.empty()) command = key.Text(L"UninstallString");
  ts::WText program = ts::ProgramOf(command);
  DWORD attributes = GetFileAttributesW(program.c_str());
  bool runnable = IsPlainLocalPath(program) && attributes != INVALID_FILE_ATTRIBUTES &&
                  !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  return runnable ? command : ts::WText();
}

// The earlier installation goes first: its uninstaller starts this
// installer again when it is done, and this run ends either way.
[[noreturn]] void HandOverToEarlierUninstaller() {
  g_installer.flags.automatic = false;  // this question is asked even in an automatic run
  ts::WText command = EarlierUninstallCommand();
  if (command.empty()) Refuse(MessageWithTags(kNoUninstallerMessage));
  if (ConfirmMustUninstall()) {
    ts::WText handOver = HandOverCommand(command, GetCommandLineW());
    ts::TraceRun(L"hand over to " + handOver);
    ts::StartProcess(handOver, ts::ProgramFolderOf(command));
  }
  OrderlyExit(1);
}

void AskInstallationType(InstallationType type) {
  ts::WText question = MessageWithTags(static_cast<int>(type)) + L"\r\n" + g_earlier.location + L"\r\n\r\n" +
                       MessageWithTags(kGoOnQuestion);
  if (!Ask(question, MessageWithTags(kCaptionMessage))) Abort();
}

void WarnOfUpgrade() {
  int answer = ShowMessage(MessageWithTags(kUpgradeWarning), MessageWithTags(kWarningCaption), MB_YESNO | MB_ICONWARNING);
  if (answer != IDYES) OrderlyExit(1);
}

void TakeOverEarlierInstallation(InstallationType type) {
  g_installer.installFolder = g_earlier.location;
  g_installer.installFolderFixed = true;
  g_installer.replacesInstallation = true;
  g_installer.installationType = type;
  g_installer.oldVersion = g_earlier.version;
  if (!g_earlier.programGroup.empty()) g_installer.script.startMenuFolder = ts::Utf8FromWide(g_earlier.programGroup);
}

}  // namespace

bool FindInstalledProduct(const ts::WText& uninstallName, InstalledProduct& product) {
  ts::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kUninstallKey + uninstallName, kReadAccess) != ERROR_SUCCESS) return false;
  bool hasUninstaller = !key.Text(L"UninstallString").empty() || !key.Text(L"QuietUninstallString").empty();
  product.location = key.Text(L"InstallLocation");
  product.version = key.Text(L"DisplayVersion");
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
    g_installer.installFolderFixed = true;
  }
}

bool IsBlank(const ts::WText& text) { return text.find_first_not_of(kBlanks) == ts::WText::npos; }

InstallationType InstallationTypeOf(const ts::WText& oldVersion, const ts::WText& newVersion, bool compareVersions) {
  if (!compareVersions || IsBlank(oldVersion) || IsBlank(newVersion)) return InstallationType::kOverExisting;
  int order = CompareVersions(oldVersion, newVersion);
  if (order == 0) return InstallationType::kReinstall;
  return order < 0 ? InstallationType::kUpgrade : InstallationType::kDowngrade;
}

bool MustUninstallFirst(const ts::WText& oldVersion, const ts::WText& mustUninstallBelow) {
  return mustUninstallBelow.empty() || CompareVersions(oldVersion, mustUninstallBelow) < 0;
}

bool BelowDowngradeFloor(const ts::WText& newVersion, const ts::WText& floor) {
  return !IsBlank(floor) && CompareVersions(newVersion, floor) < 0;
}

bool WarnsOfUpgrade(bool warnWhenUpgrading, const ts::WText& oldVersion, const ts::WText& upgradeWarningBelow) {
  if (!warnWhenUpgrading || IsBlank(oldVersion)) return false;
  return IsBlank(upgradeWarningBelow) || CompareVersions(oldVersion, upgradeWarningBelow) < 0;
}

ts::WText HandOverCommand(const ts::WText& uninstallCommand, const ts::WText& ownCommandLine) {
  ts::WText own = ownCommandLine;
  for (wchar_t& c : own) {
    if (c == L'"') c = L'`';
  }
  return uninstallCommand + L" /r:\"" + own + L"\"";
}

void ReadEarlierInstallation() {
  ts::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, ProductKeyPath(), kKeyAccess) != ERROR_SUCCESS) return;
  EarlierInstallation& earlier = g_earlier;
  earlier.location = key.Text(L"InstallLocation");
  const std::string& folderValue = g_installer.script.installFolderValue;
  if (earlier.location.empty() && !folderValue.empty()) {
    ts::ReadRegistryValuePath(ts::WideFromUtf8(folderValue), earlier.location);
  }
  earlier.location = ts::NormalisedPath(earlier.location);
  earlier.version = key.Text(L"DisplayVersion");
  earlier.programGroup = key.Text(L"ProductStartMenu");
  earlier.downgradeFloor = Trimmed(key.Text(L"NoDowngradeBelow"));
  earlier.locationExists = !earlier.location.empty() && IsUsableFolder(earlier.location);
  // Stored through the ANSI interface: read back through the same code page.
  g_installer.sharedFileList = ts::AnsiFromWide(key.Text(L"SharedFiles"));
}

bool IsEarlierInstallationFolder(const ts::WText& folder) {
  auto comparable = [](const ts::WText& path) {
    ts::WText full = ts::FullPath(path);
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
  };
  return g_earlier.locationExists &&
         _wcsicmp(comparable(g_earlier.location).c_str(), comparable(folder).c_str()) == 0;
}

void ExamineExistingInstallation() {
  if (g_installer.installFolderSource == InstallFolderSource::kRegistry) return;
  if (!LowFlag(low::kPreviousInstallation) || !g_earlier.locationExists) return;
  const format::SetupScript& script = g_installer.script;
  ts::WText newVersion = ts::WideFromUtf8(script.displayVersion);
  if (LowFlag(low::kMustUninstallFirst) && MustUninstallFirst(g_earlier.version, ts::WideFromUtf8(script.mustUninstallBelow))) {
    HandOverToEarlierUninstaller();
  }
  if (BelowDowngradeFloor(newVersion, g_earlier.downgradeFloor)) {
    Refuse(FillConversions(MessageWithTags(kDowngradeFloorMessage), {g_earlier.downgradeFloor}));
  }
  InstallationType type = InstallationTypeOf(g_earlier.version, newVersion, HighFlag(high::kCompareVersions));
  ts::TraceRun(ts::Format(L"installation type %d", static_cast<int>(type)));
  bool automatic = g_installer.flags.automatic;
  if (!automatic && !LowFlag(low::kNoInstallationTypeQuestion)) AskInstallationType(type);
  bool warn = WarnsOfUpgrade(HighFlag(high::kWarnWhenUpgrading), g_earlier.version,
                             ts::WideFromUtf8(script.upgradeWarningBelow));
  if (!automatic && warn) WarnOfUpgrade();
  TakeOverEarlierInstallation(type);
}

}  // namespace palisade
