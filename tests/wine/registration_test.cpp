// Product registration under Wine: the uninstall key with its values, the
// uninstaller beside the uninstall record, and the installation log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "format/pe_image.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kUninstallKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr char kUninstallFolder[] = "/Program Files/Palisade Test Product/uninstall";
constexpr char kUninstallerWindowsPath[] = "C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr int kNoButton = 7;  // the system's IDNO

InstallerRecipe VersionedProduct() {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.displayVersion = "2.5.1";
  recipe.files = {{"app.txt", std::string(4096, 'a')}, {"sub\\b.txt", "b"}};
  return recipe;
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = std::make_unique<WinePrefix>(); }

  RunResult InstallSilently(const InstallerRecipe& recipe) {
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
    WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    return prefix_->Run({"C:\\cases\\setup.exe", "/silent"});
  }

  std::string QueryKey() { return prefix_->Run({"reg", "query", kUninstallKey}).out; }

  std::string Uninstaller() { return prefix_->DriveC() + kUninstallFolder + "/Uninstall Test.exe"; }

  std::string Log() { return ReadFile(prefix_->DriveC() + kUninstallFolder + "/Install.log"); }

  std::string PendingOperations() {
    return prefix_->Run({"reg", "query", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "/v",
                         "PendingFileRenameOperations"})
        .out;
  }

  std::unique_ptr<WinePrefix> prefix_;
};

TEST_F(Registration, UninstallKeyNamesTheUninstallerAndTheProduct) {
  InstallSilently(VersionedProduct());
  std::string key = QueryKey();
  for (const char* expected : {
           "UninstallString    REG_SZ    \"C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe\" "
           "/u:\"Palisade Test Product\"",
           "QuietUninstallString    REG_SZ    \"C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall "
           "Test.exe\" /a /u:\"Palisade Test Product\"",
           "DisplayName    REG_SZ    Palisade Test Product", "Publisher    REG_SZ    Palisade Tests",
           "DisplayVersion    REG_SZ    2.5.1", "VersionMajor    REG_DWORD    0x2", "VersionMinor    REG_DWORD    0x5",
           "InstallLocation    REG_SZ    C:\\Program Files\\Palisade Test Product",
           "InstallSource    REG_SZ    C:\\cases\\setup.exe", "EstimatedSize    REG_DWORD    0x4",
           "UninstallSubdir    REG_SZ    uninstall"}) {
    EXPECT_NE(key.find(expected), std::string::npos) << expected << "\n" << key;
  }
}

TEST_F(Registration, UninstallerIsTheInstallerOrItsImageWithoutThePayload) {
  InstallerRecipe whole = VersionedProduct();
  InstallSilently(whole);
  std::string copy = ReadFile(Uninstaller());
  EXPECT_EQ(copy, ReadFile(prefix_->DriveC() + "/cases/setup.exe"));

  InstallerRecipe stripped = VersionedProduct();
  stripped.productFlags2 |= format::product_flags2::kStripPayload;
  InstallSilently(stripped);
  std::string small = ReadFile(Uninstaller());
  Bytes image(small.begin(), small.end());
  EXPECT_FALSE(format::FindPayloadSection(image).found);
  EXPECT_EQ(small.size(), ReadFile(EnginePath()).size());
}

struct UninstallerRoad {
  const char* name;
  std::function<void(InstallerRecipe&)> shape;
};

const UninstallerRoad kUninstallerRoads[] = {
    {"copy of the installer", [](InstallerRecipe&) {}},
    {"image without the payload",
     [](InstallerRecipe& r) { r.productFlags2 |= format::product_flags2::kStripPayload; }},
};

TEST_F(Registration, UninstallerCarriesTheScriptsTimeStamp) {
  constexpr int64_t kUninstallerUnixTime = 1683356889;  // 2023-05-06 07:08:09 UTC
  for (const UninstallerRoad& road : kUninstallerRoads) {
    InstallerRecipe recipe = VersionedProduct();
    recipe.script.uninstallerTime = {2023, 5, 6, 7, 8, 9};
    road.shape(recipe);
    InstallSilently(recipe);
    struct stat facts {};
    ASSERT_EQ(stat(Uninstaller().c_str(), &facts), 0) << road.name;
    EXPECT_EQ(facts.st_mtime, kUninstallerUnixTime) << road.name;
  }
}

