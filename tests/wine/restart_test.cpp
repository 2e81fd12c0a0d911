// Work left to the next restart under Wine: a file in use waits in the
// system's pending list with its temporary file until Wine's own restart
// puts it in place; the run's restart request lets Windows finish that
// work; the restart marker is written, waits for the restart and goes with
// the uninstaller.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

constexpr char kFolder[] = "/Program Files/Palisade Test Product";
constexpr char kWindowsFolder[] = "C:\\Program Files\\Palisade Test Product";
constexpr char kRestartCaption[] = "Acme Restart";
constexpr int kNoButton = 7;  // the system's IDNO

InstallerRecipe Product(const std::string& contents) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.messages[20][0] = u"Acme Restart";
  recipe.script.messages[37][0] = u"Restart now?";
  recipe.files = {{"app.dll", contents}};
  return recipe;
}

class Restart : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(prefix_.DriveC() + "/cases"); }

  std::string Place(const InstallerRecipe& recipe) {
    WriteBytes(prefix_.DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    return "C:\\cases\\setup.exe";
  }

  std::string PendingOperations() {
    return prefix_
        .Run({"reg", "query", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "/v",
              "PendingFileRenameOperations"})
        .out;
  }

  // A program that keeps a file open, shared with no one, until it is let go.
  Started Hold(const std::string& windowsPath) {
    Started holder = prefix_.Start({WindowsTestProgram("engine_probe.exe"), "hold-file", windowsPath});
    EXPECT_EQ(prefix_.WindowHelper({"wait", "--caption", "Probe"}).exitCode, 0);
    return holder;
  }
  void LetGo(Started& holder) {
    prefix_.WindowHelper({"press", "1", "--caption", "Probe"});
    prefix_.Wait(holder);
  }

  WinePrefix prefix_;
};

TEST_F(Restart, AFileInUseWaitsWithItsTemporaryFileUntilTheRestartPutsItInPlace) {
  ASSERT_EQ(prefix_.Run({Place(Product("old")), "/silent"}).exitCode, 1);
  Started holder = Hold(std::string(kWindowsFolder) + "\\app.dll");
  InstallerRecipe update = Product("new");
  update.script.productFlagsHigh |= high::kAskRestartInAutomaticMode;
  Started run = prefix_.Start({Place(update), "/a"}, {kDebugOutput});
  std::string question = prefix_.WindowHelper({"texts", "--caption", kRestartCaption}).out;
  prefix_.WindowHelper({"press", std::to_string(kNoButton), "--caption", kRestartCaption});
  RunResult result = prefix_.Wait(run);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(question.find("Restart now?"), std::string::npos) << question;

  // While the holder keeps Wine's session going, nothing has restarted.
  std::string pending = PendingOperations();
  std::smatch temporary;
  ASSERT_TRUE(std::regex_search(pending, temporary, std::regex(R"(\\\?\?\\C:\\Program Files\\Palisade Test Product\\(TST[0-9A-Fa-f]+\.tmp))")))
      << pending;
  EXPECT_NE(pending.find("!\\??\\C:\\Program Files\\Palisade Test Product\\app.dll"), std::string::npos) << pending;
  const std::string waiting = prefix_.DriveC() + kFolder + "/" + temporary[1].str();
  EXPECT_EQ(ReadFile(waiting), "new");
  EXPECT_EQ(ReadFile(prefix_.DriveC() + kFolder + "/app.dll"), "old");
  LetGo(holder);

  prefix_.Run({"wineboot", "-r"});
  EXPECT_EQ(ReadFile(prefix_.DriveC() + kFolder + "/app.dll"), "new");
  EXPECT_FALSE(FileExists(waiting));
  EXPECT_EQ(PendingOperations().find("app.dll"), std::string::npos);
}

// Wine's answer to a restart request is its own restart of the session,
// which carries out the pending operations: the marker waiting for the
// restart goes once the run has asked for one, and stays when the user
// declines.
TEST_F(Restart, TheRunsRestartRequestLetsWindowsFinishThePendingWork) {
  const std::string marker = prefix_.DriveC() + kFolder + "/reboot.dat";
  InstallerRecipe recipe = Product("app");
  recipe.script.rebootMarker = true;
  recipe.script.productFlagsLow |= low::kRestartQuestion;

  InstallerRecipe declined = recipe;
  declined.script.productFlagsHigh |= high::kAskRestartInAutomaticMode;
  Started run = prefix_.Start({Place(declined), "/a"});
  prefix_.WindowHelper({"press", std::to_string(kNoButton), "--caption", kRestartCaption});
  EXPECT_EQ(prefix_.Wait(run).exitCode, 1);
  EXPECT_TRUE(FileExists(marker));
  EXPECT_NE(PendingOperations().find("Palisade Test Product\\reboot.dat"), std::string::npos);

  RunResult restarted = prefix_.Run({Place(recipe), "/silent"}, 60, {kDebugOutput});
  std::vector<std::string> trace = EngineTrace(restarted.err);
  EXPECT_NE(std::find(trace.begin(), trace.end(), "restart requested"), trace.end()) << restarted.err;
  // Wine's restart runs beside the ending installer; no other program of
  // the session is started meanwhile, so only that restart can take it.
  EXPECT_TRUE(WaitUntilGone(marker, 20)) << "the restart did not delete the marker";
  EXPECT_TRUE(FileExists(prefix_.DriveC() + kFolder + "/app.dll"));
}

TEST_F(Restart, TheMarkerGoesWithTheUninstallerWhenNoRestartCameFirst) {
  const std::string marker = prefix_.DriveC() + kFolder + "/reboot.dat";
  InstallerRecipe recipe = Product("app");
  recipe.script.rebootMarker = true;
  ASSERT_EQ(prefix_.Run({Place(recipe), "/silent"}).exitCode, 1);
  EXPECT_EQ(ReadFile(marker), "");
  EXPECT_TRUE(FileExists(marker));
  EXPECT_NE(ReadFile(prefix_.DriveC() + kFolder + "/uninstall/Uninstall.DAT").find(std::string(kWindowsFolder) +
                                                                                    "\\reboot.dat\r\n"),
            std::string::npos);
  RunResult uninstall =
      prefix_.Run({std::string(kWindowsFolder) + "\\uninstall\\Uninstall Test.exe", "/u:\"Palisade Test Product\"", "/silent"});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_TRUE(WaitUntilGone(prefix_.DriveC() + kFolder, 20));
}

}  // namespace
}  // namespace palisade::testing
