#pragma once
// Facts about the running Windows, gathered once and then only read, and the
// folders where the system keeps what an installation touches.
#include <windows.h>

#include <cstdint>

#include "core/ts_text.h"

namespace ts {

enum SystemPlatform : unsigned { kPlatformWin32s = 0, kPlatform9x = 1, kPlatformNt = 2 };
enum SystemProductType : unsigned { kWorkstation = 1, kDomainController = 2, kServer = 3 };

struct SystemRecord {
  unsigned platform = kPlatformNt;
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
  unsigned productType = kWorkstation;
  // VER_SUITE_* bits: with the four marks below they tell the editions of
  // 2000, XP and Server 2003, which have no edition number.
  unsigned suite = 0;
  bool mediaCenter = false;
  bool starter = false;
  bool tabletPc = false;
  bool serverR2 = false;
  unsigned edition = 0;  // GetProductInfo's product type; 0 before Vista
  bool is64Bit = false;  // the operating system, not this process
  bool underWine = false;
  Text wineVersion;

  bool IsServer() const { return productType != kWorkstation; }
};

// One bit per system, for the scripts' excluded-systems mask and %OS%.
namespace system_bit {
inline constexpr uint32_t kOther = 0x1;
inline constexpr uint32_t kWin32s = 0x2;
inline constexpr uint32_t kWindows95 = 0x4;
inline constexpr uint32_t kWindows98 = 0x8;
inline constexpr uint32_t kWindowsMe = 0x10;
inline constexpr uint32_t kNt3 = 0x20;
inline constexpr uint32_t kNt4 = 0x40;
inline constexpr uint32_t kWindows2000 = 0x80;
inline constexpr uint32_t kXp = 0x100;  // with 5.2 workstation (XP x64)
inline constexpr uint32_t kServer2003 = 0x200;
inline constexpr uint32_t kVista = 0x400;
inline constexpr uint32_t kServer2008 = 0x800;  // with Server 2008 R2
inline constexpr uint32_t kWindows7 = 0x1000;
inline constexpr uint32_t kWindows8 = 0x2000;       // with 8.1
inline constexpr uint32_t kServer2012 = 0x4000;     // with 2012 R2
inline constexpr uint32_t kWindows10 = 0x8000;      // with 6.4 and 11
inline constexpr uint32_t kServer2016 = 0x10000;    // 10.0 server before build 17733
inline constexpr uint32_t kServer2019 = 0x20000;    // 10.0 server from build 17733
inline constexpr uint32_t kWine = 0x40000;          // added to the system's own bit
}  // namespace system_bit

// Forms of the system's name: bits that leave parts out.
namespace system_name {
inline constexpr unsigned kWithoutEdition = 0x2;
inline constexpr unsigned kShort = 0x4;  // no "Windows ", no WINE prefix, no edition
inline constexpr unsigned kDescription = 0;     // %OSDescription%
inline constexpr unsigned kForMessages = 0x3;   // the "<os>" tag and the excluded-system message
}  // namespace system_name

const SystemRecord& System();
uint32_t SystemBit(const SystemRecord& record);
uint32_t SystemBit();
// "WINE 8.0 reporting as Windows 7 Ultimate N" (form 0), "WINE 8.0
// reporting as Windows 7" (form 3), "7" (form 4).
WText SystemName(const SystemRecord& record, unsigned form);
WText SystemName(unsigned form);
bool IsAtLeastServer2003OrVista();

enum class SpecialFolderId {
  kAppDataAll, kAppData,
  kDesktopAll, kDesktop,
  kDocumentsAll, kDocuments,
  kFavoritesAll, kFavorites,
  kFonts,
  kProgramsAll, kPrograms,
  kStartMenuAll, kStartMenu,
  kStartupAll, kStartup,
};
// The shell's folder, else the recorded one; without a trailing backslash;
// empty when neither knows it.
WText SpecialFolder(SpecialFolderId which);
// The folder as recorded under "Shell Folders", for the machine or for the
// user as the folder is; empty when it is not recorded.
WText RecordedSpecialFolder(SpecialFolderId which);

// On a 32-bit system both kinds are the one folder.
enum class FolderKind { k32Bit = 1, k64Bit = 2 };
WText ProgramFilesFolder(FolderKind kind);
WText CommonFilesFolder(FolderKind kind);

WText WindowsFolder();
// The profile of the user the process runs as ("C:\Users\Alice"); empty
// when the shell does not know it.
WText UserProfileFolder();
WText TempFolder();
WText DriverFolder();     // where the system looks for driver packages
WText MediaFolder();      // the system's sounds
WText WebServerFolder();  // the parent of the web server's root
WText BootDrive();        // "C:"

// The drive letter and colon that begin a path; empty for a path without.
WText DriveOf(const WText& path);

// Whether a folder lies on a drive that travels: removable, CD-ROM or RAM
// disk. A folder without a drive letter never does.
bool IsPortableFolder(const WText& folder);

// The decisions behind the folders above, from values already read.
WText DriverFolderFrom(const WText& devicePath, const WText& windowsFolder);
WText WebServerFolderFrom(const WText& webRoot);
WText BootDriveFrom(const WText& bootDir);
bool IsPortableDriveType(UINT driveType);

// Turns off the redirection that 64-bit Windows applies to this 32-bit
// thread's file accesses, until RestoreFileSystemRedirection. True on a
// system without redirection, where there is nothing to turn off.
bool DisableFileSystemRedirection();
// Turns the redirection on again after DisableFileSystemRedirection; nothing
// when it was not turned off.
void RestoreFileSystemRedirection();

}  // namespace ts
