// Close rules under Wine: test programs with known window classes and
// titles are closed, told to quit, asked about (Retry and Cancel pressed
// by the window helper) or ended, at installation and at uninstallation,
// and nothing of the installer's own process is touched.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace close_action = format::close_action;
namespace close_when = format::close_when;

constexpr int kClosedExit = 10;
constexpr int kQuitExit = 11;
constexpr int kEndedExit = 0;
constexpr char kStopFile[] = "C:\\closeme.stop";
constexpr char kAskCaption[] = "Close Acme programs";
constexpr char kUninstallAskCaption[] = "Remove Acme";
constexpr char kRetry[] = "4";
constexpr char kCancel[] = "2";
constexpr char kUninstaller[] = "C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";

InstallerRecipe ProductWithRules(const std::vector<format::CloseRule>& rules) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", "app"}};
  recipe.script.closeRules = rules;
  recipe.script.messages[99][0] = u"Please close %s.";
  recipe.script.messages[65][0] = u"Close Acme programs";
  recipe.script.messages[107][0] = u"Please close %s before removing.";
  recipe.script.messages[55][0] = u"Remove Acme";
  return recipe;
}

class CloseRules : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = std::make_unique<WinePrefix>(); }

  // A window of the class and title, shown before this returns.
  Started Window(const std::string& windowClass, const std::string& title) {
    Started window = prefix_->Start({WindowsTestProgram("closeme.exe"), windowClass, title, kStopFile});
    EXPECT_EQ(prefix_->WindowHelper({"wait", "--class", windowClass}).exitCode, 0) << windowClass;
    return window;
  }
  bool StillThere(const std::string& windowClass) {
    return prefix_->WindowHelper({"wait", "--class", windowClass, "--timeout", "500"}).exitCode == 0;
  }
  void Stop() { WriteBytes(prefix_->DriveC() + "/closeme.stop", Bytes{'x'}); }

  // The handle of the visible window with the caption; empty when none.
  std::string Handle(const std::string& caption) {
    std::string list = prefix_->WindowHelper({"list"}).out;
    for (size_t start = 0; start < list.size();) {
      size_t end = list.find('\n', start);
      std::string line = list.substr(start, end - start);
      if (line.find("\t1\t") != std::string::npos && line.find("\t" + caption + "\t") != std::string::npos) {
        return line.substr(0, line.find('\t'));
      }
      start = end == std::string::npos ? list.size() : end + 1;
    }
    return {};
  }
  // Waits for a box with the caption that is not `previous`.
  std::string NextBox(const std::string& caption, const std::string& previous = "") {
    for (int tries = 0; tries < 100; ++tries) {
      std::string handle = Handle(caption);
      if (!handle.empty() && handle != previous) return handle;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
  }
  bool Installed() { return FileExists(prefix_->DriveC() + "/Program Files/Palisade Test Product/app.txt"); }

  std::unique_ptr<WinePrefix> prefix_;
};

TEST_F(CloseRules, CloseQuitAndEndAtInstallationAndTheRestKeptForTheUninstaller) {
  Started closed = Window("AcmeClose", "Acme Notes");
  Started quit = Window("AcmeQuit", "Acme Quick Viewer");
  Started ended = Window("AcmeEnd", "Acme Sync");
  Started later = Window("AcmeLater", "Acme Tray");
  Started asked = Window("AcmeAsk", "Acme Editor");
  InstallerRecipe recipe = ProductWithRules({
      {"AcmeClose", "", "Acme Notes", close_action::kClose, close_when::kInstall},
      {"", "*Quick Viewer", "Viewer", close_action::kQuit, close_when::kInstall},
      {"AcmeEnd", "Acme Sync", "Sync", close_action::kEndProcess, close_when::kInstall},
      {"AcmeLater", "", "Tray", close_action::kClose, close_when::kUninstall},
      {"AcmeAsk", "", "Editor", close_action::kAsk, close_when::kInstall},
  });
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);
  EXPECT_EQ(prefix_->Wait(closed, 10).exitCode, kClosedExit);
  EXPECT_EQ(prefix_->Wait(quit, 10).exitCode, kQuitExit);
  EXPECT_EQ(prefix_->Wait(ended, 10).exitCode, kEndedExit);
  EXPECT_TRUE(StillThere("AcmeLater")) << "kept for the uninstaller";
  EXPECT_TRUE(StillThere("AcmeAsk")) << "a silent run asks nobody";
  EXPECT_TRUE(Installed());
  std::string record = ReadFile(prefix_->DriveC() + "/Program Files/Palisade Test Product/uninstall/Uninstall.DAT");
  size_t section = record.find("\r\n[AutoClose]\r\n");
  ASSERT_NE(section, std::string::npos) << record;
  EXPECT_EQ(record.substr(section), "\r\n[AutoClose]\r\nAcmeLater,,Tray,0\r\n") << record;

  RunResult uninstall = prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}, 90);
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_EQ(prefix_->Wait(later, 10).exitCode, kClosedExit);
  Stop();
  prefix_->Wait(asked, 10);
}

