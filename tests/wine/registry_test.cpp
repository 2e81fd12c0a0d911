// Registry entries under Wine: every type and action of the [Registry2]
// lines read back from the hives, the all-users root in every loaded hive
// and no other, the 64-bit view of a 64-bit product, the merge file, and an
// uninstaller that leaves the registry as it found it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "builder/prefix_snapshot.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kUninstaller[] = "\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";
constexpr char kCurrentUser[] = "S-1-5-21-0-0-0-1000";
constexpr char kSecondUser[] = "S-1-5-21-1-2-3-1001";
constexpr char kUserWithoutHive[] = "S-1-5-21-1-2-3-1002";
constexpr char kProfileList[] = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";

InstallerRecipe WithLines(const std::u16string& lines) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", "app"}};
  recipe.script.registryMergeText = lines;
  return recipe;
}

class RegistryEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_SYSTEM_RUNS(PrefixBits());
    prefix_ = std::make_unique<WinePrefix>(PrefixBits());
  }
  virtual int PrefixBits() const { return kWindowsBits; }

  RunResult Install(const InstallerRecipe& recipe) { return RunInstaller(*prefix_, recipe); }
  RunResult Uninstall(const std::string& programFiles = "C:\\Program Files") {
    return prefix_->Run({programFiles + kUninstaller, kUninstallSwitch, "/silent"}, 90);
  }

  // The key with its values and sub-keys as the registry editor exports
  // it; empty when the key is not there.
  std::string Export(const std::string& key, const std::string& view = "") { return ExportKey(*prefix_, key, view); }
  bool KeyExists(const std::string& key) { return prefix_->Run({"reg", "query", key}).exitCode == 0; }
  void AddValue(const std::string& key, const std::string& name, const std::string& data) {
    ASSERT_EQ(prefix_->Run({"reg", "add", key, "/v", name, "/d", data, "/f"}).exitCode, 0);
  }
  std::string Log() {
    return ReadFile(prefix_->DriveC() + "/Program Files/Palisade Test Product/uninstall/Install.log");
  }

  std::unique_ptr<WinePrefix> prefix_;
};

struct ValueCase {
  const char16_t* line;
  const char* exported;  // the value's line in the export; nullptr: not there
};

TEST_F(RegistryEntries, EveryTypeAndActionReadBack) {
  constexpr char kKey[] = "HKLM\\Software\\PalisadeReg";
  AddValue(kKey, "UserHas", "mine");
  AddValue(kKey, "Old", "old");
  const ValueCase cases[] = {
      {u"\\HKLM\\Software\\PalisadeReg,Text,1,%InstallDir%\\app.txt,3",
       "\"Text\"=\"C:\\\\Program Files\\\\Palisade Test Product\\\\app.txt\""},
      {u"\\HKLM\\Software\\PalisadeReg,Expand,2,%A%,3", "\"Expand\"=hex(2):25,00,41,00,25,00,00,00"},
      {u"\\HKLM\\Software\\PalisadeReg,Binary,3,01 ff 7A,3", "\"Binary\"=hex:01,ff,7a"},
      {u"\\HKLM\\Software\\PalisadeReg,Number,4,4294967295,3", "\"Number\"=dword:ffffffff"},
      {u"\\HKLM\\Software\\PalisadeReg,Large,11,4294967296,3", "\"Large\"=hex(b):00,00,00,00,01,00,00,00"},
      {u"\\HKLM\\Software\\PalisadeReg,Other,7,ignored,3", "\"Other\"=hex(7):"},
      {u"\\HKLM\\Software\\PalisadeReg,Kept,1,kept,1", "\"Kept\"=\"kept\""},
      {u"\\HKLM\\Software\\PalisadeReg,UserHas,1,new,6", "\"UserHas\"=\"mine\""},
      {u"\\HKLM\\Software\\PalisadeReg,Fresh,1,new,6", "\"Fresh\"=\"new\""},
      {u"\\HKLM\\Software\\PalisadeReg,Old,1,,4", nullptr},
      {u"\\HKLM\\Software\\PalisadeReg,Later,1,x,2", nullptr},
      {u"\\HKLM\\Software\\PalisadeReg\\Empty", nullptr},
  };
  std::u16string lines;
  for (const ValueCase& c : cases) lines += std::u16string(c.line) + u"\r\n";
  ASSERT_EQ(Install(WithLines(lines)).exitCode, 1);
  std::string exported = Export(kKey);
  for (const ValueCase& c : cases) {
    if (c.exported) EXPECT_NE(exported.find(std::string(c.exported) + "\r\n"), std::string::npos) << c.exported;
  }
  EXPECT_EQ(exported.find("\"Old\""), std::string::npos) << exported;
  EXPECT_EQ(exported.find("\"Later\""), std::string::npos) << exported;
  EXPECT_NE(exported.find("[HKEY_LOCAL_MACHINE\\Software\\PalisadeReg\\Empty]"), std::string::npos) << exported;
  EXPECT_EQ(Log().find("FAILURE SUMMARY"), std::string::npos) << Log();
}

