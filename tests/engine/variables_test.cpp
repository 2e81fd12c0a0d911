#include <gtest/gtest.h>

#include <windows.h>
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <functional>
#include <map>

#include "state/installer_state.h"
#include "core/system_facts.h"
#include "payload/variables.h"

namespace palisade {
namespace {

ts::WText Expanded(ts::WText text) {
  Expand(text);
  return text;
}

// What other interfaces of the system say, to hold the variables against.

ts::WText KnownFolder(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &path))) return L"(no known folder)";
  ts::WText folder = path;
  CoTaskMemFree(path);
  return folder;
}

ts::WText Environment(const wchar_t* name) {
  ts::WText value(32767, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  while (!value.empty() && value.back() == L'\\') value.pop_back();
  return value;
}

// The 64-bit registry view; on a 32-bit system the only one.
ts::WText CurrentVersionValue64(const wchar_t* name) {
  HKEY key = nullptr;
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
    RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size);
    RegCloseKey(key);
  }
  return buffer;
}

ts::WText ProcessImage() {
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  QueryFullProcessImageNameW(GetCurrentProcess(), 0, path, &size);
  return path;
}

// The 64-bit engine runs only on 64-bit systems, and sees their 32-bit
// folders under their x86 names.
constexpr bool kEngine64 = sizeof(void*) == 8;

bool Is64BitSystem() {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  return kEngine64 || wow64;
}

const wchar_t* const kPrograms32Variable = kEngine64 ? L"ProgramFiles(x86)" : L"ProgramFiles";
const wchar_t* const kCommon32Variable = kEngine64 ? L"CommonProgramFiles(x86)" : L"CommonProgramFiles";

bool VersionIs(DWORD major, DWORD minor) {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  DWORDLONG condition = 0;
  condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_EQUAL);
  condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_EQUAL);
  return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION, condition);
}

bool IsWorkstation() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  info.wProductType = VER_NT_WORKSTATION;
  return VerifyVersionInfoW(&info, VER_PRODUCT_TYPE, VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL));
}

// Wine keeps its own settings in the user's registry; Windows has no such key.
bool RunsUnderWine() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class VariablesTest : public testing::Test {
 protected:
  void SetUp() override {
    g_installer = InstallerState{};
    g_installer.installFolder = L"D:\\Acme\\Notes";
    g_installer.oldVersion = L"4.2.1";
    format::SetupScript& script = g_installer.script;
    script.productName = "Acme Notes \xC3\xBC";  // u with diaeresis, in UTF-8
    script.publisher = "Acme Corp";
    script.sharedPath = "Acme Shared";
    script.startMenuFolder = "Acme\\Notes";
    script.uninstallSubfolder = "Uninstall";
    script.displayVersion = "4.3";
  }
};