TEST_F(CloseRules, AskedAgainWhileTheWindowIsThere) {
  Started editor = Window("AcmeAsk", "Acme Editor");
  InstallerRecipe recipe = ProductWithRules({{"AcmeAsk", "", "Acme Editor", close_action::kAsk, close_when::kInstall}});
  Started installer = prefix_->Start({PlaceInstaller(*prefix_, recipe, "setup"), "/a"});
  std::string first = NextBox(kAskCaption);
  ASSERT_FALSE(first.empty());
  std::string texts = prefix_->WindowHelper({"texts", "--caption", kAskCaption}).out;
  EXPECT_NE(texts.find("Please close Acme Editor."), std::string::npos) << texts;
  ASSERT_EQ(prefix_->WindowHelper({"press", kRetry, "--caption", kAskCaption}).exitCode, 0);
  std::string second = NextBox(kAskCaption, first);
  ASSERT_FALSE(second.empty()) << "Retry while the window is there asks again";
  Stop();
  EXPECT_EQ(prefix_->Wait(editor, 10).exitCode, kClosedExit);
  ASSERT_EQ(prefix_->WindowHelper({"press", kRetry, "--caption", kAskCaption}).exitCode, 0);
  EXPECT_EQ(prefix_->Wait(installer, 90).exitCode, 1);
  EXPECT_TRUE(Installed());
}

TEST_F(CloseRules, CancelEndsTheInstallationBeforeAnythingIsInstalled) {
  Started editor = Window("AcmeAsk", "Acme Editor");
  InstallerRecipe recipe = ProductWithRules({{"AcmeAsk", "", "Acme Editor", close_action::kAsk, close_when::kInstall}});
  Started installer = prefix_->Start({PlaceInstaller(*prefix_, recipe, "setup"), "/a"});
  ASSERT_FALSE(NextBox(kAskCaption).empty());
  ASSERT_EQ(prefix_->WindowHelper({"press", kCancel, "--caption", kAskCaption}).exitCode, 0);
  EXPECT_EQ(prefix_->Wait(installer, 30).exitCode, 1);
  EXPECT_FALSE(Installed());
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Program Files/Palisade Test Product"));
  EXPECT_TRUE(StillThere("AcmeAsk"));
  Stop();
  prefix_->Wait(editor, 10);
}

// The uninstaller closes before it asks to go on, and asks the user about
// the rest afterwards; Cancel there leaves the product installed.
TEST_F(CloseRules, AtUninstallationClosedFirstAndAskedAfter) {
  InstallerRecipe recipe = ProductWithRules({
      {"AcmeClose", "", "Acme Notes", close_action::kClose, close_when::kInstall | close_when::kUninstall},
      {"AcmeAsk", "", "Acme Editor", close_action::kAsk, close_when::kUninstall},
  });
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);
  Started closed = Window("AcmeClose", "Acme Notes");
  Started editor = Window("AcmeAsk", "Acme Editor");

  Started cancelled = prefix_->Start({kUninstaller, kUninstallSwitch, "/a"});
  ASSERT_FALSE(NextBox(kUninstallAskCaption).empty());
  EXPECT_EQ(prefix_->Wait(closed, 10).exitCode, kClosedExit);
  std::string texts = prefix_->WindowHelper({"texts", "--caption", kUninstallAskCaption}).out;
  EXPECT_NE(texts.find("Please close Acme Editor before removing."), std::string::npos) << texts;
  ASSERT_EQ(prefix_->WindowHelper({"press", kCancel, "--caption", kUninstallAskCaption}).exitCode, 0);
  EXPECT_EQ(prefix_->Wait(cancelled, 30).exitCode, 1);
  EXPECT_TRUE(Installed());

  Started uninstaller = prefix_->Start({kUninstaller, kUninstallSwitch, "/a"});
  ASSERT_FALSE(NextBox(kUninstallAskCaption).empty());
  Stop();
  EXPECT_EQ(prefix_->Wait(editor, 10).exitCode, kClosedExit);
  ASSERT_EQ(prefix_->WindowHelper({"press", kRetry, "--caption", kUninstallAskCaption}).exitCode, 0);
  RunResult done = prefix_->Wait(uninstaller, 90);
  EXPECT_EQ(done.exitCode, 0) << done.err;
  EXPECT_FALSE(Installed());
}

// A rule that names the installer's own window ends every other process
// with such a window, and never the installer's.
// The uninstaller's rules come from the record: one that ends a process
// ends the product's own program and not another program whose window
// looks the same.
TEST_F(CloseRules, AtUninstallationOnlyTheProductsOwnProgramIsEnded) {
  InstallerRecipe recipe =
      ProductWithRules({{"AcmeSync", "", "Sync", close_action::kEndProcess, close_when::kUninstall}});
  recipe.files.push_back({"closeme.exe", ReadFile(WindowsTestProgram("closeme.exe"))});
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);
  Started own = prefix_->Start({"C:\\Program Files\\Palisade Test Product\\closeme.exe", "AcmeSync", "Own", kStopFile});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Own"}).exitCode, 0);
  Started other = prefix_->Start({WindowsTestProgram("closeme.exe"), "AcmeSync", "Other", kStopFile});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Other"}).exitCode, 0);

  prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}, 90);
  EXPECT_EQ(prefix_->Wait(own, 10).exitCode, kEndedExit);
  Stop();
  EXPECT_EQ(prefix_->Wait(other, 10).exitCode, kClosedExit) << "closed by the test, not ended by the uninstaller";
}

TEST_F(CloseRules, TheInstallersOwnWindowsAreNeverTouched) {
  Started other = Window("PalisadeProbeMain", "Probe main window");
  RunResult probe = prefix_->Run({WindowsTestProgram("engine_probe.exe"), "--main-window", "end-class", "PalisadeProbeMain"});
  EXPECT_EQ(probe.out, "result 0\n");
  EXPECT_EQ(probe.exitCode, 0);
  EXPECT_EQ(prefix_->Wait(other, 10).exitCode, kEndedExit);
}

}  // namespace
}  // namespace palisade::testing
