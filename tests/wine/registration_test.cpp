// Product registration under Wine: the uninstall key with its values, the
// uninstaller beside the uninstall record, and the installation log.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "format/pe_image.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kUninstallKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr char kUninstallFolder[] = "/Program Files/Palisade Test Product/uninstall";

InstallerRecipe ProductWithUninstaller() {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.productFlagsLow |= format::product_flags_low::kPreviousInstallation |
                                   format::product_flags_low::kKeepInstallLog;
  recipe.script.publisher = "Palisade Tests";
  recipe.script.displayVersion = "2.5.1";
  recipe.script.uninstallSubfolder = "uninstall";
  recipe.script.uninstallerName = "Uninstall Test.exe";
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

  std::unique_ptr<WinePrefix> prefix_;
};

TEST_F(Registration, UninstallKeyNamesTheUninstallerAndTheProduct) {
  InstallSilently(ProductWithUninstaller());
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
  InstallerRecipe whole = ProductWithUninstaller();
  InstallSilently(whole);
  std::string copy = ReadFile(Uninstaller());
  EXPECT_EQ(copy, ReadFile(prefix_->DriveC() + "/cases/setup.exe"));

  InstallerRecipe stripped = ProductWithUninstaller();
  stripped.productFlags2 |= format::product_flags2::kStripPayload;
  InstallSilently(stripped);
  std::string small = ReadFile(Uninstaller());
  Bytes image(small.begin(), small.end());
  EXPECT_FALSE(format::FindPayloadSection(image).found);
  EXPECT_EQ(small.size(), ReadFile(EnginePath()).size());
}

TEST_F(Registration, RecordAndLogLieInTheUninstallFolder) {
  RunResult run = InstallSilently(ProductWithUninstaller());
  EXPECT_EQ(run.err, "");
  std::string record = ReadFile(prefix_->DriveC() + kUninstallFolder + "/Uninstall.DAT");
  EXPECT_NE(record.find("C:\\Program Files\\Palisade Test Product\\app.txt\r\n"), std::string::npos) << record;
  EXPECT_NE(record.find("~C:\\Program Files\\Palisade Test Product\\sub\r\n"), std::string::npos) << record;
  std::string log = ReadFile(prefix_->DriveC() + kUninstallFolder + "/Install.log");
  EXPECT_NE(log.find("Installation log for: Palisade Test Product\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Product version: 2.5.1\r\n"), std::string::npos) << log;
}

// A name beyond the registry's 16,383 characters cannot be stored, on the
// key itself or below it.
TEST_F(Registration, ExtraValuesAreExpandedAndEachFailureIsReported) {
  InstallerRecipe recipe = ProductWithUninstaller();
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
  std::string log = ReadFile(prefix_->DriveC() + kUninstallFolder + "/Install.log");
  for (size_t at = log.find(tooLong); at != std::string::npos; at = log.find(tooLong)) log.replace(at, tooLong.size(), "N");
  std::string summary = log.substr(std::min(log.find("FAILURE SUMMARY"), log.size()));
  EXPECT_NE(summary.find("Failed to save data in registry key \"N\": "), std::string::npos) << log;
  EXPECT_NE(summary.find("Failed to save data in registry key \"Deep\\N\": "), std::string::npos) << log;
}

TEST_F(Registration, ReinstallingAppendsASecondHeaderToTheLog) {
  InstallSilently(ProductWithUninstaller());
  InstallSilently(ProductWithUninstaller());
  std::string log = ReadFile(prefix_->DriveC() + kUninstallFolder + "/Install.log");
  size_t first = log.find("Installation log for:");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(log.find("Installation log for:", first + 1), std::string::npos) << log;
}

}  // namespace
}  // namespace palisade::testing
