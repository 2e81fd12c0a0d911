#pragma once
// The product option bits that shape how the payload and the script are
// read. `ProductFlags` is 64 bits stored as a low and a high 32-bit word at
// the head of the script; `ProductFlags2` is the payload header's 32-bit word.
// Bits that only one action tests are named beside that action.
#include <cstdint>

namespace palisade::format {

namespace product_flags_low {
inline constexpr uint32_t kMustUninstallFirst = 0x1;
inline constexpr uint32_t kUninstallerStartMenuShortcut = 0x2;
// The script carries its optional blob (field 56); the earlier installation's
// registration is read and shared-file reference counts are kept.
inline constexpr uint32_t kPreviousInstallation = 0x4;
inline constexpr uint32_t kGreetingInAutomaticMode = 0x8;
inline constexpr uint32_t kAskBeforeRemovingFonts = 0x10;
inline constexpr uint32_t kArchiveCompressed = 0x20;
// The log is written even when nothing failed.
inline constexpr uint32_t kKeepInstallLog = 0x40;
inline constexpr uint32_t kFolderPage = 0x80;
inline constexpr uint32_t kSingleInstance = 0x100;
inline constexpr uint32_t kUninstallAutomatic = 0x200;
inline constexpr uint32_t kDeleteInstallFolderOnUninstall = 0x400;
inline constexpr uint32_t kReplaceNewFilesAtRestart = 0x800;
inline constexpr uint32_t kAddToSearchPath = 0x1000;
// A restart is offered (or, in automatic mode, made) at the end.
inline constexpr uint32_t kRestartQuestion = 0x4000;
inline constexpr uint32_t kBackgroundPictureForUninstaller = 0x8000;
// The script carries the master-product texts and the master check runs.
inline constexpr uint32_t kMasterProduct = 0x10000;
inline constexpr uint32_t kAskBeforeRemovingSharedFiles = 0x20000;
inline constexpr uint32_t kVerifyWrittenFiles = 0x40000;
inline constexpr uint32_t kClearAttributesInTheWay = 0x80000;
inline constexpr uint32_t kLogEveryFile = 0x100000;
inline constexpr uint32_t kCancelForbidden = 0x200000;
// Neither the summary page nor the completion message is shown.
inline constexpr uint32_t kNoSummary = 0x400000;
inline constexpr uint32_t kPreInstallBatchHidden = 0x800000;
inline constexpr uint32_t kPostInstallBatchHidden = 0x1000000;
inline constexpr uint32_t kExitBatchHidden = 0x2000000;
inline constexpr uint32_t kUninstallBatch1Hidden = 0x4000000;
inline constexpr uint32_t kUninstallBatch2Hidden = 0x8000000;
inline constexpr uint32_t kNoInstallationTypeQuestion = 0x10000000;
inline constexpr uint32_t kNoBackgroundWindow = 0x20000000;
}  // namespace product_flags_low

namespace product_flags_high {
inline constexpr uint32_t kVerifyStub = 0x1;
inline constexpr uint32_t kUninstallerDesktopShortcut = 0x2;
inline constexpr uint32_t kStartMenuPage = 0x4;
inline constexpr uint32_t kErrorsInAutomaticMode = 0x8;
inline constexpr uint32_t kCompareVersions = 0x10;
inline constexpr uint32_t kBrowseFromComputer = 0x20;
inline constexpr uint32_t kUninstallerShortcutInUninstallFolder = 0x40;
// The background window covers the whole screen, not only the work area.
inline constexpr uint32_t kFullScreenBackground = 0x100;
// In automatic mode the restart question is still asked.
inline constexpr uint32_t kAskRestartInAutomaticMode = 0x200;
inline constexpr uint32_t kFixedBackgroundTitle = 0x400;
inline constexpr uint32_t kNoGreeting = 0x800;
inline constexpr uint32_t kWarnWhenUpgrading = 0x1000;
inline constexpr uint32_t kUninstallRestartRequired = 0x2000;
inline constexpr uint32_t kHideFileNames = 0x20000;
inline constexpr uint32_t kEveryoneFullAccess = 0x40000;
inline constexpr uint32_t kProgressPage = 0x80000;
// Message boxes and pages carry the product's icons.
inline constexpr uint32_t kIconsOnDialogs = 0x100000;
inline constexpr uint32_t kKeepLogOnUninstall = 0x400000;
// The summary page offers to show the log.
inline constexpr uint32_t kOfferToViewLog = 0x2000000;
inline constexpr uint32_t kDesktopFolderIsProductName = 0x4000000;
inline constexpr uint32_t kLogShortcut = 0x8000000;
inline constexpr uint32_t kUpgradeBatchHidden = 0x10000000;
inline constexpr uint32_t kReinstallBatchHidden = 0x20000000;
}  // namespace product_flags_high

namespace product_flags2 {
// Without it the reinstall batch also runs over an installation of another
// version.
inline constexpr uint32_t kReinstallBatchOnlySameVersion = 0x1;
// A System Restore point brackets the installation.
inline constexpr uint32_t kRestorePoint = 0x2;
inline constexpr uint32_t kLaunchChecked = 0x4;
inline constexpr uint32_t kOpenDocumentChecked = 0x8;
inline constexpr uint32_t kOpenSecondChecked = 0x10;
// The uninstaller image is the installer without its payload section.
inline constexpr uint32_t kStripPayload = 0x20;
inline constexpr uint32_t kCapturePreInstallBatch = 0x40;
inline constexpr uint32_t kCapturePostInstallBatch = 0x80;
inline constexpr uint32_t kCaptureUpgradeBatch = 0x100;
inline constexpr uint32_t kCaptureReinstallBatch = 0x200;
// Cleared on systems older than Vista and Server 2003 and under Wine.
inline constexpr uint32_t kButtonImages = 0x400;
// A portable installation shows no start-menu page.
inline constexpr uint32_t kNoStartMenuPageWhenPortable = 0x800;
// The script block and the archive chunks are enciphered with the header's
// key; without it the script block is scrambled with its checksum instead.
inline constexpr uint32_t kEnciphered = 0x1000;
inline constexpr uint32_t kRemoveInstallFolderValue = 0x2000;
inline constexpr uint32_t kNoRegistryWhenPortable = 0x8000;
inline constexpr uint32_t kNoAssociationsWhenPortable = 0x20000;
inline constexpr uint32_t kUninstallCompletionMessage = 0x40000;
inline constexpr uint32_t kNoFirewallWhenPortable = 0x80000;
inline constexpr uint32_t kLaunchDirectly = 0x100000;
inline constexpr uint32_t kUninstallerShortcutInInstallFolder = 0x200000;
inline constexpr uint32_t kShowDiskSpace = 0x400000;
}  // namespace product_flags2

}  // namespace palisade::format
