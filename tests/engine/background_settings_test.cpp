// Where the background's settings come from: the script in the installer,
// the product's uninstall entry and uninstall folder in the uninstaller.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/ts_file.h"
#include "format/product_flags.h"
#include "icon_file.h"
#include "state/installer_state.h"
#include "ui/background_settings.h"
#include "ui/background_window.h"
#include "ui/dialog_look.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

format::SetupScript Script() {
  format::SetupScript script;
  script.taskbarText = "Acme Setup";
  script.titleSize = 1.25;
  script.titleColor = 0x102030;
  script.titleShadow = 40;
  script.titlePosition = 3;
  script.titleFont = "Georgia, Tahoma";
  script.topColor = 0x111111;
  script.bottomColor = 0x222222;
  script.copyrightPosition = 6;
  script.copyrightColor = 0x405060;
  script.copyrightSize = 0.75;
  script.copyrightText = "\xC2\xA9 Acme";
  script.copyrightFont = "Verdana";
  script.stretchMode = 3;
  script.bitmapSize = 70;
  return script;
}

TEST(BackgroundSettingsFromScript, TakesTheScriptsLook) {
  BackgroundSettings s = BackgroundSettingsFromScript(Script(), L"Acme Notes Setup");
  EXPECT_EQ(s.taskbarText, L"Acme Setup");
  EXPECT_EQ(s.titleSize, 1.25);
  EXPECT_EQ(s.titleColor, 0x102030u);
  EXPECT_EQ(s.titleShadow, 40);
  EXPECT_EQ(s.titlePosition, 3);
  EXPECT_EQ(s.titleFont, L"Georgia, Tahoma");
  EXPECT_EQ(s.topColor, 0x111111u);
  EXPECT_EQ(s.bottomColor, 0x222222u);
  EXPECT_FALSE(s.monoColor);
  EXPECT_FALSE(s.fullScreen);
  EXPECT_EQ(s.copyrightPosition, 6);
  EXPECT_EQ(s.copyrightColor, 0x405060u);
  EXPECT_EQ(s.copyrightSize, 0.75);
  EXPECT_EQ(s.copyrightText, L"\u00A9 Acme");
  EXPECT_EQ(s.copyrightFont, L"Verdana");
  EXPECT_EQ(s.stretchMode, 3);
  EXPECT_EQ(s.bitmapSize, 70);
  EXPECT_TRUE(s.picture.empty());
  EXPECT_EQ(s.bitmapTpi, kOpaquePicture) << "a script without a picture stores no transparent index";
}

struct ScriptCase {
  const char* name;
  std::function<void(format::SetupScript&)> shape;
  std::function<void(const BackgroundSettings&)> check;
};

TEST(BackgroundSettingsFromScript, DerivedSettings) {
  const ScriptCase cases[] = {
      {"equal colours are one colour", [](format::SetupScript& s) { s.bottomColor = s.topColor; },
       [](const BackgroundSettings& s) { EXPECT_TRUE(s.monoColor); }},
      {"no title of its own: message 0, following the language", [](format::SetupScript&) {},
       [](const BackgroundSettings& s) {
         EXPECT_EQ(s.title, L"Acme Notes Setup");
         EXPECT_TRUE(s.titleFollowsLanguage);
       }},
      {"fixed title flag: message 0 stays",
       [](format::SetupScript& s) { s.productFlagsHigh |= high::kFixedBackgroundTitle; },
       [](const BackgroundSettings& s) {
         EXPECT_EQ(s.title, L"Acme Notes Setup");
         EXPECT_FALSE(s.titleFollowsLanguage);
       }},
      {"own title", [](format::SetupScript& s) { s.displayTitle = "Acme Notes 7"; },
       [](const BackgroundSettings& s) {
         EXPECT_EQ(s.title, L"Acme Notes 7");
         EXPECT_FALSE(s.titleFollowsLanguage);
       }},
      {"full screen", [](format::SetupScript& s) { s.productFlagsHigh |= high::kFullScreenBackground; },
       [](const BackgroundSettings& s) { EXPECT_TRUE(s.fullScreen); }},
      {"picture with its transparent index",
       [](format::SetupScript& s) {
         s.backgroundBitmap = {40, 0, 0, 0};
         s.bitmapTpi = 7;
       },
       [](const BackgroundSettings& s) {
         EXPECT_EQ(s.picture, DibBytes({40, 0, 0, 0}));
         EXPECT_EQ(s.bitmapTpi, 7);
       }},
  };
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.name);
    format::SetupScript script = Script();
    c.shape(script);
    c.check(BackgroundSettingsFromScript(script, L"Acme Notes Setup"));
  }
}