TEST_F(RegistryEntries, IllegalLinesAndBadDataAreReportedAndTheRestApplied) {
  ASSERT_EQ(Install(WithLines(u"\\HKLM\\Software\\PalisadeBad,Name,1\r\n"
                              u"\\HKLM\\Software\\PalisadeBad,Binary,3,0g,3\r\n"
                              u"\\HKLM\\Software\\PalisadeBad,After,1,yes,3\r\n"))
                .exitCode,
            1);
  std::string log = Log();
  EXPECT_NE(log.find("Illegal registry entry: \\HKLM\\Software\\PalisadeBad,Name,1\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Failed to create registry value \"Binary\": "), std::string::npos) << log;
  std::string exported = Export("HKLM\\Software\\PalisadeBad");
  EXPECT_NE(exported.find("\"After\"=\"yes\""), std::string::npos) << exported;
  EXPECT_EQ(exported.find("\"Binary\""), std::string::npos) << exported;
}

// Wine keeps a hive of HKEY_USERS that is not its own user's only while its
// server runs, so the server is kept running for the whole test.
TEST_F(RegistryEntries, AllUsersRootReachesEveryLoadedHiveAndNoOther) {
  CommandOutput("WINEPREFIX='" + prefix_->Path() + "' wineserver -p >/dev/null 2>&1");
  ASSERT_EQ(prefix_->Run({"reg", "add", std::string("HKU\\") + kSecondUser + "\\Software", "/f"}).exitCode, 0);
  for (const char* user : {kSecondUser, kUserWithoutHive}) {
    AddValue(kProfileList + std::string(user), "ProfileImagePath", std::string("C:\\users\\") + user);
  }
  InstallerRecipe recipe = WithLines(u"\\HKAU\\Software\\PalisadeUsers,Seen,1,%ProductName%,3\r\n");
  recipe.script.productRegistry = "Palisade\\Users";
  ASSERT_EQ(Install(recipe).exitCode, 1);
  for (const char* user : {kCurrentUser, kSecondUser}) {
    std::string hive = std::string("HKU\\") + user;
    EXPECT_NE(Export(hive + "\\Software\\PalisadeUsers").find("\"Seen\"=\"Palisade Test Product\""), std::string::npos)
        << user;
    EXPECT_TRUE(KeyExists(hive + "\\Software\\Palisade\\Users")) << user;
  }
  EXPECT_FALSE(KeyExists(std::string("HKU\\") + kUserWithoutHive));
  EXPECT_FALSE(KeyExists("HKU\\.Default\\Software\\PalisadeUsers"));
  EXPECT_FALSE(KeyExists("HKLM\\Software\\PalisadeUsers"));
  EXPECT_TRUE(KeyExists("HKLM\\Software\\Palisade\\Users"));

  RunResult uninstall = Uninstall();
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  for (const char* user : {kCurrentUser, kSecondUser}) {
    std::string hive = std::string("HKU\\") + user;
    EXPECT_TRUE(KeyExists(hive + "\\Software")) << user;
    EXPECT_FALSE(KeyExists(hive + "\\Software\\Palisade")) << user;
    // A value line leaves its key to a key line of its own.
    EXPECT_EQ(Export(hive + "\\Software\\PalisadeUsers").find("\"Seen\""), std::string::npos) << user;
  }
  EXPECT_FALSE(KeyExists("HKLM\\Software\\Palisade"));
}

TEST_F(RegistryEntries, MergeFileImportedByTheRegistryEditor) {
  InstallerRecipe recipe = WithLines(u"");
  recipe.script.registryMergeFileText =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\PalisadeMerge]\r\n\"Merged\"=\"yes\"\r\n";
  ASSERT_EQ(Install(recipe).exitCode, 1);
  EXPECT_NE(Log().find("Merging registry file...OK\r\n"), std::string::npos) << Log();
  // The editor is not waited for.
  std::string exported;
  for (int tries = 0; tries < 40 && exported.find("\"Merged\"") == std::string::npos; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    exported = Export("HKCU\\Software\\PalisadeMerge");
  }
  EXPECT_NE(exported.find("\"Merged\"=\"yes\""), std::string::npos) << exported;
}