// Every variable of the table, held against what the system says through
// other interfaces, or against the state the run set up.
TEST_F(VariablesTest, EveryVariableOnTheRunningSystem) {
  const ts::WText image = ProcessImage();
  const ts::WText imageFolder = image.substr(0, image.rfind(L'\\'));
  const ts::WText major = Expanded(L"%OSMajor%");
  const ts::WText minor = Expanded(L"%OSMinor%");
  const std::map<ts::WText, std::function<ts::WText()>> expected = {
      {L"%AppDataAllDir%", [] { return KnownFolder(FOLDERID_ProgramData); }},
      {L"%AppDataDir%", [] { return KnownFolder(FOLDERID_RoamingAppData); }},
      {L"%Bits%", [] { return Is64BitSystem() ? L"64" : L"32"; }},
      {L"%BootDrive%", [] { return Environment(L"SystemDrive"); }},
      {L"%CommonDir%", [] { return Environment(L"CommonProgramFiles"); }},
      {L"%CommonDir32%", [] { return Environment(kCommon32Variable); }},
      {L"%CommonDir64%", [] { return CurrentVersionValue64(L"CommonFilesDir"); }},
      {L"%DesktopAllDir%", [] { return KnownFolder(FOLDERID_PublicDesktop); }},
      {L"%DesktopDir%", [] { return KnownFolder(FOLDERID_Desktop); }},
      {L"%DesktopShortcuts%", [] { return KnownFolder(FOLDERID_Desktop); }},
      {L"%DeviceDir%", [] { return Environment(L"windir") + L"\\INF"; }},
      {L"%DocumentAllDir%", [] { return KnownFolder(FOLDERID_PublicDocuments); }},
      {L"%DocumentDir%", [] { return KnownFolder(FOLDERID_Documents); }},
      // The system keeps no favourites for all users any more: the shell
      // answers with the user's.
      {L"%FavoritesAllDir%", [] { return KnownFolder(FOLDERID_Favorites); }},
      {L"%FavoritesDir%", [] { return KnownFolder(FOLDERID_Favorites); }},
      {L"%FontDir%", [] { return KnownFolder(FOLDERID_Fonts); }},
      {L"%Inetpub%", [] { return L"c:\\Inetpub"; }},
      {L"%InstallDir%", [] { return L"D:\\Acme\\Notes"; }},
      {L"%InstallDrive%", [] { return L"D:"; }},
      {L"%InstallerDir%", [&] { return imageFolder; }},
      {L"%InstallerDrive%", [&] { return image.substr(0, 2); }},
      {L"%InstallerFilename%", [&] { return image.substr(image.rfind(L'\\') + 1); }},
      {L"%InstallerFilepath%", [&] { return image; }},
      {L"%MediaDir%", [] { return Environment(L"windir") + L"\\Media"; }},
      {L"%OldVersion%", [] { return L"4.2.1"; }},
      {L"%OldVersionMajor%", [] { return L"4"; }},
      {L"%OldVersionMinor%", [] { return L"2"; }},
      {L"%Portable%", [] { return L"0"; }},
      {L"%ProductName%", [] { return L"Acme Notes \u00FC"; }},
      {L"%CompanyName%", [] { return L"Acme Corp"; }},
      {L"%ProgramsDir%", [] { return Environment(L"ProgramFiles"); }},
      {L"%ProgramsDir32%", [] { return Environment(kPrograms32Variable); }},
      {L"%ProgramsDir64%", [] { return CurrentVersionValue64(L"ProgramFilesDir"); }},
      {L"%SharedDir%", [] { return Environment(L"CommonProgramFiles") + L"\\Acme Shared"; }},
      {L"%SMProgramsAllDir%", [] { return KnownFolder(FOLDERID_CommonPrograms); }},
      {L"%SMProgramsDir%", [] { return KnownFolder(FOLDERID_Programs); }},
      {L"%StartMenuAllDir%", [] { return KnownFolder(FOLDERID_CommonStartMenu); }},
      {L"%StartMenuChosen%", [] { return L"Acme\\Notes"; }},
      {L"%StartMenuDir%", [] { return KnownFolder(FOLDERID_StartMenu); }},
      {L"%StartupAllDir%", [] { return KnownFolder(FOLDERID_CommonStartup); }},
      {L"%StartupDir%", [] { return KnownFolder(FOLDERID_Startup); }},
      {L"%SystemDir%", [] { return KnownFolder(FOLDERID_System); }},
      {L"%Temp%", [] { return Environment(L"TEMP"); }},
      {L"%UninstallDir%", [] { return L"D:\\Acme\\Notes\\Uninstall"; }},
      {L"%Version%", [] { return L"4.3"; }},
      {L"%WinDir%", [] { return KnownFolder(FOLDERID_Windows); }},
      {L"%OS%", [] { return std::to_wstring(ts::SystemBit()); }},
      {L"%OSMajor%", [&] { return VersionIs(std::stoul(major), std::stoul(minor)) ? major : L"(not the version)"; }},
      {L"%OSMinor%", [&] { return VersionIs(std::stoul(major), std::stoul(minor)) ? minor : L"(not the version)"; }},
      {L"%OSName%", [] { return ts::SystemName(ts::system_name::kShort); }},
      {L"%OSDescription%", [] { return ts::SystemName(ts::system_name::kDescription); }},
      {L"%OSServer%", [] { return IsWorkstation() ? L"0" : L"1"; }},
  };
  for (const InstallationVariable& variable : InstallationVariables()) {
    auto entry = expected.find(variable.name);
    ASSERT_NE(entry, expected.end()) << "no expectation for " << variable.name;
    EXPECT_EQ(Expanded(variable.name), entry->second()) << variable.name;
  }
}

