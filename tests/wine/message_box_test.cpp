// The engine's message boxes under Wine, shown by the probe program and read
// back with the window helper: captions from the message table, buttons
// widened to fit, centring, silent answers and the abort notice.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "wine_harness.h"

namespace palisade::testing {
namespace {

std::vector<std::string> ProbeCommand(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), WindowsTestProgram("engine_probe.exe"));
  return arguments;
}

class MessageBoxes : public SharedPrefixTest {
 protected:
  std::string Texts() { return prefix_->WindowHelper({"texts", "--caption", "Probe"}).out; }

  // The texts of the box once one of them is `expected`, or the last seen.
  std::string TextsOnceShowing(const std::string& expected) {
    std::string texts;
    for (int attempt = 0; attempt < 50 && texts.find(expected) == std::string::npos; ++attempt) {
      if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      texts = Texts();
    }
    return texts;
  }

  // The buttons are fitted just after the box appears; this waits for the
  // widest button to stop changing.
  std::map<std::string, Rect> SettledRects(const std::string& widest) {
    std::map<std::string, Rect> rects;
    int width = -1;
    for (int attempt = 0; attempt < 20; ++attempt) {
      rects = WindowRects(prefix_->WindowHelper({"rects", "--caption", "Probe"}).out);
      if (rects[widest].Width() == width) break;
      width = rects[widest].Width();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return rects;
  }

  void Press(int id) { EXPECT_EQ(prefix_->WindowHelper({"press", std::to_string(id), "--caption", "Probe"}).exitCode, 0); }

};

TEST_F(MessageBoxes, ButtonsCarryTheTableCaptionsAndFitThem) {
  Started probe = prefix_->Start(ProbeCommand(
      {"--message", "100=Try the whole thing again", "--message", "49=Stop", "retrycancel"}));
  std::string texts = Texts();
  EXPECT_NE(texts.find("4\tButton\tTry the whole thing again\n"), std::string::npos) << texts;
  EXPECT_NE(texts.find("2\tButton\tStop\n"), std::string::npos) << texts;
  std::map<std::string, Rect> rects = SettledRects("4");
  const Rect &box = rects["window"], &retry = rects["4"], &cancel = rects["2"];
  EXPECT_GT(retry.Width(), cancel.Width() * 3 / 2) << "the long caption widens its button";
  EXPECT_LT(retry.right, cancel.left) << "the buttons keep their order without overlapping";
  EXPECT_GE(retry.left, box.left);
  EXPECT_LE(cancel.right, box.right);
  Press(4);
  RunResult run = prefix_->Wait(probe);
  EXPECT_EQ(run.out, "result 4\n");
}

TEST_F(MessageBoxes, YesNoCancelAreRelabelledAndOkKeepsItsCaption) {
  Started probe = prefix_->Start(
      ProbeCommand({"--message", "79=Ja", "--message", "80=Nein", "--message", "49=Abbrechen", "yesnocancel"}));
  std::string texts = Texts();
  for (const char* expected : {"6\tButton\tJa\n", "7\tButton\tNein\n", "2\tButton\tAbbrechen\n"}) {
    EXPECT_NE(texts.find(expected), std::string::npos) << expected << texts;
  }
  Press(7);
  EXPECT_EQ(prefix_->Wait(probe).out, "result 7\n");

  probe = prefix_->Start(ProbeCommand({"--message", "79=Ja", "ok"}));
  EXPECT_NE(Texts().find("1\tButton\tOK\n"), std::string::npos);
  Press(1);
  EXPECT_EQ(prefix_->Wait(probe).out, "result 1\n");
}

TEST_F(MessageBoxes, CentredOnTheMainWindowOrElseOnTheWorkArea) {
  Started probe = prefix_->Start(ProbeCommand({"--main-window", "ok"}));
  Rect box = SettledRects("1")["window"];
  Rect main = WindowRects(prefix_->WindowHelper({"rects", "--caption", "Probe main window"}).out)["window"];
  EXPECT_NEAR(box.CentreX(), main.CentreX(), 2);
  EXPECT_NEAR(box.CentreY(), main.CentreY(), 2);
  Press(1);
  prefix_->Wait(probe);

  // The virtual display is 1024 by 768 and Wine keeps no taskbar on it.
  probe = prefix_->Start(ProbeCommand({"ok"}));
  box = SettledRects("1")["window"];
  EXPECT_NEAR(box.CentreX(), 512, 2);
  EXPECT_NEAR(box.CentreY(), 384, 2);
  Press(1);
  prefix_->Wait(probe);
}

TEST_F(MessageBoxes, TwoBoxesInARowAreBothRelabelled) {
  Started probe = prefix_->Start(ProbeCommand({"--message", "100=Again", "two"}));
  EXPECT_NE(Texts().find("4\tButton\tAgain\n"), std::string::npos);
  Press(2);
  std::string second = TextsOnceShowing("65535\tStatic\tSecond\n");
  EXPECT_NE(second.find("65535\tStatic\tSecond\n"), std::string::npos) << second;
  EXPECT_NE(second.find("4\tButton\tAgain\n"), std::string::npos) << second;
  Press(4);
  EXPECT_EQ(prefix_->Wait(probe).out, "result 2\nresult 4\n");
}

struct SilentCase {
  const char* action;
  const char* result;
};

TEST_F(MessageBoxes, SilentModeAnswersWithoutAWindow) {
  const SilentCase cases[] = {{"ask", "result 6\n"}, {"ok", "result 1\n"}, {"retrycancel", "result 1\n"}};
  for (const SilentCase& c : cases) {
    RunResult run = prefix_->Run(ProbeCommand({"--silent", c.action}), 30);
    EXPECT_EQ(run.out, c.result) << c.action;
  }
}

struct AbortCase {
  std::vector<std::string> flags;
  const char* text;  // nullptr: no box at all
};

TEST_F(MessageBoxes, AbortSaysWhyUnlessQuestionsAreSuppressedAndExitsWith1) {
  const AbortCase cases[] = {
      {{}, "Installation cancelled"},
      {{"--uninstall"}, "Uninstallation cancelled"},
      {{"--automatic"}, nullptr},
      {{"--silent"}, nullptr},
  };
  for (const AbortCase& c : cases) {
    std::vector<std::string> arguments = c.flags;
    for (const char* message : {"98=Installation cancelled", "101=Uninstallation cancelled", "111=Stopped"}) {
      arguments.insert(arguments.end(), {"--message", message});
    }
    arguments.push_back("abort");
    Started probe = prefix_->Start(ProbeCommand(arguments));
    if (c.text) {
      std::string texts = prefix_->WindowHelper({"texts", "--caption", "Stopped"}).out;
      EXPECT_NE(texts.find(std::string("65535\tStatic\t") + c.text + "\n"), std::string::npos) << texts;
      EXPECT_EQ(prefix_->WindowHelper({"press", "1", "--caption", "Stopped"}).exitCode, 0);
    }
    RunResult run = prefix_->Wait(probe, 30);
    EXPECT_EQ(run.exitCode, 1) << (c.text ? c.text : "no box");
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace palisade::testing
