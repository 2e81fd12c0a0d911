// A product installed version after version under Wine: the kind of each
// installation and its question, the downgrade floor, the hand-over to the
// earlier uninstaller that starts the new installer again, and folders that
// a registry value names.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

constexpr char kKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Upgrades";
constexpr char kFolder[] = "/Program Files/Acme Upgrades";
constexpr char kTypeCaption[] = "Acme Upgrades: installing over an earlier version";

InstallerRecipe Acme(const std::string& version, const std::string& contents) {
  InstallerRecipe recipe = ProductWithUninstaller();
  format::SetupScript& s = recipe.script;
  s.productName = "Acme Upgrades";
  s.displayVersion = version;
  s.productFlagsLow |= low::kNoSummary;
  // No greeting: the installation type's question and the warnings are the
  // first windows an interactive run shows.
  s.productFlagsHigh |= high::kCompareVersions | high::kNoGreeting;
  for (auto [number, text] : {std::pair{2, kTypeCaption}, {3, "Over an earlier installation"}, {4, "Reinstallation"},
                              {5, "Upgrade"}, {6, "Downgrade"}, {7, "Go on?"}, {9, "No uninstaller"},
                              {20, "Acme Warning"}, {72, "Upgrading from an old version"},
                              {106, "Versions below %s may not be installed"}}) {
    s.messages[static_cast<size_t>(number)][0] = std::u16string(text, text + std::char_traits<char>::length(text));
  }
  recipe.files = {{"app.txt", contents}};
  return recipe;
}

class Upgrades : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(prefix_.DriveC() + "/cases"); }

  std::string Place(const InstallerRecipe& recipe, const std::string& name) {
    WriteBytes(prefix_.DriveC() + "/cases/" + name + ".exe", BuildInstaller(recipe));
    return "C:\\cases\\" + name + ".exe";
  }

  RunResult Automatic(const InstallerRecipe& recipe, const std::string& name) {
    return prefix_.Run({Place(recipe, name), "/a"}, 60, {kDebugOutput});
  }

  // An interactive run whose installation-type question is answered yes;
  // the question's text, or "" when none came.
  RunResult AnsweringTheQuestion(const InstallerRecipe& recipe, const std::string& name, std::string& question) {
    Started run = prefix_.Start({Place(recipe, name)}, {kDebugOutput});
    question = prefix_.WindowHelper({"texts", "--caption", kTypeCaption}).out;
    prefix_.WindowHelper({"press", "6", "--caption", kTypeCaption});
    return prefix_.Wait(run);
  }

  std::string Value(const std::string& name) {
    std::string out = prefix_.Run({"reg", "query", kKey, "/v", name}).out;
    size_t at = out.find("REG_SZ");
    if (at == std::string::npos) return "";
    std::string value = out.substr(at + 6);
    value.erase(0, value.find_first_not_of(' '));
    return value.substr(0, value.find_first_of("\r\n"));
  }

  std::string Contents() { return ReadFile(prefix_.DriveC() + kFolder + "/app.txt"); }

  WinePrefix prefix_;
};

std::string TypeTrace(const RunResult& run) {
  for (const std::string& line : EngineTrace(run.err)) {
    if (line.rfind("installation type ", 0) == 0) return line.substr(18);
  }
  return "";
}

