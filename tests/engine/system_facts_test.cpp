#include <gtest/gtest.h>

#include "core/system_facts.h"

namespace ts {
namespace {

using namespace system_bit;

SystemRecord Nt(unsigned major, unsigned minor, unsigned build, unsigned productType = kWorkstation,
                unsigned edition = 0) {
  SystemRecord record;
  record.major = major;
  record.minor = minor;
  record.build = build;
  record.productType = productType;
  record.edition = edition;
  return record;
}

SystemRecord Windows9x(unsigned minor, unsigned build, unsigned major = 4) {
  SystemRecord record = Nt(major, minor, build);
  record.platform = kPlatform9x;
  return record;
}

SystemRecord WithSuite(SystemRecord record, unsigned suite) {
  record.suite = suite;
  return record;
}

SystemRecord OnWine(SystemRecord record) {
  record.underWine = true;
  record.wineVersion = "8.0";
  return record;
}

SystemRecord On64Bit(SystemRecord record) {
  record.is64Bit = true;
  return record;
}

struct BitCase {
  const char* system;
  SystemRecord record;
  uint32_t bit;
};

TEST(SystemBit, OneBitPerSystem) {
  SystemRecord win32s = Nt(3, 10, 0);
  win32s.platform = kPlatformWin32s;
  SystemRecord unknownPlatform = Nt(10, 0, 19045);
  unknownPlatform.platform = 3;
  const BitCase cases[] = {
      {"Win32s", win32s, kWin32s},
      {"Windows 95", Windows9x(0, 950), kWindows95},
      {"9x minor 9", Windows9x(9, 950), kWindows95},
      {"Windows 98", Windows9x(10, 1998), kWindows98},
      {"9x minor 89", Windows9x(89, 2222), kWindows98},
      {"Windows Me", Windows9x(90, 3000), kWindowsMe},
      {"9x version 5", Windows9x(0, 1000, 5), kOther},
      {"NT 3.51", Nt(3, 51, 1057), kNt3},
      {"NT 4", Nt(4, 0, 1381), kNt4},
      {"2000", Nt(5, 0, 2195), kWindows2000},
      {"2000 Server", Nt(5, 0, 2195, kServer), kWindows2000},
      {"XP", Nt(5, 1, 2600), kXp},
      {"XP x64", Nt(5, 2, 3790), kXp},
      {"Server 2003", Nt(5, 2, 3790, kServer), kServer2003},
      {"Server 2003 domain controller", Nt(5, 2, 3790, kDomainController), kServer2003},
      {"NT 5.3", Nt(5, 3, 0), kOther},
      {"Vista", Nt(6, 0, 6002), kVista},
      {"Server 2008", Nt(6, 0, 6002, kServer), kServer2008},
      {"7", Nt(6, 1, 7601), kWindows7},
      {"Server 2008 R2", Nt(6, 1, 7601, kServer), kServer2008},
      {"8", Nt(6, 2, 9200), kWindows8},
      {"Server 2012", Nt(6, 2, 9200, kDomainController), kServer2012},
      {"8.1", Nt(6, 3, 9600), kWindows8},
      {"Server 2012 R2", Nt(6, 3, 9600, kServer), kServer2012},
      {"6.4 workstation", Nt(6, 4, 9841), kWindows10},
      {"6.4 server", Nt(6, 4, 9841, kServer), kWindows10},
      {"NT 6.5", Nt(6, 5, 0), kOther},
      {"10", Nt(10, 0, 19045), kWindows10},
      {"11", Nt(10, 0, 22631), kWindows10},
      {"Server 2016", Nt(10, 0, 14393, kServer), kServer2016},
      {"10.0 server build 17732", Nt(10, 0, 17732, kServer), kServer2016},
      {"10.0 server build 17733", Nt(10, 0, 17733, kServer), kServer2019},
      {"Server 2019", Nt(10, 0, 17763, kServer), kServer2019},
      {"Server 2022", Nt(10, 0, 20348, kDomainController), kServer2019},
      {"NT 10.1", Nt(10, 1, 0), kOther},
      {"NT 7.0", Nt(7, 0, 0), kOther},
      {"NT 11.0", Nt(11, 0, 0), kOther},
      {"unknown platform", unknownPlatform, kOther},
      {"WINE reporting 7", OnWine(Nt(6, 1, 7601)), kWindows7 | kWine},
      {"WINE reporting Windows 95", OnWine(Windows9x(0, 950)), kWindows95 | kWine},
      {"WINE reporting NT 7.0", OnWine(Nt(7, 0, 0)), kOther | kWine},
  };
  for (const BitCase& c : cases) EXPECT_EQ(SystemBit(c.record), c.bit) << c.system;
}

struct NameCase {
  SystemRecord record;
  const wchar_t* description;  // form 0
  const wchar_t* name;         // forms 2 and 3
  const wchar_t* shortName;    // form 4
};

TEST(SystemName, VersionAndEditionInEachForm) {
  SystemRecord xp = Nt(5, 1, 2600);
  SystemRecord mediaCenter = xp;
  mediaCenter.mediaCenter = true;
  SystemRecord tabletPc = xp;
  tabletPc.tabletPc = true;
  SystemRecord starter = WithSuite(xp, VER_SUITE_PERSONAL);
  starter.starter = true;
  SystemRecord server2003 = Nt(5, 2, 3790, kServer);
  SystemRecord server2003R2 = WithSuite(server2003, VER_SUITE_ENTERPRISE);
  server2003R2.serverR2 = true;
  SystemRecord storageServer = WithSuite(server2003, VER_SUITE_STORAGE_SERVER);
  storageServer.serverR2 = true;
  SystemRecord win32s = Nt(3, 10, 0);
  win32s.platform = kPlatformWin32s;
  const NameCase cases[] = {
      {Windows9x(0, 950), L"Windows 95", L"Windows 95", L"95"},
      {Windows9x(0, 1111), L"Windows 95 OSR2", L"Windows 95 OSR2", L"95 OSR2"},
      {Windows9x(10, 1998), L"Windows 98", L"Windows 98", L"98"},
      {Windows9x(10, 2222), L"Windows 98 SE", L"Windows 98 SE", L"98 SE"},
      {Windows9x(90, 3000), L"Windows ME", L"Windows ME", L"ME"},
      {Windows9x(0, 1000, 5), L"Windows 9x 5.0", L"Windows 9x 5.0", L"9x 5.0"},
      {win32s, L"Windows 3.10", L"Windows 3.10", L"3.10"},
      {Nt(3, 51, 1057), L"Windows NT 3.51", L"Windows NT 3.51", L"NT 3.51"},
      {Nt(4, 0, 1381, kServer), L"Windows NT 4.0", L"Windows NT 4.0", L"NT 4.0"},
      {Nt(5, 0, 2195), L"Windows 2000 Professional", L"Windows 2000", L"2000"},
      {Nt(5, 0, 2195, kServer), L"Windows 2000 Server", L"Windows 2000", L"2000"},
      {WithSuite(Nt(5, 0, 2195, kServer), VER_SUITE_ENTERPRISE), L"Windows 2000 Advanced Server", L"Windows 2000",
       L"2000"},
      {WithSuite(Nt(5, 0, 2195, kDomainController), VER_SUITE_DATACENTER | VER_SUITE_ENTERPRISE),
       L"Windows 2000 Datacenter Server", L"Windows 2000", L"2000"},
      {xp, L"Windows XP Professional", L"Windows XP", L"XP"},
      {WithSuite(xp, VER_SUITE_PERSONAL), L"Windows XP Home", L"Windows XP", L"XP"},
      {mediaCenter, L"Windows XP Media Center", L"Windows XP", L"XP"},
      {starter, L"Windows XP Starter", L"Windows XP", L"XP"},
      {tabletPc, L"Windows XP Tablet PC", L"Windows XP", L"XP"},
      {WithSuite(xp, VER_SUITE_EMBEDDEDNT), L"Windows XP Embedded", L"Windows XP", L"XP"},
      {On64Bit(Nt(5, 2, 3790)), L"Windows XP x64 Professional", L"Windows XP x64", L"XP x64"},
      {server2003, L"Windows Server 2003", L"Windows Server 2003", L"Server 2003"},
      {WithSuite(server2003, VER_SUITE_BLADE), L"Windows Server 2003 Web", L"Windows Server 2003", L"Server 2003"},
      {WithSuite(server2003, VER_SUITE_COMPUTE_SERVER), L"Windows Server 2003 Compute Cluster",
       L"Windows Server 2003", L"Server 2003"},
      {WithSuite(server2003, VER_SUITE_ENTERPRISE | VER_SUITE_DATACENTER), L"Windows Server 2003 Datacenter",
       L"Windows Server 2003", L"Server 2003"},
      {server2003R2, L"Windows Server 2003 R2 Enterprise", L"Windows Server 2003 R2", L"Server 2003 R2"},
      {On64Bit(server2003), L"Windows Server 2003 x64", L"Windows Server 2003 x64", L"Server 2003 x64"},
      {storageServer, L"Windows Storage Server 2003 R2", L"Windows Storage Server 2003 R2", L"Storage Server 2003 R2"},
      {WithSuite(server2003, VER_SUITE_WH_SERVER), L"Windows Home Server", L"Windows Home Server", L"Home Server"},
      {Nt(5, 3, 0), L"Windows NT 5.3", L"Windows NT 5.3", L"NT 5.3"},
      {Nt(6, 0, 6002, kWorkstation, PRODUCT_HOME_PREMIUM), L"Windows Vista Home Premium", L"Windows Vista", L"Vista"},
      {Nt(6, 0, 6002, kWorkstation, PRODUCT_BUSINESS_N), L"Windows Vista Business N", L"Windows Vista", L"Vista"},
      {Nt(6, 0, 6002, kServer, PRODUCT_DATACENTER_SERVER_CORE),
       L"Windows Server 2008 Server Datacenter (core installation)", L"Windows Server 2008", L"Server 2008"},
      {Nt(6, 1, 7601, kWorkstation, PRODUCT_PROFESSIONAL), L"Windows 7 Professional", L"Windows 7", L"7"},
      {Nt(6, 1, 7601, kServer, PRODUCT_STANDARD_SERVER_V), L"Windows Server 2008 R2 Server Standard without Hyper-V",
       L"Windows Server 2008 R2", L"Server 2008 R2"},
      {Nt(6, 1, 7601, kServer, PRODUCT_HOME_PREMIUM_SERVER), L"Windows Home Server 2011 Home Server",
       L"Windows Home Server 2011", L"Home Server 2011"},
      {Nt(6, 1, 7601, kServer, PRODUCT_HYPERV), L"Windows Server 2008 R2 Hyper-V Server", L"Windows Server 2008 R2",
       L"Server 2008 R2"},
      {Nt(6, 2, 9200, kWorkstation, PRODUCT_CORE), L"Windows 8 Home", L"Windows 8", L"8"},
      {Nt(6, 2, 9200, kServer, PRODUCT_MULTIPOINT_PREMIUM_SERVER), L"Windows Server 2012 MultiPoint Server Premium",
       L"Windows Server 2012", L"Server 2012"},
      {Nt(6, 3, 9600, kWorkstation, PRODUCT_ENTERPRISE), L"Windows 8.1 Enterprise", L"Windows 8.1", L"8.1"},
      {Nt(6, 3, 9600, kServer, PRODUCT_DATACENTER_SERVER), L"Windows Server 2012 R2 Server Datacenter",
       L"Windows Server 2012 R2", L"Server 2012 R2"},
      {Nt(6, 4, 9841, kWorkstation, PRODUCT_PROFESSIONAL), L"Windows 10 alpha Professional", L"Windows 10 alpha",
       L"10 alpha"},
      {Nt(6, 5, 0), L"Windows NT 6.5", L"Windows NT 6.5", L"NT 6.5"},
      {Nt(10, 0, 19045, kWorkstation, PRODUCT_PROFESSIONAL), L"Windows 10 Professional", L"Windows 10", L"10"},
      {Nt(10, 0, 19045, kWorkstation, PRODUCT_EDUCATION_N), L"Windows 10 Education N", L"Windows 10", L"10"},
      {Nt(10, 0, 14393, kServer, PRODUCT_STANDARD_SERVER), L"Windows Server 2016 Server Standard",
       L"Windows Server 2016", L"Server 2016"},
      {Nt(10, 0, 17763, kServer, PRODUCT_DATACENTER_SERVER), L"Windows Server 2019 Server Datacenter",
       L"Windows Server 2019", L"Server 2019"},
      {Nt(10, 0, 19045, kWorkstation, 0x12345), L"Windows 10", L"Windows 10", L"10"},
      {Nt(11, 0, 0), L"Windows 11.0", L"Windows 11.0", L"11.0"},
      {OnWine(Nt(6, 1, 7601, kWorkstation, PRODUCT_ULTIMATE_N)), L"WINE 8.0 reporting as Windows 7 Ultimate N",
       L"WINE 8.0 reporting as Windows 7", L"7"},
      {OnWine(Windows9x(10, 2222)), L"WINE 8.0 reporting as Windows 98 SE", L"WINE 8.0 reporting as Windows 98 SE",
       L"98 SE"},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(SystemName(c.record, system_name::kDescription), c.description);
    EXPECT_EQ(SystemName(c.record, system_name::kWithoutEdition), c.name) << c.description;
    EXPECT_EQ(SystemName(c.record, system_name::kForMessages), c.name) << c.description;
    EXPECT_EQ(SystemName(c.record, system_name::kShort), c.shortName) << c.description;
  }
}

struct TextCase {
  WText given;
  WText expected;
};

TEST(BootDriveFrom, TheLetterOfTheBootFolderElseC) {
  const TextCase cases[] = {
      {L"d:\\", L"D:"}, {L"C:\\", L"C:"}, {L"e:", L"E:"},  {L"", L"C:"},
      {L"\\\\server\\boot", L"C:"}, {L"1:\\", L"C:"}, {L"x", L"C:"}, {L"\u00e9:\\", L"C:"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(BootDriveFrom(c.given), c.expected) << c.given.c_str();
}

TEST(DriveOf, ALetterAndAColonOrNothing) {
  const TextCase cases[] = {
      {L"C:\\Program Files", L"C:"}, {L"d:", L"d:"}, {L"\\\\server\\share\\x", L""},
      {L"relative\\x", L""},         {L"", L""},     {L"1:\\x", L""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(DriveOf(c.given), c.expected) << c.given.c_str();
}

TEST(DriverFolderFrom, FirstListedFolderWithTheSystemRootExpanded) {
  WText systemRoot(MAX_PATH, L'\0');
  systemRoot.resize(GetEnvironmentVariableW(L"SystemRoot", systemRoot.data(), MAX_PATH));
  ASSERT_FALSE(systemRoot.empty());
  const TextCase cases[] = {
      {L"", L"W:\\Win\\INF"},
      {L";D:\\Drivers", L"W:\\Win\\INF"},
      {L"D:\\Drivers\\;E:\\More", L"D:\\Drivers"},
      {L"D:\\Drivers", L"D:\\Drivers"},
      {L"%SystemRoot%\\inf", systemRoot + L"\\inf"},
      {L"%systemroot%\\inf;%SystemRoot%\\more", systemRoot + L"\\inf"},
      {L"%TEMP%\\inf", L"%TEMP%\\inf"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(DriverFolderFrom(c.given, L"W:\\Win"), c.expected) << c.given.c_str();
}

TEST(WebServerFolderFrom, TheParentOfTheWebRoot) {
  WText systemDrive(MAX_PATH, L'\0');
  systemDrive.resize(GetEnvironmentVariableW(L"SystemDrive", systemDrive.data(), MAX_PATH));
  ASSERT_FALSE(systemDrive.empty());
  const TextCase cases[] = {
      {L"c:\\Inetpub\\wwwroot", L"c:\\Inetpub"},
      {L"D:\\Web\\Root\\", L"D:\\Web"},
      {L"%SystemDrive%\\inetpub\\wwwroot", systemDrive + L"\\inetpub"},
      {L"c:\\wwwroot", L"c:"},
      {L"wwwroot", L"wwwroot"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(WebServerFolderFrom(c.given), c.expected) << c.given.c_str();
}

TEST(IsPortableDriveType, RemovableCdRomAndRamDiskTravel) {
  const std::pair<UINT, bool> cases[] = {
      {DRIVE_REMOVABLE, true}, {DRIVE_CDROM, true},  {DRIVE_RAMDISK, true},     {DRIVE_FIXED, false},
      {DRIVE_REMOTE, false},   {DRIVE_UNKNOWN, false}, {DRIVE_NO_ROOT_DIR, false},
  };
  for (const auto& [type, portable] : cases) EXPECT_EQ(IsPortableDriveType(type), portable) << type;
}

TEST(IsPortableFolder, FixedDrivesAndFoldersWithoutALetterDoNotTravel) {
  EXPECT_FALSE(IsPortableFolder(WindowsFolder() + L"\\Acme"));
  EXPECT_FALSE(IsPortableFolder(L"\\\\server\\share\\Acme"));
  EXPECT_FALSE(IsPortableFolder(L"Acme"));
  EXPECT_FALSE(IsPortableFolder(L""));
}

// The recorded folders are what the installer falls back on when the shell
// cannot tell: each must be the folder that the shell names.
TEST(RecordedSpecialFolder, IsTheFolderThatTheShellNames) {
  const SpecialFolderId folders[] = {
      SpecialFolderId::kAppDataAll,   SpecialFolderId::kAppData,     SpecialFolderId::kDesktopAll,
      SpecialFolderId::kDesktop,      SpecialFolderId::kDocumentsAll, SpecialFolderId::kDocuments,
      SpecialFolderId::kFavoritesAll, SpecialFolderId::kFavorites,   SpecialFolderId::kFonts,
      SpecialFolderId::kProgramsAll,  SpecialFolderId::kPrograms,    SpecialFolderId::kStartMenuAll,
      SpecialFolderId::kStartMenu,    SpecialFolderId::kStartupAll,  SpecialFolderId::kStartup,
  };
  for (SpecialFolderId folder : folders) {
    WText recorded = RecordedSpecialFolder(folder);
    EXPECT_FALSE(recorded.empty()) << static_cast<int>(folder);
    EXPECT_EQ(recorded, SpecialFolder(folder)) << static_cast<int>(folder);
  }
}

}  // namespace
}  // namespace ts
