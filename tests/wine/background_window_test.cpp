// The background window of real installers and uninstallers on the virtual
// display, read back from the screen: its colours, its picture and its
// title. Each run is held open by a message box in the middle of the
// screen, so the pixels looked at lie around it. Wine's fonts differ from
// Windows': texts are checked by where their colour shows, not by shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace low = format::product_flags_low;

struct Rgb {
  int red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

constexpr Rgb kRed = {255, 0, 0};
constexpr Rgb kGreen = {0, 255, 0};
constexpr Rgb kBlue = {0, 0, 255};
constexpr Rgb kYellow = {255, 255, 0};
constexpr Rgb kTeal = {30, 90, 150};

uint32_t ColourRef(Rgb colour) { return colour.red | colour.green << 8 | colour.blue << 16; }

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance;
}

std::ostream& operator<<(std::ostream& out, Rgb colour) {
  return out << "(" << colour.red << "," << colour.green << "," << colour.blue << ")";
}

// The screen as the window helper captured it: a 24-bit bottom-up .bmp.
class Screen {
 public:
  explicit Screen(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 54) return;
    offset_ = Le32(10);
    width_ = static_cast<int>(Le32(18));
    height_ = static_cast<int>(Le32(22));
    stride_ = (width_ * 3 + 3) / 4 * 4;
  }

  bool Valid() const { return width_ > 0 && offset_ + static_cast<size_t>(stride_) * height_ <= bytes_.size(); }
  Rgb At(int x, int y) const {
    size_t at = offset_ + static_cast<size_t>(height_ - 1 - y) * stride_ + static_cast<size_t>(x) * 3;
    auto byte = [&](size_t i) { return static_cast<int>(static_cast<uint8_t>(bytes_[i])); };
    return {byte(at + 2), byte(at + 1), byte(at)};
  }
  int Count(int left, int top, int right, int bottom, Rgb colour) const {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) count += At(x, y) == colour;
    }
    return count;
  }

 private:
  uint32_t Le32(size_t at) const {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes_[at + i]);
    return value;
  }

  std::string bytes_;
  size_t offset_ = 0;
  int width_ = 0, height_ = 0, stride_ = 0;
};

// Red, green / blue, yellow: where each quadrant lands shows the picture's
// place and that its rows are the right way up. A bitmap without its file
// header, as the script carries it.
format::Bytes QuadrantPicture() {
  format::Bytes dib = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};  // header size, 2 x 2, planes, 24 bits
  dib.resize(40, 0);  // uncompressed, the rest left to the defaults
  for (auto [left, right] : {std::pair{kBlue, kYellow}, {kRed, kGreen}}) {  // bottom row first
    for (Rgb pixel : {left, right}) {
      dib.insert(dib.end(), {static_cast<uint8_t>(pixel.blue), static_cast<uint8_t>(pixel.green),
                             static_cast<uint8_t>(pixel.red)});
    }
    dib.insert(dib.end(), {0, 0});  // each row padded to four bytes
  }
  return dib;
}

InstallerRecipe Refused(const std::function<void(format::SetupScript&)>& look) {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.taskbarText = "Background Test";
  recipe.script.excludedSystems = 0xFFFFFFFF;  // keeps the run open at its refusal box
  recipe.script.messages[21][0] = u"Background Test Refusal";
  recipe.script.messages[61][0] = u"Not here.";
  recipe.script.titleFont = "Tahoma";
  look(recipe.script);
  return recipe;
}

class BackgroundWindow : public SharedPrefixTest {
 protected:
  std::string Place(const InstallerRecipe& recipe, const std::string& name) {
    return PlaceInstaller(*prefix_, recipe, name);
  }