TEST_F(Upgrades, EachInstallationTakesItsKindAndAsksWithItsMessage) {
  InstallerRecipe one = Acme("1.0", "one"), two = Acme("2.0", "two");
  two.script.noDowngradeBelow = "2.0";

  RunResult first = Automatic(one, "one");
  EXPECT_EQ(first.exitCode, 1);
  EXPECT_EQ(TypeTrace(first), "") << "a first installation has no kind to ask about";
  EXPECT_EQ(Value("DisplayVersion"), "1.0");

  struct Step {
    const InstallerRecipe* recipe;
    const char* name;
    const char* type;
    const char* message;
    const char* version;
  };
  const Step steps[] = {{&one, "one", "4", "Reinstallation", "1.0"}, {&two, "two", "5", "Upgrade", "2.0"}};
  for (const Step& step : steps) {
    std::string question;
    RunResult run = AnsweringTheQuestion(*step.recipe, step.name, question);
    EXPECT_EQ(run.exitCode, 1) << step.message;
    EXPECT_EQ(TypeTrace(run), step.type) << step.message;
    EXPECT_NE(question.find(std::string("65535\tStatic\t") + step.message), std::string::npos) << question;
    EXPECT_NE(question.find("Go on?"), std::string::npos) << question;
    EXPECT_EQ(Value("DisplayVersion"), step.version) << step.message;
  }
  EXPECT_EQ(Contents(), "two");
  EXPECT_EQ(Value("NoDowngradeBelow"), "2.0");

  RunResult refused = Automatic(one, "one");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Versions below 2.0 may not be installed"), std::string::npos) << refused.err;
  EXPECT_EQ(Value("DisplayVersion"), "2.0");
  EXPECT_EQ(Contents(), "two");

  // A 2.0 that set no floor lets 1.0 in, as a downgrade.
  prefix_.Run({"reg", "delete", kKey, "/v", "NoDowngradeBelow", "/f"});
  std::string question;
  RunResult downgrade = AnsweringTheQuestion(one, "one", question);
  EXPECT_EQ(TypeTrace(downgrade), "6");
  EXPECT_NE(question.find("65535\tStatic\tDowngrade"), std::string::npos) << question;
  EXPECT_EQ(Value("DisplayVersion"), "1.0");
  EXPECT_EQ(Contents(), "one");
}

// A first installation runs neither batch; a reinstallation the reinstall
// batch; an upgrade the upgrade batch and then, as the script does not keep
// it to the same version, the reinstall batch.
TEST_F(Upgrades, EachKindRunsItsBatches) {
  auto withBatches = [](InstallerRecipe recipe) {
    recipe.script.batches[format::kUpgradeBatch] = "echo upgrade>>C:\\kinds.txt";
    recipe.script.batches[format::kReinstallBatch] = "echo reinstall>>C:\\kinds.txt";
    return recipe;
  };
  ASSERT_EQ(Automatic(withBatches(Acme("1.0", "one")), "one").exitCode, 1);
  EXPECT_EQ(ReadFile(prefix_.DriveC() + "/kinds.txt"), "");
  ASSERT_EQ(Automatic(withBatches(Acme("1.0", "one")), "one").exitCode, 1);
  ASSERT_EQ(Automatic(withBatches(Acme("2.0", "two")), "two").exitCode, 1);
  EXPECT_EQ(ReadFile(prefix_.DriveC() + "/kinds.txt"), "reinstall\r\nupgrade\r\nreinstall\r\n");
}

TEST_F(Upgrades, AnotherProductIsAFirstInstallationBesideIt) {
  ASSERT_EQ(Automatic(Acme("1.0", "one"), "one").exitCode, 1);
  InstallerRecipe other = ProductWithUninstaller();
  other.script.productName = "Other Product";
  other.script.productFlagsLow |= low::kNoSummary;
  other.files = {{"other.txt", "other"}};
  // No installation type is traced for a first installation.
  RunResult run = Automatic(other, "other");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(TypeTrace(run), "");
  EXPECT_EQ(ReadFile(prefix_.DriveC() + "/Program Files/Other Product/other.txt"), "other");
  EXPECT_EQ(Value("DisplayVersion"), "1.0");
}

// Must-uninstall, even in an automatic run: the earlier uninstaller removes
// 1.0 and starts the 2.0 installer again, which installs into a clean place.
TEST_F(Upgrades, AnEarlierVersionThatMustGoFirstIsUninstalledAndTheInstallerStartsAgain) {
  InstallerRecipe one = Acme("1.0", "one");
  one.files.push_back({"only-in-one.txt", "old"});
  ASSERT_EQ(Automatic(one, "one").exitCode, 1);
  InstallerRecipe two = Acme("2.0", "two");
  two.script.productFlagsLow |= low::kMustUninstallFirst;
  two.script.mustUninstallBelow = "2.0";

  // The must-uninstall dialog is shown even in an automatic run; it is
  // answered with its Uninstall button (1001).
  Started started = prefix_.Start({Place(two, "two"), "/a"}, {kDebugOutput});
  EXPECT_EQ(prefix_.WindowHelper({"press", "1001", "--class", "#32770"}).exitCode, 0);
  RunResult handOver = prefix_.Wait(started);
  EXPECT_EQ(handOver.exitCode, 1);
  EXPECT_EQ(TypeTrace(handOver), "") << "the run ends before it installs anything";

  bool installed = false;
  for (int second = 0; second < 60 && !installed; ++second) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    installed = Value("DisplayVersion") == "2.0" && Contents() == "two";
  }
  ASSERT_TRUE(installed) << "the hand-over did not end with 2.0 installed";
  CommandOutput("WINEPREFIX='" + prefix_.Path() + "' wineserver -w");
  EXPECT_FALSE(FileExists(prefix_.DriveC() + kFolder + "/only-in-one.txt")) << "1.0 was not uninstalled";
  EXPECT_TRUE(FileExists(prefix_.DriveC() + kFolder + "/uninstall/Uninstall Test.exe"));
  EXPECT_EQ(Value("DisplayVersion"), "2.0");

  // 2.0 over 2.0 is no longer below the limit: it installs without a hand-over.
  RunResult again = Automatic(two, "two");
  EXPECT_EQ(TypeTrace(again), "4");
}

