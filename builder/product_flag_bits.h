#pragma once
// Names for the option bits that format/product_flags.h does not name yet:
// the bits that installation actions, the wizard and the uninstaller test.
// Each name says what the set bit does.
#include <cstdint>

namespace palisade::builder {

namespace product_flags_low {
inline constexpr uint32_t kMustUninstallFirst = 0x1;
inline constexpr uint32_t kUninstallerStartMenuShortcut = 0x2;
inline constexpr uint32_t kAskBeforeRemovingFonts = 0x10;
inline constexpr uint32_t kKeepInstallLog = 0x40;
inline constexpr uint32_t kDeleteInstallFolderOnUninstall = 0x400;
inline constexpr uint32_t kReplaceNewFilesAtRestart = 0x800;
inline constexpr uint32_t kAddToSearchPath = 0x1000;
inline constexpr uint32_t kBackgroundPictureForUninstaller = 0x8000;
inline constexpr uint32_t kAskBeforeRemovingSharedFiles = 0x20000;
inline constexpr uint32_t kVerifyWrittenFiles = 0x40000;
inline constexpr uint32_t kClearAttributesInTheWay = 0x80000;
inline constexpr uint32_t kLogEveryFile = 0x100000;
inline constexpr uint32_t kCancelForbidden = 0x200000;
inline constexpr uint32_t kNoSummary = 0x400000;
inline constexpr uint32_t kPreInstallBatchHidden = 0x800000;
inline constexpr uint32_t kPostInstallBatchHidden = 0x1000000;
inline constexpr uint32_t kExitBatchHidden = 0x2000000;
inline constexpr uint32_t kUninstallBatch1Hidden = 0x4000000;
inline constexpr uint32_t kUninstallBatch2Hidden = 0x8000000;
inline constexpr uint32_t kNoInstallationTypeQuestion = 0x10000000;
}  // namespace product_flags_low

namespace product_flags_high {
inline constexpr uint32_t kUninstallerDesktopShortcut = 0x2;
inline constexpr uint32_t kCompareVersions = 0x10;
inline constexpr uint32_t kBrowseFromComputer = 0x20;
inline constexpr uint32_t kUninstallerShortcutInUninstallFolder = 0x40;
inline constexpr uint32_t kFixedBackgroundTitle = 0x400;
inline constexpr uint32_t kWarnWhenUpgrading = 0x1000;
inline constexpr uint32_t kUninstallRestartRequired = 0x2000;
inline constexpr uint32_t kHideFileNames = 0x20000;
inline constexpr uint32_t kEveryoneFullAccess = 0x40000;
inline constexpr uint32_t kProgressPage = 0x80000;
inline constexpr uint32_t kKeepLogOnUninstall = 0x400000;
inline constexpr uint32_t kOfferToViewLog = 0x2000000;
inline constexpr uint32_t kLogShortcut = 0x8000000;
inline constexpr uint32_t kUpgradeBatchHidden = 0x10000000;
inline constexpr uint32_t kReinstallBatchHidden = 0x20000000;
}  // namespace product_flags_high

namespace product_flags2 {
// Without it the reinstall batch also runs over an installation of another
// version.
inline constexpr uint32_t kReinstallBatchOnlySameVersion = 0x1;
inline constexpr uint32_t kLaunchChecked = 0x4;
inline constexpr uint32_t kOpenDocumentChecked = 0x8;
inline constexpr uint32_t kOpenSecondChecked = 0x10;
inline constexpr uint32_t kCapturePreInstallBatch = 0x40;
inline constexpr uint32_t kCapturePostInstallBatch = 0x80;
inline constexpr uint32_t kCaptureUpgradeBatch = 0x100;
inline constexpr uint32_t kCaptureReinstallBatch = 0x200;
inline constexpr uint32_t kRemoveInstallFolderValue = 0x2000;
inline constexpr uint32_t kNoRegistryWhenPortable = 0x8000;
inline constexpr uint32_t kNoAssociationsWhenPortable = 0x20000;
inline constexpr uint32_t kUninstallCompletionMessage = 0x40000;
inline constexpr uint32_t kNoFirewallWhenPortable = 0x80000;
inline constexpr uint32_t kLaunchDirectly = 0x100000;
inline constexpr uint32_t kUninstallerShortcutInInstallFolder = 0x200000;
inline constexpr uint32_t kShowDiskSpace = 0x400000;
}  // namespace product_flags2

}  // namespace palisade::builder
