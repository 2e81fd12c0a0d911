// Component registration under Wine: a product that carries a font, a
// Windows Installer package, a COM server, a type library, a driver package
// and a control-panel applet registers each of them, and its uninstallation
// leaves the prefix as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "format/file_record.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "builder/prefix_snapshot.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

using builder::PrefixSnapshot;
using builder::RegistrySnapshot;
using builder::SnapshotChanges;
using builder::TakeSnapshot;

namespace kind = format::destination_kind;

constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";
// Wine lists the host's DejaVu Sans under its own face name; the product's
// copy goes by a name of its own.
constexpr char kFontFace[] = "Palisade Test Sans (TrueType)";
constexpr char kFontFile[] = "PalisadeTestSans.ttf";
constexpr char kFontsKey[] = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
// The identities that the helper sources give the package, the server and
// the type library (tests/helper).
constexpr char kProductKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr char kPackageCode[] = "{8D4B5E0F-6A7C-4D94-AEBF-2A3B4C5D6E7F}";
constexpr char kPackageKey[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8D4B5E0F-6A7C-4D94-AEBF-2A3B4C5D6E7F}";
constexpr char kServerKey[] = "HKLM\\Software\\Classes\\CLSID\\{5A1E2B7C-3D4F-4A61-9B8C-7D6E5F4A3B2C}\\InprocServer32";
constexpr char kTypeLibraryKey[] = "HKLM\\Software\\Classes\\TypeLib\\{6B2F3C8D-4E5A-4B72-8C9D-0E1F2A3B4C5D}\\1.2";
constexpr char kAppletClass[] = "{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}";
constexpr char kAppletClassKey[] = "HKLM\\Software\\Classes\\CLSID\\{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}";
constexpr char kAppletNameSpaceKey[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\"
    "{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}";
constexpr uint32_t kMsiBasicUi = 3;
constexpr char kYes[] = "6";  // IDYES
constexpr char kNo[] = "7";   // IDNO
constexpr char kWineDriverCopy[] = "C:\\windows\\inf\\palisade_test.inf";

constexpr char kDriverInf[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=System\r\n"
    "ClassGuid={4d36e97d-e325-11ce-bfc1-08002be10318}\r\n"
    "Provider=%Provider%\r\n"
    "DriverVer=01/01/2026,1.0.0.0\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Provider=\"Palisade Tests\"\r\n";

std::string FileText(const std::string& path) {
  std::string text = ReadFile(path);
  if (text.empty()) ADD_FAILURE() << "missing test artefact " << path;
  return text;
}

TestFile Applet(const std::string& name, const std::string& displayName, const std::string& classId) {
  TestFile applet{name, "not a real applet"};
  applet.kind = kind::kControlPanelApplet;
  applet.textA = displayName;
  applet.textC = "-page 2";
  applet.textD = classId;
  return applet;
}

// Wine's own overrides stay; the Windows Installer's library is taken away.
constexpr char kNoWindowsInstaller[] = "WINEDLLOVERRIDES=mscoree,mshtml=;msi=d";

TestFile Package() {
  TestFile package{"palisade_test.msi", FileText(WindowsTestProgram("palisade_test.msi"))};
  package.kind = kind::kMsiPackage;
  package.flags = format::record_flags::kRemoveMsiPackage;
  package.msiUiLevel = kMsiBasicUi;
  return package;
}

TestFile ComServer(const std::string& name, const std::string& content) {
  TestFile server{name, content};
  server.kind = kind::kSystemCom;
  return server;
}

TestFile Font() {
  TestFile font{kFontFile, FileText("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")};
  font.kind = kind::kFont;
  font.textA = kFontFace;
  return font;
}

InstallerRecipe ProductWithComponents() {
  InstallerRecipe recipe = ProductWithUninstaller();
  TestFile server = ComServer("palisade_com_server.dll", FileText(WindowsTestProgram("palisade_com_server.dll")));
  TestFile library{"palisade_test.tlb", FileText(WindowsTestProgram("palisade_test.tlb"))};
  library.kind = kind::kSystemTypeLibrary;
  TestFile driver{"palisade_test.inf", kDriverInf};
  driver.kind = kind::kDriverPackage;
  recipe.files = {Font(), Package(), server, library, driver, Applet("acme.cpl", "Acme Settings", kAppletClass)};
  return recipe;
}

// The product's file type ".palisadedoc", opened by `command`.
format::AssociationRecord DocumentType(const std::string& command) {
  format::AssociationRecord association;
  association.mode = format::association_mode::kFull;
  association.extension = ".palisadedoc";
  association.progId = "Palisade.Note";
  association.verb = "open";
  association.command = command;
  return association;
}

// The components with what else a product registers: a file type that
// takes over one the machine already has, and a firewall port.
InstallerRecipe ProductWithEverything() {
  InstallerRecipe recipe = ProductWithComponents();
  format::AssociationRecord association = DocumentType("\"%InstallDir%\\acme.cpl\" \"%1\"");
  association.description = "Palisade document";
  association.verbLabel = "&Open with Palisade";
  association.icon = u"acme.cpl,0";
  recipe.script.associations = {association};
  recipe.script.firewallText = "8080;Palisade Sync;3;0\r\n";
  return recipe;
}

class Components : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_SYSTEM_RUNS(Bits());
    prefix_ = std::make_unique<WinePrefix>(Bits());
  }
  virtual int Bits() const { return kWindowsBits; }

  // The product is one for either system: with the 32-bit engine on a
  // 64-bit system it goes below the 32-bit program files folder, and what
  // it writes in the default view lies in the 32-bit view. Applet keys are
  // written in the 64-bit view.
  std::string ProgramFiles() const { return EitherProductsProgramFiles(Bits()); }
  std::string InProduct(const std::string& name) const {
    return "C:\\" + ProgramFiles() + "\\Palisade Test Product\\" + name;
  }
  std::string Uninstaller() const { return InProduct("uninstall\\Uninstall Test.exe"); }
  bool KeyExists(const std::string& key, const char* view = EngineRegistryView()) {
    return prefix_->Run({"reg", "query", key, view}).exitCode == 0;
  }
  // The test package is a 32-bit one: the Windows Installer lists it in the
  // 32-bit view, whichever engine installed it.
  bool PackageListed() { return KeyExists(kPackageKey, "/reg:32"); }
  std::string Query(const std::string& key, const std::string& value, const char* view = EngineRegistryView()) {
    RunResult result = value.empty() ? prefix_->Run({"reg", "query", key, "/ve", view})
                                     : prefix_->Run({"reg", "query", key, "/v", value, view});
    return result.out;
  }
  std::string UninstallFile(const std::string& name) {
    return ReadFile(prefix_->DriveC() + "/" + ProgramFiles() + "/Palisade Test Product/uninstall/" + name);
  }
  std::string Log() { return UninstallFile("Install.log"); }
  std::string Record() { return UninstallFile("Uninstall.DAT"); }
  // The record as an older installation left it: the product's key holds
  // no hashes of it, so that it is read whatever it says.
  void WriteOlderRecord(const std::string& record) {
    WriteBytes(prefix_->DriveC() + "/" + ProgramFiles() + "/Palisade Test Product/uninstall/Uninstall.DAT",
               Bytes(record.begin(), record.end()));
    for (const char* hash : {"UninstallDataHash", "UninstallerHash"}) {
      prefix_->Run({"reg", "delete", kProductKey, "/v", hash, "/f", EngineRegistryView()});
    }
  }

  std::unique_ptr<WinePrefix> prefix_;
};