// A product's uninstall entry and uninstall folder, made up for each test.
class UninstallEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(key_.Create(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS), ERROR_SUCCESS);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = ts::WText(temp) + L"palisade-background-test";
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const wchar_t* name : {L"\\Installer Background.bmp", L"\\uninstall.ico"})
      DeleteFileW((folder_ + name).c_str());
    RemoveDirectoryW(folder_.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
  }

  void WriteFile(const wchar_t* name, const DibBytes& bytes) {
    ts::File file;
    ASSERT_TRUE(file.Create(folder_ + L"\\" + name));
    ASSERT_TRUE(file.WriteBlock(bytes.data(), static_cast<int>(bytes.size())));
  }

  BackgroundSettings Read(uint32_t low = 0, uint32_t high = 0) {
    return BackgroundSettingsFromUninstallKey(key_, low, high, folder_);
  }

  static constexpr wchar_t kKey[] = L"Software\\Palisade Tests\\Background";
  ts::RegistryKey key_;
  ts::WText folder_;
};

TEST_F(UninstallEntry, MissingValuesTakeTheUninstallersDefaults) {
  BackgroundSettings s = Read();
  EXPECT_EQ(s.title, L"");
  EXPECT_EQ(s.titleSize, 1.0);
  EXPECT_EQ(s.titleColor, GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(s.titleShadow, 1);
  EXPECT_EQ(s.titlePosition, 0);
  EXPECT_EQ(s.titleFont, L"");
  EXPECT_EQ(s.topColor, GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(s.bottomColor, 0u);
  EXPECT_TRUE(s.monoColor);
  EXPECT_EQ(s.taskbarText, L"Setup");
  EXPECT_EQ(s.copyrightText, L"");
  EXPECT_EQ(s.copyrightSize, 0.0);
  EXPECT_EQ(s.copyrightColor, RGB(0, 0, 0));
  EXPECT_EQ(s.copyrightPosition, 0);
  EXPECT_EQ(s.bitmapTpi, kOpaquePicture);
  EXPECT_EQ(s.stretchMode, 0);
  EXPECT_EQ(s.bitmapSize, 0);
  EXPECT_TRUE(s.picture.empty());
  EXPECT_EQ(s.icons.small, nullptr);
}

TEST_F(UninstallEntry, StoredValuesAreRead) {
  key_.SetText(L"DisplayTitle", L"Acme Notes 7");
  key_.SetText(L"TitleSize", L"1.5");
  key_.SetNumber(L"TitleColor", 0x0A0B0C);
  key_.SetNumber(L"TitleShadow", 90);
  key_.SetNumber(L"TitlePosition", 5);
  key_.SetText(L"TitleFont", L"Georgia");
  key_.SetNumber(L"TopColor", 0x010203);
  key_.SetNumber(L"BottomColor", 0x040506);
  key_.SetNumber(L"MonoColor", 0);
  key_.SetText(L"TaskbarText", L"Remove Acme");
  key_.SetText(L"CopyrightText", L"Acme");
  key_.SetText(L"CopyrightFont", L"Verdana");
  key_.SetText(L"CopyrightSize", L"0.5");
  key_.SetText(L"CopyrightColor", L"#0F8");
  key_.SetNumber(L"CopyrightPos", 4);
  BackgroundSettings s = Read(0, high::kFullScreenBackground);
  EXPECT_EQ(s.title, L"Acme Notes 7");
  EXPECT_EQ(s.titleSize, 1.5);
  EXPECT_EQ(s.titleColor, 0x0A0B0Cu);
  EXPECT_EQ(s.titleShadow, 90);
  EXPECT_EQ(s.titlePosition, 5);
  EXPECT_EQ(s.titleFont, L"Georgia");
  EXPECT_EQ(s.topColor, 0x010203u);
  EXPECT_EQ(s.bottomColor, 0x040506u);
  EXPECT_FALSE(s.monoColor);
  EXPECT_TRUE(s.fullScreen);
  EXPECT_EQ(s.taskbarText, L"Remove Acme");
  EXPECT_EQ(s.copyrightText, L"Acme");
  EXPECT_EQ(s.copyrightFont, L"Verdana");
  EXPECT_EQ(s.copyrightSize, 0.5);
  EXPECT_EQ(s.copyrightColor, RGB(0, 255, 136));
  EXPECT_EQ(s.copyrightPosition, 4);

  key_.SetText(L"CopyrightColor", L"green");
  key_.SetText(L"TitleSize", L"large");
  s = Read();
  EXPECT_EQ(s.copyrightColor, RGB(0, 0, 0)) << "colour text that does not parse is black";
  EXPECT_EQ(s.titleSize, 1.0) << "a size that does not parse is the default";
}

// A bitmap file of a 1x1 24-bit picture: the file header, then the DIB.
DibBytes OnePixelBitmapFile() {
  return {'B',  'M',  58,   0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,         // "BM", file size, reserved, pixel offset
          40,   0,    0,    0, 1, 0, 0, 0, 1, 0, 0,  0, 1, 0, 24, 0,  // header size, width, height, planes, bits
          0,    0,    0,    0, 4, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0,  // compression, image size, resolution
          0,    0,    0,    0, 0, 0, 0, 0,                            // colours used, important colours
          0x30, 0x20, 0x10, 0};                                       // one pixel and its padding
}

TEST_F(UninstallEntry, PictureAndItsValuesOnlyWithTheUninstallerPictureFlag) {
  WriteFile(L"Installer Background.bmp", OnePixelBitmapFile());
  key_.SetNumber(L"BitmapSize", 80);
  key_.SetNumber(L"BitmapTPI", 3);
  key_.SetNumber(L"StretchMode", 1);

  BackgroundSettings without = Read();
  EXPECT_TRUE(without.picture.empty());
  EXPECT_EQ(without.bitmapSize, 0);

  BackgroundSettings with = Read(low::kBackgroundPictureForUninstaller);
  DibBytes file = OnePixelBitmapFile();
  EXPECT_EQ(with.picture, DibBytes(file.begin() + 14, file.end())) << "the file without its 14-byte header";
  EXPECT_EQ(with.bitmapSize, 80);
  EXPECT_EQ(with.bitmapTpi, 3);
  EXPECT_EQ(with.stretchMode, 1);
}

TEST_F(UninstallEntry, EntryWithoutBitmapSizeShowsNoPictureEvenWithTheFile) {
  WriteFile(L"Installer Background.bmp", OnePixelBitmapFile());
  BackgroundSettings s = Read(low::kBackgroundPictureForUninstaller);
  EXPECT_FALSE(s.picture.empty());
  EXPECT_EQ(s.bitmapSize, 0) << "a size of 0 draws no picture";
}

TEST_F(UninstallEntry, UninstallerIconFromItsFolder) {
  WriteFile(L"uninstall.ico", format::test_bytes::IconFile());
  BackgroundSettings s = Read();
  EXPECT_NE(s.icons.small, nullptr);
  EXPECT_NE(s.icons.big, nullptr);
}

// The uninstaller's pages and message boxes wear "uninstall.ico" from
// beside it, when the product puts its icons on dialogs.
TEST_F(UninstallEntry, TheUninstallersDialogsWearItsIconWhenTheProductAsks) {
  WriteFile(L"uninstall.ico", format::test_bytes::IconFile());
  for (bool onDialogs : {true, false}) {
    g_installer = InstallerState{};
    g_installer.flags.silent = true;  // the settings are read, no window is shown
    g_installer.script.productFlagsHigh = onDialogs ? high::kIconsOnDialogs : 0;
    ShowUninstallerBackground(kKey, folder_);
    HWND dialog = CreateWindowExW(0, L"#32770", L"", WS_POPUP | WS_CAPTION, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    SetProductIcons(dialog);
    auto icon = [&](WPARAM which) { return reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, which, 0)); };
    EXPECT_EQ(icon(ICON_SMALL), onDialogs ? RunIcons().small : nullptr);
    EXPECT_EQ(icon(ICON_BIG), onDialogs ? RunIcons().big : nullptr);
    EXPECT_NE(RunIcons().small, nullptr);
    DestroyWindow(dialog);
  }
  g_installer = InstallerState{};
}

}  // namespace
}  // namespace palisade
