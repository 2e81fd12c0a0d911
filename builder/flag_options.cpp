#include "builder/flag_options.h"

#include <algorithm>
#include <iterator>

#include "format/product_flags.h"

namespace palisade::builder {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;
namespace second = format::product_flags2;

constexpr FlagWord kLow = FlagWord::kLow;
constexpr FlagWord kHigh = FlagWord::kHigh;
constexpr FlagWord kSecond = FlagWord::kSecond;
constexpr bool kInverted = true;
constexpr bool kDirect = false;

constexpr FlagOption kOptions[] = {
    {"product", "single-instance", kLow, low::kSingleInstance, kDirect, false},
    {"product", "everyone-full-access", kHigh, high::kEveryoneFullAccess, kDirect, false},
    {"product", "add-to-path", kLow, low::kAddToSearchPath, kDirect, false, true},
    {"product", "desktop-folder", kHigh, high::kDesktopFolderIsProductName, kDirect, false, true},
    {"master-product", "", kLow, low::kMasterProduct, kDirect, false, true},

    {"installer", "show-errors-in-automatic-mode", kHigh, high::kErrorsInAutomaticMode, kDirect, false},
    {"installer", "restore-point", kSecond, second::kRestorePoint, kDirect, false},
    {"installer", "always-restart", kLow, low::kRestartQuestion, kDirect, false},
    {"installer", "restart-question-in-automatic-mode", kHigh, high::kAskRestartInAutomaticMode, kDirect, false},
    {"installer", "verify-stub", kHigh, high::kVerifyStub, kDirect, false},
    {"installer", "verify-written-files", kLow, low::kVerifyWrittenFiles, kDirect, false},
    {"installer", "clear-attributes-in-the-way", kLow, low::kClearAttributesInTheWay, kDirect, false},
    {"installer", "replace-new-files-at-restart", kLow, low::kReplaceNewFilesAtRestart, kDirect, false},

    {"upgrade", "must-uninstall-first", kLow, low::kMustUninstallFirst, kDirect, false},
    {"upgrade", "compare-versions", kHigh, high::kCompareVersions, kDirect, true},
    {"upgrade", "ask-installation-type", kLow, low::kNoInstallationTypeQuestion, kInverted, true},
    {"upgrade", "warn-when-upgrading", kHigh, high::kWarnWhenUpgrading, kDirect, false},

    {"uninstaller", "enabled", kLow, low::kPreviousInstallation, kDirect, true},
    {"uninstaller", "strip-payload", kSecond, second::kStripPayload, kDirect, true},
    {"uninstaller", "automatic", kLow, low::kUninstallAutomatic, kDirect, false},
    {"uninstaller", "delete-install-folder", kLow, low::kDeleteInstallFolderOnUninstall, kDirect, false},
    {"uninstaller", "ask-before-removing-fonts", kLow, low::kAskBeforeRemovingFonts, kDirect, false},
    {"uninstaller", "ask-before-removing-shared-files", kLow, low::kAskBeforeRemovingSharedFiles, kDirect, false},
    {"uninstaller", "always-restart", kHigh, high::kUninstallRestartRequired, kDirect, false},
    {"uninstaller", "completion-message", kSecond, second::kUninstallCompletionMessage, kDirect, true},
    {"uninstaller", "start-menu-shortcut", kLow, low::kUninstallerStartMenuShortcut, kDirect, false},
    {"uninstaller", "desktop-shortcut", kHigh, high::kUninstallerDesktopShortcut, kDirect, false},
    {"uninstaller", "shortcut-in-uninstall-folder", kHigh, high::kUninstallerShortcutInUninstallFolder, kDirect, false},
    {"uninstaller", "shortcut-in-install-folder", kSecond, second::kUninstallerShortcutInInstallFolder, kDirect, false},
    {"uninstaller", "remove-install-folder-value", kSecond, second::kRemoveInstallFolderValue, kDirect, false},

    {"log", "keep", kLow, low::kKeepInstallLog, kDirect, true},
    {"log", "every-file", kLow, low::kLogEveryFile, kDirect, false},
    {"log", "start-menu-shortcut", kHigh, high::kLogShortcut, kDirect, false},
    {"log", "keep-after-uninstall", kHigh, high::kKeepLogOnUninstall, kDirect, false},

    {"wizard", "greeting", kHigh, high::kNoGreeting, kInverted, true},
    {"wizard", "greeting-in-automatic-mode", kLow, low::kGreetingInAutomaticMode, kDirect, false},
    {"wizard", "choose-folder", kLow, low::kFolderPage, kDirect, true},
    {"wizard", "choose-start-menu", kHigh, high::kStartMenuPage, kDirect, false},
    {"wizard", "show-disk-space", kSecond, second::kShowDiskSpace, kDirect, true},
    {"wizard", "browse-from-computer", kHigh, high::kBrowseFromComputer, kDirect, false},
    {"wizard", "allow-cancel", kLow, low::kCancelForbidden, kInverted, true},
    {"wizard", "progress-page", kHigh, high::kProgressPage, kDirect, true},
    {"wizard", "hide-file-names", kHigh, high::kHideFileNames, kDirect, false},
    {"wizard", "product-icons", kHigh, high::kIconsOnDialogs, kDirect, false},
    {"wizard", "button-images", kSecond, second::kButtonImages, kDirect, false},

    {"summary", "show", kLow, low::kNoSummary, kInverted, true},
    {"summary", "launch-checked", kSecond, second::kLaunchChecked, kDirect, false},
    {"summary", "launch-directly", kSecond, second::kLaunchDirectly, kDirect, false},
    {"summary", "open-checked", kSecond, second::kOpenDocumentChecked, kDirect, false},
    {"summary", "open-also-checked", kSecond, second::kOpenSecondChecked, kDirect, false},
    {"summary", "view-log", kHigh, high::kOfferToViewLog, kDirect, false},

    {"background", "enabled", kLow, low::kNoBackgroundWindow, kInverted, true},
    // The engine reads this bit as "the background covers the whole screen".
    {"background", "full-screen", kHigh, high::kFullScreenBackground, kDirect, false},
    {"background", "fixed-title", kHigh, high::kFixedBackgroundTitle, kDirect, false},
    {"background", "keep-for-uninstaller", kLow, low::kBackgroundPictureForUninstaller, kDirect, false},

    {"portable", "registry", kSecond, second::kNoRegistryWhenPortable, kInverted, true},
    {"portable", "associations", kSecond, second::kNoAssociationsWhenPortable, kInverted, true},
    {"portable", "firewall", kSecond, second::kNoFirewallWhenPortable, kInverted, true},
    {"portable", "start-menu-page", kSecond, second::kNoStartMenuPageWhenPortable, kInverted, true},

    {"batches.pre-install", "hidden", kLow, low::kPreInstallBatchHidden, kDirect, false},
    {"batches.pre-install", "log-output", kSecond, second::kCapturePreInstallBatch, kDirect, false},
    {"batches.post-install", "hidden", kLow, low::kPostInstallBatchHidden, kDirect, false},
    {"batches.post-install", "log-output", kSecond, second::kCapturePostInstallBatch, kDirect, false},
    {"batches.exit", "hidden", kLow, low::kExitBatchHidden, kDirect, false},
    {"batches.uninstall-before", "hidden", kLow, low::kUninstallBatch1Hidden, kDirect, false},
    {"batches.uninstall-after", "hidden", kLow, low::kUninstallBatch2Hidden, kDirect, false},
    {"batches.upgrade", "hidden", kHigh, high::kUpgradeBatchHidden, kDirect, false},
    {"batches.upgrade", "log-output", kSecond, second::kCaptureUpgradeBatch, kDirect, false},
    {"batches.reinstall", "hidden", kHigh, high::kReinstallBatchHidden, kDirect, false},
    {"batches.reinstall", "log-output", kSecond, second::kCaptureReinstallBatch, kDirect, false},
    {"batches.reinstall", "only-same-version", kSecond, second::kReinstallBatchOnlySameVersion, kDirect, false},

    {"compression", "enabled", kLow, low::kArchiveCompressed, kDirect, true},
    {"encryption", "enabled", kSecond, second::kEnciphered, kDirect, false},
};

}  // namespace

uint32_t& FlagWords::operator[](FlagWord word) {
  return word == FlagWord::kLow ? low : word == FlagWord::kHigh ? high : second;
}

uint32_t FlagWords::operator[](FlagWord word) const {
  return word == FlagWord::kLow ? low : word == FlagWord::kHigh ? high : second;
}

std::span<const FlagOption> FlagOptions() { return kOptions; }

const FlagOption& FindOption(std::string_view table, std::string_view key) {
  return *std::find_if(std::begin(kOptions), std::end(kOptions),
                       [&](const FlagOption& option) { return option.table == table && option.key == key; });
}

std::string OptionPath(const FlagOption& option) {
  std::string path(option.table);
  if (!option.key.empty()) path += "." + std::string(option.key);
  return path;
}

void SetOption(FlagWords& words, const FlagOption& option, bool value) {
  if (value != option.inverted) {
    words[option.word] |= option.bit;
  } else {
    words[option.word] &= ~option.bit;
  }
}

bool OptionValue(const FlagWords& words, const FlagOption& option) {
  return ((words[option.word] & option.bit) != 0) != option.inverted;
}

}  // namespace palisade::builder