class ComponentsOnEachSystem : public Components, public ::testing::WithParamInterface<int> {
 protected:
  int Bits() const override { return GetParam(); }
};

TEST_P(ComponentsOnEachSystem, EachKindIsRegisteredAndTheUninstallerLeavesNothingBehind) {
  InstallerRecipe recipe = ProductWithEverything();
  std::string setup = PlaceInstaller(*prefix_, recipe, "setup");
  ASSERT_EQ(prefix_->Run({"reg", "add", "HKCR\\.palisadedoc", "/ve", "/d", "Palisade.OldDoc", "/f"}).exitCode, 0);
  PrefixSnapshot before = TakeSnapshot(prefix_->Path());

  ASSERT_EQ(prefix_->Run({setup, "/silent"}, 180).exitCode, 1);
  std::string log = Log();
  EXPECT_NE(Query(kFontsKey, kFontFace).find(kFontFile), std::string::npos);
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/Fonts/" + kFontFile));
  EXPECT_NE(log.find("Installing MSI package \"" + InProduct("palisade_test.msi") + "\"...OK\r\n"), std::string::npos)
      << log;
  EXPECT_TRUE(PackageListed());
  EXPECT_NE(Record().find("[MSI]\r\n\"" + InProduct("palisade_test.msi") + "\",2," + kPackageCode + "\r\n"),
            std::string::npos)
      << "a silent run asks the package for no window, and removes its product the same way";
  EXPECT_NE(log.find("Registering COM File \"C:\\windows\\system32\\palisade_com_server.dll\"...OK\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(Query(kServerKey, "").find("palisade_com_server.dll"), std::string::npos);
  EXPECT_NE(log.find("Registering Type Library \"C:\\windows\\system32\\palisade_test.tlb\"...OK\r\n"), std::string::npos)
      << log;
  EXPECT_TRUE(KeyExists(kTypeLibraryKey));
  EXPECT_NE(log.find("Registering control panel applet \"Acme Settings\"...OK\r\n"), std::string::npos) << log;
  EXPECT_NE(Query(kAppletClassKey + std::string("\\Shell\\Open\\Command"), "", "/reg:64")
                .find("\"" + InProduct("acme.cpl") + "\" -page 2"),
            std::string::npos);
  EXPECT_NE(Query(kAppletNameSpaceKey, "", "/reg:64").find("Acme Settings"), std::string::npos);
  // Wine keeps the package's own name for its copy where Windows names it
  // "oemN.inf"; the uninstaller removes only copies of the system's naming,
  // so under Wine the copy (with the precompiled form Wine makes beside
  // it) stays behind, the one thing that does.
  EXPECT_NE(log.find("Final driver location: " + std::string(kWineDriverCopy) + "\r\n"), std::string::npos) << log;
  EXPECT_NE(Record().find("[INF]\r\n" + std::string(kWineDriverCopy) + "\r\n"), std::string::npos);
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/inf/palisade_test.inf"));
  EXPECT_NE(Query("HKCR\\.palisadedoc", "").find("Palisade.Note"), std::string::npos);
  EXPECT_NE(Record().find("[Firewall]\r\n"), std::string::npos);

  RunResult removal = prefix_->Run({Uninstaller(), kUninstallSwitch, "/silent"}, 180);
  ASSERT_EQ(removal.exitCode, 0) << removal.err;
  std::vector<std::string> left = SnapshotChanges(before, TakeSnapshot(prefix_->Path()));
  EXPECT_EQ(left, (std::vector<std::string>{"+file windows/inf/palisade_test.inf", "+file windows/inf/palisade_test.pnf"}));
}

INSTANTIATE_TEST_SUITE_P(Prefix, ComponentsOnEachSystem, ::testing::Values(32, 64),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

TEST_F(Components, AServerThatRegsvr32CannotRegisterIsRegisteredThroughItsExport) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {ComServer("palisade_com_server.dll", FileText(WindowsTestProgram("palisade_com_server.dll"))),
                  ComServer("versioned.dll", FileText(WindowsTestProgram("versioned.dll")))};
  std::string setup = PlaceInstaller(*prefix_, recipe, "setup");
  ASSERT_EQ(prefix_->Run({setup, "/silent"}, 120, {"PALISADE_COM_SERVER_REFUSES=1"}).exitCode, 1);
  std::string log = Log();
  EXPECT_NE(log.find("Registering COM File \"C:\\windows\\system32\\palisade_com_server.dll\"...OK\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Registering COM File \"C:\\windows\\system32\\versioned.dll\"...FAILED, code "), std::string::npos)
      << "a library without the export is not registered\n"
      << log;
}

// A server whose own registration crashes costs only its own registration.
TEST_F(Components, AServerThatCrashesWhileRegisteringIsReportedAndTheInstallationGoesOn) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {ComServer("palisade_com_server.dll", FileText(WindowsTestProgram("palisade_com_server.dll"))),
                  ComServer("versioned.dll", FileText(WindowsTestProgram("versioned.dll"))), {"app.txt", "app"}};
  std::string setup = PlaceInstaller(*prefix_, recipe, "setup");
  // regsvr32 crashes first: Wine's debugger would hold it up with a window.
  prefix_->Run({"reg", "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f"});
  ASSERT_EQ(prefix_->Run({setup, "/silent"}, 120, {"PALISADE_COM_SERVER_CRASHES=1"}).exitCode, 1);
  std::string log = Log();
  for (const char* line : {"Registering COM File \"C:\\windows\\system32\\palisade_com_server.dll\"...CRASHED!\r\n",
                           "Registering COM File \"C:\\windows\\system32\\versioned.dll\"...FAILED, code ",
                           "Crashed while registering COM file C:\\windows\\system32\\palisade_com_server.dll\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/" + ProgramFiles() + "/Palisade Test Product/app.txt"));
}

TEST_F(Components, WithoutTheWindowsInstallerAPackageFailsWithCode120) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {Package()};
  std::string setup = PlaceInstaller(*prefix_, recipe, "setup");
  RunResult result = prefix_->Run({setup, "/silent"}, 120, {kNoWindowsInstaller});
  ASSERT_EQ(result.exitCode, 1);
  std::string failure = "Installing MSI package \"" + InProduct("palisade_test.msi") + "\"...FAILED code 120: ";
  EXPECT_NE(Log().find(failure), std::string::npos) << Log();
  EXPECT_EQ(Record().find("[MSI]"), std::string::npos) << "a package that did not install is not removed";
  EXPECT_FALSE(PackageListed());
}