  // The screen once `painted` holds for it, or the last one seen.
  Screen CaptureOnce(const std::function<bool(const Screen&)>& painted) {
    EXPECT_EQ(prefix_->WindowHelper({"wait", "--class", "SEA Window Class"}).exitCode, 0);
    for (int attempt = 0;; ++attempt) {
      prefix_->WindowHelper({"capture", "C:\\screen.bmp"});
      Screen screen(ReadFile(prefix_->DriveC() + "/screen.bmp"));
      if ((screen.Valid() && painted(screen)) || attempt == 40) return screen;
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
  }

  void Answer(const std::string& caption, int button) {
    EXPECT_EQ(prefix_->WindowHelper({"press", std::to_string(button), "--caption", caption}).exitCode, 0) << caption;
  }

  Screen ShowRefused(const InstallerRecipe& recipe, const std::string& name,
                     const std::function<bool(const Screen&)>& painted) {
    Started run = prefix_->Start({Place(recipe, name)});
    Screen screen = CaptureOnce(painted);
    Answer("Background Test Refusal", IDOK);
    EXPECT_EQ(prefix_->Wait(run).exitCode, 1);
    return screen;
  }

  static constexpr int IDOK = 1;
  static constexpr int IDNO = 7;
};

TEST_F(BackgroundWindow, OneColourFillsItAndTheTextsLieInTheirCorners) {
  InstallerRecipe recipe = Refused([](format::SetupScript& s) {
    s.topColor = s.bottomColor = ColourRef(kTeal);
    s.displayTitle = "Background Test Title";
    s.titlePosition = 1;
    s.titleColor = ColourRef(kYellow);
    s.titleSize = 1;
    s.copyrightPosition = 6;
    s.copyrightText = "(c) Background Test";
    s.copyrightFont = "Tahoma";
    s.copyrightColor = ColourRef(kGreen);
    s.copyrightSize = 1;
  });
  Screen screen = ShowRefused(recipe, "one-colour", [](const Screen& s) { return s.At(100, 300) == kTeal; });
  for (auto [x, y] : {std::pair{100, 300}, {900, 300}, {512, 150}, {512, 650}, {1023, 0}, {0, 767}}) {
    EXPECT_EQ(screen.At(x, y), kTeal) << x << "," << y;
  }
  EXPECT_GT(screen.Count(0, 0, 512, 80, kYellow), 50) << "the title at the top left";
  EXPECT_EQ(screen.Count(0, 384, 1024, 768, kYellow), 0);
  EXPECT_EQ(screen.Count(512, 0, 1024, 768, kYellow), 0);
  EXPECT_GT(screen.Count(512, 700, 1024, 768, kGreen), 20) << "the copyright at the bottom right";
  EXPECT_EQ(screen.Count(0, 0, 512, 768, kGreen), 0);
}

TEST_F(BackgroundWindow, GradientRunsDownAndThePictureLiesWhereItsFitPutsIt) {
  InstallerRecipe recipe = Refused([](format::SetupScript& s) {
    s.topColor = ColourRef(kRed);
    s.bottomColor = ColourRef(kBlue);
    s.backgroundBitmap = QuadrantPicture();
    s.bitmapTpi = 0xFFFFFFFF;
    s.bitmapSize = 100;
    s.stretchMode = 2;
  });
  // A whole multiple of 2x2 in 1024x768: 383 times, 766x766 at (129,1).
  Screen screen = ShowRefused(recipe, "gradient", [](const Screen& s) { return s.At(140, 10) == kRed; });
  EXPECT_TRUE(Near(screen.At(50, 0), kRed, 4)) << screen.At(50, 0);
  EXPECT_TRUE(Near(screen.At(50, 767), kBlue, 4)) << screen.At(50, 767);
  EXPECT_TRUE(Near(screen.At(50, 384), {127, 0, 127}, 6)) << screen.At(50, 384);
  EXPECT_EQ(screen.At(129, 1), kRed);
  EXPECT_EQ(screen.At(894, 1), kGreen);
  EXPECT_EQ(screen.At(129, 766), kBlue);
  EXPECT_EQ(screen.At(894, 766), kYellow);
  EXPECT_NE(screen.At(128, 100), kRed) << "left of the picture";
  EXPECT_NE(screen.At(895, 766), kYellow) << "right of the picture";
}

TEST_F(BackgroundWindow, MinimisedStartShowsNoBackground) {
  InstallerRecipe recipe = Refused([](format::SetupScript& s) { s.topColor = s.bottomColor = ColourRef(kTeal); });
  Started run = prefix_->Start({Place(recipe, "minimised"), "/min"});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Background Test Refusal"}).exitCode, 0);
  std::string rects = prefix_->WindowHelper({"rects", "--class", "SEA Window Class"}).out;
  EXPECT_EQ(rects.rfind("window\t-32000\t-32000\t", 0), 0u) << "where the system parks a minimised window: " << rects;
  // The screen is not read back here: the window is shown before it is
  // minimised, and with no window manager on the virtual display what it
  // painted in that moment can stay in the frame buffer; where the system
  // parks it is what tells.
  Answer("Background Test Refusal", IDOK);
  EXPECT_EQ(prefix_->Wait(run).exitCode, 1);
}

// The uninstaller draws what the installation stored: its look in the
// uninstall entry and its picture in "Installer Background.bmp".
TEST_F(BackgroundWindow, UninstallerShowsTheStoredLookAndPicture) {
  InstallerRecipe recipe = Refused([](format::SetupScript& s) {
    s.excludedSystems = 0;
    s.productFlagsLow |= low::kPreviousInstallation | low::kBackgroundPictureForUninstaller;
    s.uninstallSubfolder = "uninstall";
    s.uninstallerName = "Uninstall Test.exe";
    s.topColor = s.bottomColor = ColourRef(kTeal);
    s.displayTitle = "Removal Title";
    s.titlePosition = 3;
    s.titleColor = ColourRef(kYellow);
    s.titleSize = 1;
    s.backgroundBitmap = QuadrantPicture();
    s.bitmapTpi = 0xFFFFFFFF;
    s.bitmapSize = 50;
    s.stretchMode = 0;
    s.messages[53][0] = u"Remove it?";
    s.messages[55][0] = u"Remove Test";
    s.messages[101][0] = u"Stopped.";
    s.messages[111][0] = u"Stopped Test";
  });
  recipe.files = {{"app.txt", "app"}};
  // Not silent: a silent run turns the window off for the uninstaller too.
  ASSERT_EQ(prefix_->Run({Place(recipe, "stored-look"), "/a"}).exitCode, 1);
  Started run = prefix_->Start(
      {"C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe", "/u:\"Palisade Test Product\""});
  // Stretched over half the screen: 512x384 at (256,192).
  Screen screen = CaptureOnce([](const Screen& s) { return s.At(260, 196) == kRed; });
  Answer("Remove Test", IDNO);
  Answer("Stopped Test", IDOK);
  EXPECT_EQ(prefix_->Wait(run).exitCode, 1);
  EXPECT_EQ(screen.At(100, 300), kTeal);
  EXPECT_EQ(screen.At(256, 192), kRed);
  EXPECT_EQ(screen.At(767, 192), kGreen);
  EXPECT_EQ(screen.At(256, 575), kBlue);
  EXPECT_EQ(screen.At(767, 575), kYellow);
  EXPECT_EQ(screen.At(255, 192), kTeal);
  EXPECT_EQ(screen.At(768, 575), kTeal);
  EXPECT_GT(screen.Count(512, 0, 1024, 80, kYellow), 50) << "the stored title at the top right";
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/Program Files/Palisade Test Product/app.txt")) << "nothing removed";
}

struct ShownCase {
  const char* name;
  uint32_t productFlagsLow;
  const char* installMode;
  bool installShown;
  const char* uninstallMode;
  bool uninstallShown;
};

bool TracesTheWindow(const RunResult& run) {
  std::vector<std::string> trace = EngineTrace(run.err);
  return std::find(trace.begin(), trace.end(), "background window") != trace.end();
}

// Runs that ask nothing end on their own; whether they made the window
// shows in the engine's trace.
TEST_F(BackgroundWindow, NeverInSilentRunsNorWhenTheProductTurnsItOff) {
  const ShownCase cases[] = {
      {"automatic", 0, "/a", true, "/a", true},
      {"silent removal", 0, "/a", true, "/silent", false},
      // The silent run turns the window off in the flags it stores.
      {"silent installation", 0, "/silent", false, "/a", false},
      {"turned off", low::kNoBackgroundWindow, "/a", false, "/a", false},
  };
  for (const ShownCase& c : cases) {
    InstallerRecipe recipe;
    recipe.script = MinimalScript();
    // A product of its own for each case: an uninstaller removes itself
    // some time after it ends.
    std::string product = std::string("Shown ") + c.name;
    recipe.script.productName = product;
    recipe.script.productFlagsLow |= c.productFlagsLow | low::kPreviousInstallation;
    recipe.script.uninstallerName = "Uninstall Test.exe";
    RunResult install = prefix_->Run({Place(recipe, "shown"), c.installMode}, 60, {kDebugOutput});
    EXPECT_EQ(TracesTheWindow(install), c.installShown) << c.name << " installation";
    RunResult uninstall = prefix_->Run(
        {"C:\\Program Files\\" + product + "\\Uninstall Test.exe", "/u:\"" + product + "\"", c.uninstallMode}, 60,
        {kDebugOutput});
    EXPECT_EQ(uninstall.exitCode, 0) << c.name << uninstall.err;
    EXPECT_EQ(TracesTheWindow(uninstall), c.uninstallShown) << c.name << " uninstallation";
  }
}

}  // namespace
}  // namespace palisade::testing