// A "regedit.exe" beside the installer (the user's downloads folder, say)
// is not the registry editor: the system's own imports the file.
TEST_F(RegistryEntries, MergeFileNeverGoesToARegistryEditorBesideTheInstaller) {
  std::filesystem::create_directories(prefix_->DriveC() + "/cases");
  CopyFile(WindowsTestProgram("planted_program.exe"), prefix_->DriveC() + "/cases/regedit.exe");
  InstallerRecipe recipe = WithLines(u"");
  recipe.script.registryMergeFileText =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\PalisadeMerge]\r\n\"Merged\"=\"yes\"\r\n";
  ASSERT_EQ(Install(recipe).exitCode, 1);
  std::string exported;
  for (int tries = 0; tries < 40 && exported.find("\"Merged\"") == std::string::npos; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    exported = Export("HKCU\\Software\\PalisadeMerge");
  }
  EXPECT_NE(exported.find("\"Merged\"=\"yes\""), std::string::npos) << exported;
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/planted/regedit.exe.txt"))
      << ReadFile(prefix_->DriveC() + "/planted/regedit.exe.txt");
}

// The prefix's registry, every hive, without Wine's own bookkeeping; the
// files are left out, since the installation folder goes a little later.
builder::PrefixSnapshot RegistryOf(WinePrefix& prefix) {
  builder::PrefixSnapshot snapshot = builder::TakeSnapshot(prefix.Path());
  snapshot.files.clear();
  return snapshot;
}

TEST_F(RegistryEntries, UninstallerLeavesTheRegistryAsItWas) {
  AddValue("HKCU\\Software\\PalisadeUser", "Pref", "mine");
  InstallerRecipe recipe = WithLines(
      u"\\HKLM\\Software\\PalisadeDiff\r\n"
      u"\\HKLM\\Software\\PalisadeDiff\\Sub\r\n"
      u"\\HKLM\\Software\\PalisadeDiff\\Sub,Folder,1,%InstallDir%,3\r\n"
      u"\\HKCU\\Software\\PalisadeDiff,Number,4,7,3\r\n"
      u"\\HKCU\\Software\\PalisadeDiff\r\n"
      u"\\HKLM\\Software\\PalisadeDiff,Runtime,1,,2\r\n"
      u"\\HKLM\\Software\\PalisadeDiff,Cache,1,,5\r\n"
      u"\\HKCU\\Software\\PalisadeUser,Pref,1,default,6\r\n"
      u"\\HKCU\\Software\\PalisadeUser\r\n");
  recipe.script.productRegistry = "Palisade\\Diff";
  ASSERT_NE(Export("HKCU\\Software\\PalisadeUser").find("\"Pref\"=\"mine\""), std::string::npos);
  const builder::PrefixSnapshot before = RegistryOf(*prefix_);
  ASSERT_EQ(Install(recipe).exitCode, 1);
  ASSERT_TRUE(KeyExists("HKLM\\Software\\PalisadeDiff\\Sub"));
  ASSERT_TRUE(KeyExists("HKLM\\Software\\Palisade\\Diff"));
  // What the product writes while it runs.
  AddValue("HKLM\\Software\\PalisadeDiff", "Runtime", "1");
  AddValue("HKLM\\Software\\PalisadeDiff", "Cache", "1");
  RunResult uninstall = Uninstall();
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_EQ(builder::SnapshotChanges(before, RegistryOf(*prefix_)), std::vector<std::string>());
  EXPECT_NE(Export("HKCU\\Software\\PalisadeUser").find("\"Pref\"=\"mine\""), std::string::npos);
}

class RegistryView : public RegistryEntries, public ::testing::WithParamInterface<int> {
 protected:
  int PrefixBits() const override { return 64; }
};

// A 64-bit product's entries land where 64-bit programs read them; any
// other product's where 32-bit programs do. The 64-bit engine installs a
// product for either system as a 64-bit one.
TEST_P(RegistryView, OfTheProductsBitness) {
  int bitness = GetParam();
  InstallerRecipe recipe = WithLines(u"\\HKLM\\Software\\PalisadeView,Seen,1,yes,3\r\n");
  recipe.script.bitness = bitness;
  recipe.script.productRegistry = "PalisadeViewKey";
  ASSERT_EQ(Install(recipe).exitCode, 1);
  const bool product64 = bitness == 1 || kEngineBits == 64;
  const char* own = product64 ? "/reg:64" : "/reg:32";
  const char* other = product64 ? "/reg:32" : "/reg:64";
  EXPECT_NE(Export("HKLM\\Software\\PalisadeView", own).find("\"Seen\"=\"yes\""), std::string::npos);
  EXPECT_EQ(Export("HKLM\\Software\\PalisadeView", other), "");
  EXPECT_NE(Export("HKLM\\Software\\PalisadeViewKey", own), "");
  EXPECT_EQ(Export("HKLM\\Software\\PalisadeViewKey", other), "");
  RunResult uninstall = Uninstall(product64 ? "C:\\Program Files" : "C:\\Program Files (x86)");
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_EQ(Export("HKLM\\Software\\PalisadeViewKey", own), "");
  EXPECT_EQ(Export("HKLM\\Software\\PalisadeView", own).find("\"Seen\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Bitness, RegistryView, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == 1 ? std::string("Product64") : std::string("ProductAny");
                         });

}  // namespace
}  // namespace palisade::testing