TEST_F(Components, APackageThatCannotBeRemovedKeepsTheProductForAnotherRun) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {Package()};
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);
  ASSERT_TRUE(PackageListed());

  RunResult refused = prefix_->Run({Uninstaller(), kUninstallSwitch, "/silent"}, 120, {kNoWindowsInstaller});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Failed to uninstall " + InProduct("palisade_test.msi") + ", code 120: "), std::string::npos)
      << refused.err;
  EXPECT_NE(Record().find("[MSI]\r\n\"" + InProduct("palisade_test.msi") + "\",2," + kPackageCode + "\r\n"),
            std::string::npos);
  EXPECT_TRUE(PackageListed());

  RunResult removal = prefix_->Run({Uninstaller(), kUninstallSwitch, "/silent"}, 120);
  EXPECT_EQ(removal.exitCode, 0) << removal.err;
  EXPECT_FALSE(PackageListed());
}

// An installation by an older engine kept only the package's path: the
// uninstaller finds the product that the Windows Installer installed from
// that package and removes it by its code.
TEST_F(Components, APackageLineOfAnOlderInstallationRemovesTheProductInstalledFromIt) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {Package()};
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);
  ASSERT_TRUE(PackageListed());
  std::string record = Record();
  const std::string code = std::string(",") + kPackageCode;
  size_t at = record.find(code);
  ASSERT_NE(at, std::string::npos) << record;
  record.erase(at, code.size());
  WriteOlderRecord(record);

  RunResult removal = prefix_->Run({Uninstaller(), kUninstallSwitch, "/silent"}, 120);
  EXPECT_EQ(removal.exitCode, 0) << removal.err;
  EXPECT_FALSE(PackageListed());
}