// %OS%, %OSName% and %OSDescription% come from the system record, whose
// bit and names the record tables test; here they must fit the version that
// the system confirms and the WINE that runs the test.
TEST_F(VariablesTest, SystemVariablesFitTheRunningSystem) {
  uint32_t bit = std::stoul(Expanded(L"%OS%"));
  EXPECT_EQ((bit & ts::system_bit::kWine) != 0, RunsUnderWine());
  uint32_t windowsBit = bit & ~ts::system_bit::kWine;
  EXPECT_EQ(windowsBit & (windowsBit - 1), 0u) << "one system bit only: " << bit;
  ts::WText description = Expanded(L"%OSDescription%");
  EXPECT_EQ(description.rfind(L"WINE ", 0) == 0, RunsUnderWine()) << description;
  ts::WText shortName = Expanded(L"%OSName%");
  EXPECT_NE(description.find(L"Windows " + shortName), ts::WText::npos) << description;
  EXPECT_EQ(shortName.find(L"Windows"), ts::WText::npos) << shortName;
}

TEST_F(VariablesTest, NamesMatchInAnyCase) {
  for (const wchar_t* text : {L"%InstallDir%\\bin", L"%installdir%\\bin", L"%INSTALLDIR%\\bin", L"%iNsTaLlDiR%\\bin"}) {
    EXPECT_EQ(Expanded(text), L"D:\\Acme\\Notes\\bin") << text;
  }
}

TEST_F(VariablesTest, EveryOccurrenceIsReplaced) {
  EXPECT_EQ(Expanded(L"%Version%;%version%;x%VERSION%x"), L"4.3;4.3;x4.3x");
}

TEST_F(VariablesTest, TextsWithoutKnownNamesStayAsWritten) {
  const wchar_t* texts[] = {
      L"", L"plain text", L"100%", L"%", L"%%", L"%NoSuchVariableOfPalisade%\\x", L"%Install Dir%", L"%InstallDir",
  };
  for (const wchar_t* text : texts) EXPECT_EQ(Expanded(text), text) << text;
}

TEST_F(VariablesTest, TableNameShadowsTheEnvironment) {
  SetEnvironmentVariableW(L"InstallDir", L"from the environment");
  SetEnvironmentVariableW(L"PalisadeTestOnly", L"environment value");
  EXPECT_EQ(Expanded(L"%InstallDir%"), L"D:\\Acme\\Notes");
  EXPECT_EQ(Expanded(L"%PalisadeTestOnly%\\%InstallDir%"), L"environment value\\D:\\Acme\\Notes");
  SetEnvironmentVariableW(L"InstallDir", nullptr);
  SetEnvironmentVariableW(L"PalisadeTestOnly", nullptr);
}

// A value is not searched again for its own name, nor for the names that
// come before it in the table; it is for the names after it.
TEST_F(VariablesTest, ValuesAreSearchedOnlyForLaterNames) {
  struct Case {
    const char* version;
    const wchar_t* expected;
  };
  g_installer.installFolder = L"E:\\%Version%";
  const Case cases[] = {
      {"%Version%", L"%Version%"},          // its own name
      {"v%Version%", L"v%Version%"},        // its own name, after other text
      {"%InstallDir%", L"%InstallDir%"},    // a name earlier in the table
      {"%OldVersion%", L"%OldVersion%"},    // earlier as well
      {"%WinDir%\\x", nullptr},             // a later name: expanded below
  };
  for (const Case& c : cases) {
    g_installer.script.displayVersion = c.version;
    ts::WText expected = c.expected ? c.expected : ts::WindowsFolder() + L"\\x";
    EXPECT_EQ(Expanded(L"%Version%"), expected) << c.version;
  }
  g_installer.script.displayVersion = "4.3";
  EXPECT_EQ(Expanded(L"%InstallDir%"), L"E:\\4.3") << "a later name in an earlier value";
}

TEST_F(VariablesTest, TheEnvironmentStepCutsTheTextAt31999Characters) {
  EXPECT_EQ(Expanded(ts::WText(40000, L'a')).size(), 31999u);
  EXPECT_EQ(Expanded(ts::WText(31999, L'a')).size(), 31999u);
  SetEnvironmentVariableW(L"PalisadeLong", ts::WText(20000, L'b').c_str());
  ts::WText text = Expanded(L"%PalisadeLong%%PalisadeLong%");
  EXPECT_EQ(text, ts::WText(31999, L'b'));
  SetEnvironmentVariableW(L"PalisadeLong", nullptr);
}