TEST_F(Upgrades, DecliningTheUpgradeWarningLeavesTheEarlierVersion) {
  ASSERT_EQ(Automatic(Acme("1.0", "one"), "one").exitCode, 1);
  InstallerRecipe two = Acme("2.0", "two");
  two.script.productFlagsLow |= low::kNoInstallationTypeQuestion;
  two.script.productFlagsHigh |= high::kWarnWhenUpgrading;
  two.script.upgradeWarningBelow = "1.5";
  Started run = prefix_.Start({Place(two, "two")});
  std::string warning = prefix_.WindowHelper({"texts", "--caption", "Acme Warning"}).out;
  prefix_.WindowHelper({"press", "7", "--caption", "Acme Warning"});
  EXPECT_EQ(prefix_.Wait(run).exitCode, 1);
  EXPECT_NE(warning.find("Upgrading from an old version"), std::string::npos) << warning;
  EXPECT_EQ(Value("DisplayVersion"), "1.0");
  EXPECT_EQ(Contents(), "one");
}

TEST_F(Upgrades, AnEarlierVersionWithoutItsUninstallerCannotGoFirst) {
  ASSERT_EQ(Automatic(Acme("1.0", "one"), "one").exitCode, 1);
  std::filesystem::remove(prefix_.DriveC() + kFolder + "/uninstall/Uninstall Test.exe");
  InstallerRecipe two = Acme("2.0", "two");
  two.script.productFlagsLow |= low::kMustUninstallFirst;
  RunResult refused = prefix_.Run({Place(two, "two"), "/silent"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("No uninstaller"), std::string::npos) << refused.err;
  EXPECT_EQ(Value("DisplayVersion"), "1.0");
}

TEST_F(Upgrades, AFolderNamedByARegistryValueIsTakenAsItIs) {
  const char kValueKey[] = "HKLM\\Software\\Palisade Tests";
  std::filesystem::create_directories(prefix_.DriveC() + "/Chosen Place");
  InstallerRecipe recipe = Acme("1.0", "one");
  recipe.script.installFolderRule = "HKLM\\Software\\Palisade Tests\\Folder";

  RunResult missing = Automatic(recipe, "one");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Failed to obtain installation path from \"HKLM\\Software\\Palisade Tests\\Folder\""),
            std::string::npos)
      << missing.err;

  prefix_.Run({"reg", "add", kValueKey, "/v", "Folder", "/d", "C:\\Nowhere", "/f"});
  RunResult absent = Automatic(recipe, "one");
  EXPECT_NE(absent.err.find("Installation path \"C:\\Nowhere\" obtained from \"HKLM\\Software\\Palisade Tests\\Folder\" "
                            "does not exist."),
            std::string::npos)
      << absent.err;

  prefix_.Run({"reg", "add", kValueKey, "/v", "Folder", "/d", "C:\\Chosen Place", "/f"});
  ASSERT_EQ(Automatic(recipe, "one").exitCode, 1);
  EXPECT_EQ(ReadFile(prefix_.DriveC() + "/Chosen Place/app.txt"), "one");
  // Over its own earlier installation the folder is still final: no kind,
  // no hand-over, even for a version that must uninstall the earlier one.
  InstallerRecipe two = Acme("2.0", "two");
  two.script.installFolderRule = recipe.script.installFolderRule;
  two.script.productFlagsLow |= low::kMustUninstallFirst;
  RunResult over = Automatic(two, "two");
  EXPECT_EQ(TypeTrace(over), "");
  EXPECT_EQ(ReadFile(prefix_.DriveC() + "/Chosen Place/app.txt"), "two");
}

}  // namespace
}  // namespace palisade::testing