// What an edited record names beside the product's own entries, and how
// the test sees that it is still there afterwards.
struct ForeignTarget {
  const char* name;
  std::string entries;  // lines before the record's sections
  std::string section;  // a section header and its lines, after them
  std::function<bool()> stays;
};

// The record of an older installation (its key carries no hashes of it)
// edited by someone who can write the installation folder: each line names
// something that the product never created, which the uninstaller leaves
// in place while it removes the product's own entries.
TEST_F(Components, AnEditedRecordReachesNothingThatTheProductDidNotCreate) {
  const std::string package = FileText(WindowsTestProgram("palisade_test.msi"));
  std::filesystem::create_directories(prefix_->DriveC() + "/cases");
  WriteBytes(prefix_->DriveC() + "/cases/palisade_test.msi", Bytes(package.begin(), package.end()));
  ASSERT_EQ(prefix_->Run({"msiexec", "/i", "C:\\cases\\palisade_test.msi", "/qn"}, 120).exitCode, 0);
  ASSERT_TRUE(PackageListed());
  const std::string foreignInf = prefix_->DriveC() + "/windows/inf/oem7.inf";
  WriteBytes(foreignInf, Bytes(kDriverInf, kDriverInf + sizeof(kDriverInf) - 1));
  Started victim = prefix_->Start({WindowsTestProgram("closeme.exe"), "PalisadeVictim", "Victim", "C:\\closeme.stop"});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--class", "PalisadeVictim"}).exitCode, 0);

  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", "app"}};
  recipe.script.associations = {DocumentType("\"%InstallDir%\\app.txt\" \"%1\"")};
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);

  RunResult removal;
  const std::string classCommand = "HKLM\\Software\\Classes\\exefile\\shell\\open\\command";
  const ForeignTarget targets[] = {
      {"a package installed from elsewhere, by its path", "",
       "[MSI]\r\n\"C:\\cases\\palisade_test.msi\",2\r\n", [&] { return PackageListed(); }},
      {"a package installed from elsewhere, by its code, as if it were the product's", "",
       "[MSI]\r\n\"" + InProduct("palisade_test.msi") + "\",2," + kPackageCode + "\r\n",
       [&] { return PackageListed(); }},
      {"the system's key", "^\\HKLM\\Software\\Microsoft\\Windows\r\n", "",
       [&] {
         const std::string keys = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\";
         return KeyExists(keys + "App Paths") && KeyExists(keys + "Explorer");
       }},
      {"the class of programs", "*\\HKLM\\Software\\Classes\\exefile\r\n^\\HKCR\\exefile\\shell\r\n", "",
       [&] { return KeyExists(classCommand, "/reg:64") && KeyExists(classCommand); }},
      {"the association of programs", "", "[Associations]\r\n.exe~!~exefile~!~open~!~%1\r\n",
       [&] { return Query(classCommand, "").find("\"%1\" %*") != std::string::npos; }},
      {"every window", "", "[AutoClose]\r\n*,,x,3\r\n",
       [&] { return prefix_->WindowHelper({"wait", "--class", "PalisadeVictim", "--timeout", "500"}).exitCode == 0; }},
      {"a driver store copy of another package", "", "[INF]\r\nC:\\windows\\inf\\oem7.inf\r\n",
       [&] { return FileExists(foreignInf); }},
      // Wine's firewall stores nothing: the uninstaller's trace tells.
      {"another program's firewall exception", "", "[Firewall]\r\nC:\\windows\\system32\\svchost.exe;;0;0\r\n",
       [&] {
         const std::string left = "firewall exception left, not the product's: " +
                                  Escaped("C:\\windows\\system32\\svchost.exe");
         std::vector<std::string> trace = EngineTrace(removal.err);
         return std::any_of(trace.begin(), trace.end(), [&](const std::string& l) { return l.rfind(left, 0) == 0; });
       }},
  };
  std::string entries, sections;
  for (const ForeignTarget& target : targets) {
    entries += target.entries;
    if (!target.section.empty()) sections += "\r\n" + target.section;
  }
  WriteOlderRecord(entries + Record() + sections);

  removal = prefix_->Run({Uninstaller(), kUninstallSwitch, "/silent"}, 180, {kDebugOutput});
  for (const ForeignTarget& target : targets) EXPECT_TRUE(target.stays()) << target.name;
  EXPECT_EQ(removal.exitCode, 1) << "the package lines that name no package of the product are reported";
  EXPECT_NE(removal.err.find("Failed to uninstall C:\\cases\\palisade_test.msi, code 1605: "), std::string::npos)
      << removal.err;
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/" + ProgramFiles() + "/Palisade Test Product/app.txt"));
  EXPECT_FALSE(KeyExists("HKCR\\.palisadedoc"));
  EXPECT_FALSE(KeyExists("HKCR\\Palisade.Note"));
  WriteBytes(prefix_->DriveC() + "/closeme.stop", Bytes{'x'});
  prefix_->Wait(victim, 10);
}

