// Component registration: the texts and checks that decide what is
// registered and what the uninstall record keeps, and the undoing of
// packages and driver copies against the Wine prefix the tests run in.
#include <gtest/gtest.h>

#include <windows.h>

#include "actions/applets.h"
#include "actions/drivers.h"
#include "actions/install_log.h"
#include "actions/msi_packages.h"
#include "core/system_facts.h"
#include "core/ts_registry.h"
#include "record/uninstall_record.h"
#include "uninstall/undo_components.h"

namespace palisade {
namespace {

struct AppletNameCase {
  const char* name;
  const wchar_t* path;
  const wchar_t* stored;
  const wchar_t* shown;
};

TEST(Applets, NameIsTheStoredOneOrTheFileNameWithoutExtension) {
  const AppletNameCase cases[] = {
      {"stored name", L"C:\\P\\acme.cpl", L"Acme Settings", L"Acme Settings"},
      {"file name", L"C:\\P\\Acme Tools.cpl", L"", L"Acme Tools"},
      {"only the last extension goes", L"C:\\P\\acme.v2.cpl", L"", L"acme.v2"},
      {"no extension", L"C:\\P\\acme", L"", L"acme"},
      {"nothing but an extension", L"C:\\P\\.cpl", L"", L""},
  };
  for (const AppletNameCase& c : cases) {
    EXPECT_EQ(AppletName({c.path, c.stored, L"", L""}), c.shown) << c.name;
  }
}

TEST(Applets, OnlyABracedGuidIsAClassIdentifier) {
  EXPECT_TRUE(IsClassIdentifier(L"{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}"));
  EXPECT_TRUE(IsClassIdentifier(L"{1b2c3d4e-5f60-4718-a9b0-c1d2e3f4a5b6}"));
  for (const wchar_t* text : {L"", L"1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6", L"{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B}",
                              L"{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}x", L"{1B2C3D4E+5F60-4718-A9B0-C1D2E3F4A5B6}",
                              L"{1B2C3D4G-5F60-4718-A9B0-C1D2E3F4A5B6}", L"{..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..}"}) {
    EXPECT_FALSE(IsClassIdentifier(text)) << ts::Utf8FromWide(text);
  }
}

TEST(Applets, CommandQuotesThePathAndAddsArgumentsWhenThereAreAny) {
  EXPECT_EQ(AppletCommand({L"C:\\P Q\\a.cpl", L"", L"", L""}), L"\"C:\\P Q\\a.cpl\"");
  EXPECT_EQ(AppletCommand({L"C:\\P Q\\a.cpl", L"", L"-page 2", L""}), L"\"C:\\P Q\\a.cpl\" -page 2");
}

// The uninstaller deletes a recorded class key with all that is in it, so
// a class that was there before the applet is not recorded; the keys that
// the installation made are.
TEST(Applets, OnlyTheKeysThatTheRegistrationMadeAreRecorded) {
  constexpr wchar_t kExisting[] = L"{7A3F2C10-5B4E-4D2A-9C61-2E8F0B1D4A77}";
  constexpr wchar_t kFresh[] = L"{7A3F2C10-5B4E-4D2A-9C61-2E8F0B1D4A78}";
  const ts::WText classes = L"Software\\Classes\\CLSID\\";
  const ts::WText nameSpace = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\";
  {
    ts::RegistryKey existing;
    ASSERT_EQ(existing.Create(HKEY_LOCAL_MACHINE, classes + kExisting, KEY_WRITE | KEY_WOW64_64KEY), ERROR_SUCCESS);
  }
  UninstallRecord saved = g_uninstallRecord;
  g_uninstallRecord = UninstallRecord{};
  RegisterApplet({L"C:\\Acme\\old.cpl", L"Old", L"", kExisting});
  RegisterApplet({L"C:\\Acme\\new.cpl", L"New", L"", kFresh});
  EXPECT_EQ(g_uninstallRecord.entries,
            ts::Utf8FromWide(L"*\\HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\" +
                             ts::WText(kExisting) + L"\r\n*\\HKLM\\Software\\Classes\\CLSID\\" + kFresh +
                             L"\r\n*\\HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\" +
                             kFresh + L"\r\n"));
  g_uninstallRecord = saved;
  for (const wchar_t* id : {kExisting, kFresh}) {
    ts::DeleteKeyTree(HKEY_LOCAL_MACHINE, classes + id, KEY_WOW64_64KEY);
    ts::DeleteKeyTree(HKEY_LOCAL_MACHINE, nameSpace + id, KEY_WOW64_64KEY);
  }
}

// "[MSI]" lines as the uninstall record stores them, written out by hand.
TEST(PackageLines, AreWrittenAndReadInTheRecordsForm) {
  EXPECT_EQ(PackageLine({L"C:\\P\\acme.msi", 3}), "\"C:\\P\\acme.msi\",3");
  EXPECT_EQ(PackageLine({L"C:\\P\\caf\u00E9.msi", 2}), "\"|C:\\P\\caf\xC3\xA9.msi\",2");

  RecordedPackage package;
  ASSERT_TRUE(ParsePackageLine("\"|C:\\P\\caf\xC3\xA9.msi\",5", package));
  EXPECT_EQ(package.path, L"C:\\P\\caf\u00E9.msi");
  EXPECT_EQ(package.uiLevel, 5);
  for (const char* damaged : {"", "\"C:\\P\\a.msi\"", "\"C:\\P\\a.msi\",", "\"C:\\P\\a.msi\",x", "\"C:\\P\\a.msi\",2,3",
                              "\"\",2", "\"C:\\P\\a.msi\",2x"}) {
    EXPECT_FALSE(ParsePackageLine(damaged, package)) << damaged;
  }
}

// The "[MSI]" line of this version, assembled by hand.
TEST(PackageLines, CarryTheProductCodeAfterTheLevel) {
  const std::string line = std::string("\"|C:\\P\\caf\xC3\xA9.msi\"")  // the package's path, stored form, quoted
                           + ",5"                                         // the interface level for its removal
                           + ",{8D4B5E0F-6A7C-4D94-AEBF-2A3B4C5D6E7F}";  // the product code read from the package
  EXPECT_EQ(PackageLine({L"C:\\P\\caf\u00E9.msi", 5, L"{8D4B5E0F-6A7C-4D94-AEBF-2A3B4C5D6E7F}"}), line);

  RecordedPackage package{L"stale", 1, L"{00000000-0000-0000-0000-000000000000}"};
  ASSERT_TRUE(ParsePackageLine(line, package));
  EXPECT_EQ(package.path, L"C:\\P\\caf\u00E9.msi");
  EXPECT_EQ(package.uiLevel, 5);
  EXPECT_EQ(package.productCode, L"{8D4B5E0F-6A7C-4D94-AEBF-2A3B4C5D6E7F}");
  ASSERT_TRUE(ParsePackageLine("\"C:\\P\\a.msi\",2", package)) << "a line of an older installation";
  EXPECT_EQ(package.productCode, L"");
  for (const char* damaged : {"\"C:\\P\\a.msi\",2,", "\"C:\\P\\a.msi\",2,8D4B5E0F-6A7C-4D94-AEBF-2A3B4C5D6E7F",
                              "\"C:\\P\\a.msi\",2,{8D4B5E0F-6A7C-4D94-AEBF-2A3B4C5D6E7F},x"}) {
    EXPECT_FALSE(ParsePackageLine(damaged, package)) << damaged;
  }
}

TEST(PackageLines, ResultTextNamesTheCodeOfAFailure) {
  EXPECT_EQ(PackageResultText(ERROR_SUCCESS, L"ignored"), L"OK\r\n");
  EXPECT_EQ(PackageResultText(3010, L"A restart is required."), L"FAILED code 3010: A restart is required.\r\n")
      << "a package that asks for a restart has not finished";
}

TEST(DriverPackages, FailureTextGivesTheCodeInHexadecimal) {
  EXPECT_EQ(DriverFailureText(2, L"File not found."), L"FAILED!  Code 0x00000002: File not found.\r\n");
  EXPECT_EQ(DriverFailureText(kUnsignedDriverError, L""),
            L"FAILED!  Code 0xE000022F: The INF does not contain digital signature information.\r\n");
  EXPECT_EQ(DriverFailureText(kUnsignedDriverError, L"The system's text."),
            L"FAILED!  Code 0xE000022F: The system's text.\r\n");
  EXPECT_EQ(DriverFailureText(0xE0000100, L""), L"FAILED!  Code 0xE0000100: \r\n");
}

TEST(DriverPackages, OnlyTheSystemsNamesOfCopiesAreRemovable) {
  for (const wchar_t* name : {L"oem0.inf", L"OEM12.INF", L"oem123456.inf"}) {
    EXPECT_TRUE(IsOemInfName(name)) << ts::Utf8FromWide(name);
  }
  for (const wchar_t* name : {L"", L"oem.inf", L"machine.inf", L"oem1.pnf", L"oem1x.inf", L"..\\oem1.inf",
                              L"oem1.inf\\x", L"xoem1.inf"}) {
    EXPECT_FALSE(IsOemInfName(name)) << ts::Utf8FromWide(name);
  }
}

// `ProductFonts` as the registration writes it, by hand.
TEST(FontList, PairsFaceAndFileAndDropsAFaceWithoutFile) {
  auto fonts = ParseFontList(L"\"Acme Sans\" \"acme.ttf\" \"Caf\u00E9 Serif\" \"cafe.ttf\" \"Lone\" ");
  ASSERT_EQ(fonts.size(), 2u);
  EXPECT_EQ(fonts[0].first, L"Acme Sans");
  EXPECT_EQ(fonts[0].second, L"acme.ttf");
  EXPECT_EQ(fonts[1].first, L"Caf\u00E9 Serif");
  EXPECT_EQ(fonts[1].second, L"cafe.ttf");
  EXPECT_TRUE(ParseFontList(L"").empty());
  EXPECT_TRUE(ParseFontList(L"\"Acme Sans\" \"acme.ttf").empty()) << "a file name that is never closed is no pair";
}

TEST(UndoComponents, APackageThatCannotBeRemovedIsReportedAndStaysListed) {
  g_uninstallRecord.packages = "\"C:\\gone\\other.msi\",2\r\n";
  size_t failuresBefore = FailureSummary().size();
  ts::Vector<ts::Text> packages;
  packages.Add("\"C:\\nowhere\\acme.msi\",2");
  EXPECT_EQ(RemovePackages(packages), std::vector<ts::WText>{L"C:\\nowhere\\acme.msi"});
  EXPECT_EQ(g_uninstallRecord.packages, "\"C:\\nowhere\\acme.msi\",2\r\n")
      << "only the package that stays is written back";
  std::string added = FailureSummary().substr(failuresBefore);
  EXPECT_EQ(added.rfind("Failed to uninstall C:\\nowhere\\acme.msi, code ", 0), 0u) << added;
  g_uninstallRecord.packages.clear();
}

// Wine names a driver store copy after the package it came from, and says
// that that is its original name: "oem4711.inf" below stands for a copy
// made from the product's "oem4711.inf", "oem4712.inf" for one that the
// product never installed.
TEST(UndoComponents, DriverCopiesOfTheProductsOwnPackagesAreRemovedAndNoOtherInf) {
  constexpr char kInf[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=System\r\n";
  ts::WText infFolder = ts::WindowsFolder() + L"\\inf\\";
  ts::WText copy = infFolder + L"oem4711.inf";
  ts::WText foreign = infFolder + L"oem4712.inf";
  ts::WText systemInf = infFolder + L"palisade_system.inf";
  for (const ts::WText& path : {copy, foreign, systemInf}) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, kInf, sizeof(kInf) - 1, &written, nullptr);
    CloseHandle(file);
  }
  ts::Vector<ts::Text> entries;
  entries.Add("C:\\Acme\\drivers\\OEM4711.INF");
  entries.Add("C:\\Elsewhere\\oem4712.inf");  // not one of the product's files
  entries.Add("!\\HKLM\\Software\\Acme\\oem4712.inf");
  ts::Vector<ts::Text> drivers;
  drivers.Add("C:\\elsewhere\\oem4711.inf");
  drivers.Add("C:\\windows\\inf\\oem4712.inf");
  drivers.Add(ts::Utf8FromWide(systemInf));
  RemoveDrivers(drivers, entries, L"C:\\Acme");
  EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES)
      << "the copy in the system's folder goes by its name, read-only or not";
  for (const ts::WText& path : {foreign, systemInf}) {
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << ts::Utf8FromWide(path);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

}  // namespace
}  // namespace palisade