// A reinstallation started from the old uninstaller finds it in use: the
// new one waits beside it for the restart, and the run asks for one.
TEST_F(Registration, UninstallerInUseIsReplacedAtTheNextRestart) {
  for (const UninstallerRoad& road : kUninstallerRoads) {
    prefix_ = std::make_unique<WinePrefix>();
    InstallerRecipe recipe = VersionedProduct();
    recipe.script.productFlagsHigh |= format::product_flags_high::kAskRestartInAutomaticMode;
    recipe.script.messages[20][0] = u"Acme Restart";
    recipe.script.messages[37][0] = u"Restart now?";
    road.shape(recipe);
    InstallSilently(recipe);
    Started holder = prefix_->Start({WindowsTestProgram("engine_probe.exe"), "hold-file", kUninstallerWindowsPath});
    ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Probe"}).exitCode, 0) << road.name;

    WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    Started reinstall = prefix_->Start({"C:\\cases\\setup.exe", "/a"});
    EXPECT_EQ(prefix_->WindowHelper({"press", std::to_string(kNoButton), "--caption", "Acme Restart"}).exitCode, 0)
        << road.name;
    EXPECT_EQ(prefix_->Wait(reinstall).exitCode, 1) << road.name;
    prefix_->WindowHelper({"press", "1", "--caption", "Probe"});
    prefix_->Wait(holder);

    std::string log = Log();
    EXPECT_NE(log.find("\"" + std::string(kUninstallerWindowsPath) +
                       "\" was successfully registered for replacement.\r\nTemporary file is \"C:\\Program "
                       "Files\\Palisade Test Product\\uninstall\\TST"),
              std::string::npos)
        << road.name << log;
    EXPECT_EQ(log.find("FAILURE SUMMARY"), std::string::npos) << road.name << log;
    EXPECT_NE(PendingOperations().find("uninstall\\Uninstall Test.exe"), std::string::npos) << road.name;
  }
}

TEST_F(Registration, RecordAndLogLieInTheUninstallFolder) {
  RunResult run = InstallSilently(VersionedProduct());
  EXPECT_EQ(run.err, "");
  std::string record = ReadFile(prefix_->DriveC() + kUninstallFolder + "/Uninstall.DAT");
  EXPECT_NE(record.find("C:\\Program Files\\Palisade Test Product\\app.txt\r\n"), std::string::npos) << record;
  EXPECT_NE(record.find("~C:\\Program Files\\Palisade Test Product\\sub\r\n"), std::string::npos) << record;
  std::string log = Log();
  EXPECT_NE(log.find("Installation log for: Palisade Test Product\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Product version: 2.5.1\r\n"), std::string::npos) << log;
}

// A name beyond the registry's 16,383 characters cannot be stored, on the
// key itself or below it.
TEST_F(Registration, ExtraValuesAreExpandedAndEachFailureIsReported) {
  InstallerRecipe recipe = VersionedProduct();
  std::string tooLong(20000, 'n');
  recipe.script.registrationValues = {{"HelpFolder", 1, "%InstallDir%\\docs"},
                                      {"Tools\\Home", 2, "%InstallDir%\\bin"},
                                      {tooLong, 1, "on the key"},
                                      {"Deep\\" + tooLong, 1, "below the key"}};
  InstallSilently(recipe);
  std::string key = QueryKey();
  EXPECT_NE(key.find("HelpFolder    REG_SZ    C:\\Program Files\\Palisade Test Product\\docs"), std::string::npos)
      << key;
  std::string tools = prefix_->Run({"reg", "query", std::string(kUninstallKey) + "\\Tools"}).out;
  EXPECT_NE(tools.find("Home    REG_EXPAND_SZ    C:\\Program Files\\Palisade Test Product\\bin"), std::string::npos)
      << tools;
  std::string log = Log();
  for (size_t at = log.find(tooLong); at != std::string::npos; at = log.find(tooLong)) log.replace(at, tooLong.size(), "N");
  std::string summary = log.substr(std::min(log.find("FAILURE SUMMARY"), log.size()));
  EXPECT_NE(summary.find("Failed to save data in registry key \"N\": "), std::string::npos) << log;
  EXPECT_NE(summary.find("Failed to save data in registry key \"Deep\\N\": "), std::string::npos) << log;
}

TEST_F(Registration, ReinstallingAppendsASecondHeaderToTheLog) {
  InstallSilently(VersionedProduct());
  InstallSilently(VersionedProduct());
  std::string log = Log();
  size_t first = log.find("Installation log for:");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(log.find("Installation log for:", first + 1), std::string::npos) << log;
}

}  // namespace
}  // namespace palisade::testing