// Asked before each font goes, the user keeps this one: its file, its
// registration and its place in the font table stay.
TEST_F(Components, AFontTheUserKeepsStaysRegistered) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {Font()};
  recipe.script.productFlagsLow |= format::product_flags_low::kAskBeforeRemovingFonts;
  recipe.script.messages[53][0] = u"Remove it?";
  recipe.script.messages[55][0] = u"Remove Test";
  recipe.script.messages[56][0] = u"Remove the font %s?";
  recipe.script.messages[57][0] = u"Remove Font Test";
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);

  Started uninstaller = prefix_->Start({Uninstaller(), kUninstallSwitch});
  ASSERT_EQ(prefix_->WindowHelper({"press", kYes, "--caption", "Remove Test"}).exitCode, 0);
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Remove Font Test"}).exitCode, 0);
  std::string question = prefix_->WindowHelper({"texts", "--caption", "Remove Font Test"}).out;
  EXPECT_NE(question.find("Remove the font Palisade Test Sans (TrueType)?"), std::string::npos) << question;
  ASSERT_EQ(prefix_->WindowHelper({"press", kNo, "--caption", "Remove Font Test"}).exitCode, 0);
  RunResult done = prefix_->Wait(uninstaller, 90);
  EXPECT_EQ(done.exitCode, 0) << done.err;
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/Fonts/" + kFontFile));
  EXPECT_NE(Query(kFontsKey, kFontFace).find(kFontFile), std::string::npos);
}

