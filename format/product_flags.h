#pragma once
// The product option bits that shape how the payload and the script are
// read. `ProductFlags` is 64 bits stored as a low and a high 32-bit word at
// the head of the script; `ProductFlags2` is the payload header's 32-bit word.
// Bits that only one action tests are named beside that action.
#include <cstdint>

namespace palisade::format {

namespace product_flags_low {
// The script carries its optional blob (field 56); the earlier installation's
// registration is read and shared-file reference counts are kept.
inline constexpr uint32_t kPreviousInstallation = 0x4;
inline constexpr uint32_t kGreetingInAutomaticMode = 0x8;
inline constexpr uint32_t kArchiveCompressed = 0x20;
inline constexpr uint32_t kFolderPage = 0x80;
inline constexpr uint32_t kSingleInstance = 0x100;
inline constexpr uint32_t kUninstallAutomatic = 0x200;
// A restart is offered (or, in automatic mode, made) at the end.
inline constexpr uint32_t kRestartQuestion = 0x4000;
// The script carries the master-product texts and the master check runs.
inline constexpr uint32_t kMasterProduct = 0x10000;
inline constexpr uint32_t kNoBackgroundWindow = 0x20000000;
}  // namespace product_flags_low

namespace product_flags_high {
inline constexpr uint32_t kVerifyStub = 0x1;
inline constexpr uint32_t kStartMenuPage = 0x4;
inline constexpr uint32_t kErrorsInAutomaticMode = 0x8;
inline constexpr uint32_t kProgressPageOption = 0x100;
// In automatic mode the restart question is still asked.
inline constexpr uint32_t kAskRestartInAutomaticMode = 0x200;
inline constexpr uint32_t kNoGreeting = 0x800;
// Message boxes and pages carry the product's icons.
inline constexpr uint32_t kIconsOnDialogs = 0x100000;
inline constexpr uint32_t kDesktopFolderIsProductName = 0x4000000;
}  // namespace product_flags_high

namespace product_flags2 {
// The uninstaller image is the installer without its payload section.
// A System Restore point brackets the installation.
inline constexpr uint32_t kRestorePoint = 0x2;
inline constexpr uint32_t kStripPayload = 0x20;
// A portable installation shows no start-menu page.
inline constexpr uint32_t kNoStartMenuPageWhenPortable = 0x800;
// Cleared on systems older than Vista and Server 2003 and under Wine.
inline constexpr uint32_t kButtonImages = 0x400;
// The script block and the archive chunks are enciphered with the header's
// key; without it the script block is scrambled with its checksum instead.
inline constexpr uint32_t kEnciphered = 0x1000;
}  // namespace product_flags2

}  // namespace palisade::format