TEST_F(VariablesTest, OldVersionPieces) {
  struct Case {
    const wchar_t* oldVersion;
    const wchar_t* major;
    const wchar_t* minor;
  };
  const Case cases[] = {
      {L"", L"", L""},      {L"3", L"3", L""},          {L"3.1", L"3", L"1"},
      {L"3.1.4", L"3", L"1"}, {L".5", L"", L"5"},        {L"10.20.30.40", L"10", L"20"},
      {L"2.", L"2", L""},
  };
  for (const Case& c : cases) {
    g_installer.oldVersion = c.oldVersion;
    EXPECT_EQ(Expanded(L"%OldVersionMajor%|%OldVersionMinor%"), ts::WText(c.major) + L"|" + c.minor) << c.oldVersion;
  }
}

TEST_F(VariablesTest, ProductFoldersFollowTheProductsBitness) {
  struct Case {
    Bitness bitness;
    const wchar_t* programs;
    const wchar_t* common;
  };
  const Case cases[] = {
      {Bitness::kEither, kEngine64 ? L"%ProgramsDir64%" : L"%ProgramsDir32%", kEngine64 ? L"%CommonDir64%" : L"%CommonDir32%"},
      {Bitness::k64Bit, L"%ProgramsDir64%", L"%CommonDir64%"},
      {Bitness::k32BitOnly, L"%ProgramsDir32%", L"%CommonDir32%"},
  };
  for (const Case& c : cases) {
    g_installer.script.bitness = static_cast<uint8_t>(c.bitness);
    EXPECT_EQ(Expanded(L"%ProgramsDir%"), Expanded(c.programs)) << static_cast<int>(c.bitness);
    EXPECT_EQ(Expanded(L"%CommonDir%"), Expanded(c.common)) << static_cast<int>(c.bitness);
  }
}

TEST_F(VariablesTest, The64BitFoldersAreTheNativeOnesOnlyOnA64BitSystem) {
  ts::WText programs32 = Expanded(L"%ProgramsDir32%");
  ts::WText programs64 = Expanded(L"%ProgramsDir64%");
  if (Is64BitSystem()) {
    EXPECT_NE(programs64, programs32);
    EXPECT_EQ(programs64 + L" (x86)", programs32);
    EXPECT_EQ(Expanded(L"%CommonDir64%").find(L"(x86)"), ts::WText::npos);
  } else {
    EXPECT_EQ(programs64, programs32);
    EXPECT_EQ(Expanded(L"%CommonDir64%"), Expanded(L"%CommonDir32%"));
  }
}

TEST_F(VariablesTest, DesktopShortcutsFolder) {
  struct Case {
    uint8_t shortcutMode;
    const char* desktopFolder;
    ts::WText expected;
  };
  const ts::WText user = KnownFolder(FOLDERID_Desktop);
  const ts::WText allUsers = KnownFolder(FOLDERID_PublicDesktop);
  const Case cases[] = {
      {0, "", user}, {0, "Acme", user + L"\\Acme"}, {1, "", allUsers}, {1, "Acme", allUsers + L"\\Acme"},
      {2, "Acme", user + L"\\Acme"},
  };
  for (const Case& c : cases) {
    g_installer.script.shortcutMode = c.shortcutMode;
    g_installer.script.desktopFolder = c.desktopFolder;
    EXPECT_EQ(Expanded(L"%DesktopShortcuts%"), c.expected) << int(c.shortcutMode) << " " << c.desktopFolder;
  }
}

TEST_F(VariablesTest, FoldersTakenFromTheInstallationFolder) {
  struct Case {
    const wchar_t* installFolder;
    const char* uninstallSubfolder;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"e:\\Acme", "", L"e:|e:\\Acme|0"},
      {L"e:\\Acme", "Data\\Uninstall", L"e:|e:\\Acme\\Data\\Uninstall|0"},
      {L"\\\\server\\share\\Acme", "U", L"|\\\\server\\share\\Acme\\U|0"},
      {L"", "", L"||0"},
  };
  for (const Case& c : cases) {
    g_installer.installFolder = c.installFolder;
    g_installer.script.uninstallSubfolder = c.uninstallSubfolder;
    EXPECT_EQ(Expanded(L"%InstallDrive%|%UninstallDir%|%Portable%"), c.expected) << c.installFolder;
  }
}