struct DamagedApplet {
  const char* name;
  const char* fileName;
  const char* displayName;
  const char* classId;
  int errorCode;
};

TEST_F(Components, AppletsWithoutNameOrClassAreDamagedInstallers) {
  const DamagedApplet cases[] = {
      {"no name and a file name that is all extension", ".cpl", "", kAppletClass, 78},
      {"no class identifier", "acme.cpl", "Acme Settings", "", 79},
      {"a class identifier that is not a GUID", "acme.cpl", "Acme Settings", "{..\\..\\Run}", 79},
  };
  for (const DamagedApplet& c : cases) {
    InstallerRecipe recipe = ProductWithUninstaller();
    recipe.files = {Applet(c.fileName, c.displayName, c.classId)};
    RunResult result = RunInstaller(*prefix_, recipe);
    EXPECT_EQ(result.exitCode, 1) << c.name;
    EXPECT_NE(result.err.find("Error code: " + std::to_string(c.errorCode) + "\r\n"), std::string::npos)
        << c.name << ": " << result.err;
  }
}

TEST_F(Components, AnAppletWithoutNameTakesItsFileName) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {Applet("Acme Tools.cpl", "", kAppletClass)};
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);
  EXPECT_NE(Query(kAppletNameSpaceKey, "", "/reg:64").find("Acme Tools"), std::string::npos);
  EXPECT_NE(Log().find("Registering control panel applet \"Acme Tools\"...OK\r\n"), std::string::npos) << Log();
}

}  // namespace
}  // namespace palisade::testing