// One folder for the shared kind of file, the variable and the registration.
TEST_F(VariablesTest, SharedFolder) {
  struct Case {
    const char* sharedPath;
    bool portable;
    const char* portableSharedFolder;
    ts::WText expected;
  };
  const ts::WText commonFiles = Environment(L"CommonProgramFiles");
  const Case cases[] = {
      {"Acme Shared", false, "", commonFiles + L"\\Acme Shared"},
      {"Acme\\Shared\\", false, "", commonFiles + L"\\Acme\\Shared"},
      {"%InstallDir%\\Shared", false, "", L"D:\\Acme\\Notes\\Shared"},
      {"E:\\Shared\\", false, "", L"E:\\Shared"},
      {"\\\\server\\share\\Acme", false, "", L"\\\\server\\share\\Acme"},
      {"E:\\%SharedDir%\\x", false, "", L"E:\\%SharedDir%\\x"},
      {"Acme Shared", true, "Shared", L"D:\\Acme\\Notes\\Shared"},
      {"Acme Shared", true, "", L"D:\\Acme\\Notes"},
  };
  for (const Case& c : cases) {
    g_installer.script.sharedPath = c.sharedPath;
    g_installer.portable = c.portable;
    g_installer.script.portableSharedFolder = c.portableSharedFolder;
    EXPECT_EQ(SharedFolder(), c.expected) << c.sharedPath << " " << c.portable;
    EXPECT_EQ(Expanded(L"%SharedDir%"), c.expected) << c.sharedPath << " " << c.portable;
  }
}

// Sets a value under HKEY_LOCAL_MACHINE for one test and puts back what was
// there before.
class ScopedMachineValue {
 public:
  ScopedMachineValue(const wchar_t* key, const wchar_t* name, const wchar_t* value) : key_(key), name_(name) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer;
    hadValue_ = RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                             &type_, buffer, &size) == ERROR_SUCCESS;
    old_ = buffer;
    Write(value ? REG_EXPAND_SZ : REG_NONE, value);
  }
  ~ScopedMachineValue() { Write(hadValue_ ? type_ : REG_NONE, hadValue_ ? old_.c_str() : nullptr); }
  bool ok() const { return ok_; }

 private:
  void Write(DWORD type, const wchar_t* value) {
    LSTATUS status = value ? RegSetKeyValueW(HKEY_LOCAL_MACHINE, key_, name_, type, value,
                                             static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)))
                           : RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key_, name_);
    ok_ = status == ERROR_SUCCESS || (!value && status == ERROR_FILE_NOT_FOUND);
  }

  const wchar_t* key_;
  const wchar_t* name_;
  bool hadValue_ = false;
  DWORD type_ = REG_SZ;
  ts::WText old_;
  bool ok_ = false;
};

struct MachineValueCase {
  const wchar_t* key;
  const wchar_t* name;
  const wchar_t* value;  // null: no such value
  const wchar_t* text;
  ts::WText expected;
};

TEST_F(VariablesTest, FoldersReadFromTheMachineSettings) {
  const wchar_t* currentVersion = L"Software\\Microsoft\\Windows\\CurrentVersion";
  const wchar_t* setup = L"Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
  const wchar_t* webServer = L"SOFTWARE\\Microsoft\\INetStp";
  const ts::WText windows = ts::WindowsFolder();
  const MachineValueCase cases[] = {
      {setup, L"BootDir", L"d:\\", L"%BootDrive%", L"D:"},
      {setup, L"BootDir", L"\\\\server\\boot", L"%BootDrive%", L"C:"},
      {setup, L"BootDir", nullptr, L"%BootDrive%", L"C:"},
      {currentVersion, L"DevicePath", L"%SystemRoot%\\inf;D:\\Drivers", L"%DeviceDir%", windows + L"\\inf"},
      {currentVersion, L"DevicePath", L"D:\\Drivers\\", L"%DeviceDir%", L"D:\\Drivers"},
      {currentVersion, L"DevicePath", L"", L"%DeviceDir%", windows + L"\\INF"},
      {currentVersion, L"MediaPath", L"D:\\Sounds", L"%MediaDir%", L"D:\\Sounds"},
      {currentVersion, L"MediaPath", nullptr, L"%MediaDir%", windows + L"\\Media"},
      {webServer, L"PathWWWRoot", L"%SystemDrive%\\Web\\Root\\", L"%Inetpub%", Environment(L"SystemDrive") + L"\\Web"},
      {webServer, L"PathWWWRoot", nullptr, L"%Inetpub%", L"c:\\Inetpub"},
  };
  for (const MachineValueCase& c : cases) {
    ScopedMachineValue value(c.key, c.name, c.value);
    ASSERT_TRUE(value.ok()) << c.name;
    EXPECT_EQ(Expanded(c.text), c.expected) << c.name << " = " << (c.value ? c.value : L"(none)");
  }
}

}  // namespace
}  // namespace palisade
