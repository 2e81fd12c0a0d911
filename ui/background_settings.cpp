#include "ui/background_settings.h"

#include "core/ts_file.h"
#include "core/ts_text.h"
#include "format/product_flags.h"
#include "ui/background_layout.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

constexpr wchar_t kPictureFileName[] = L"Installer Background.bmp";
constexpr wchar_t kUninstallerIconFileName[] = L"uninstall.ico";

// The uninstall entry's values; each falls back to its default when the
// installation did not store it.
class EntryReader {
 public:
  explicit EntryReader(const ts::RegistryKey& key) : key_(key) {}

  ts::WText Text(const wchar_t* name, const wchar_t* fallback = L"") const {
    ts::WText text;
    return key_.ReadText(name, text) ? text : fallback;
  }
  DWORD Number(const wchar_t* name, DWORD fallback) const {
    DWORD number = 0;
    return key_.ReadNumber(name, number) ? number : fallback;
  }
  // Sizes are stored as decimal text, such as "1.5".
  double Real(const wchar_t* name, double fallback) const {
    ts::WText text;
    double value = fallback;
    if (key_.ReadText(name, text)) ts::ReadDecimal(text, value);
    return value;
  }
  // Colours are stored as colour text, "RRGGBB".
  COLORREF Colour(const wchar_t* name, COLORREF fallback) const {
    COLORREF colour = fallback;
    ts::WText text;
    if (key_.ReadText(name, text) && ParseColourText(text, colour)) return colour;
    return fallback;
  }

 private:
  const ts::RegistryKey& key_;
};

DibBytes PictureFromFile(const ts::WText& path) {
  ts::File file;
  ts::Text bytes;
  DibBytes dib;
  if (!file.OpenForReading(path) || !file.ReadWhole(bytes)) return dib;
  format::DibFromBitmapFile(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), dib);
  return dib;
}

constexpr WORD kProductIconResource = 1;

ProductIcons LoadIcons(HINSTANCE module, const wchar_t* name, UINT flags) {
  auto load = [&](int widthMetric, int heightMetric) {
    return static_cast<HICON>(
        LoadImageW(module, name, IMAGE_ICON, GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), flags));
  };
  return {load(SM_CXSMICON, SM_CYSMICON), load(SM_CXICON, SM_CYICON)};
}

}  // namespace

BackgroundSettings BackgroundSettingsFromScript(const format::SetupScript& script, const ts::WText& languageTitle) {
  BackgroundSettings s;
  bool ownTitle = !script.displayTitle.empty();
  s.title = ownTitle ? ts::WideFromUtf8(script.displayTitle) : languageTitle;
  s.titleFollowsLanguage = !ownTitle && !(script.productFlagsHigh & high::kFixedBackgroundTitle);
  s.titleSize = script.titleSize;
  s.titleColor = script.titleColor;
  s.titleShadow = script.titleShadow;
  s.titlePosition = script.titlePosition;
  s.titleFont = ts::WideFromUtf8(script.titleFont);
  s.topColor = script.topColor;
  s.bottomColor = script.bottomColor;
  s.monoColor = script.topColor == script.bottomColor;
  // The bit that places the progress page on the whole screen is the one
  // that makes the background cover it.
  s.fullScreen = (script.productFlagsHigh & high::kFullScreenBackground) != 0;
  s.taskbarText = ts::WideFromUtf8(script.taskbarText);
  s.copyrightText = ts::WideFromUtf8(script.copyrightText);
  s.copyrightFont = ts::WideFromUtf8(script.copyrightFont);
  s.copyrightSize = script.copyrightSize;
  s.copyrightColor = script.copyrightColor;
  s.copyrightPosition = script.copyrightPosition;
  s.picture = script.backgroundBitmap;
  s.bitmapTpi = script.backgroundBitmap.empty() ? kOpaquePicture : static_cast<int32_t>(script.bitmapTpi);
  s.stretchMode = script.stretchMode;
  s.bitmapSize = script.bitmapSize;
  return s;
}

BackgroundSettings BackgroundSettingsFromUninstallKey(const ts::RegistryKey& key, uint32_t productFlagsLow,
                                                      uint32_t productFlagsHigh, const ts::WText& uninstallFolder) {
  EntryReader entry(key);
  BackgroundSettings s;
  s.title = entry.Text(L"DisplayTitle");
  s.titleSize = entry.Real(L"TitleSize", 1.0);
  s.titleColor = entry.Number(L"TitleColor", GetSysColor(COLOR_WINDOWTEXT));
  s.titleShadow = static_cast<int>(entry.Number(L"TitleShadow", 1));
  s.titlePosition = static_cast<int>(entry.Number(L"TitlePosition", 0));
  s.titleFont = entry.Text(L"TitleFont");
  s.topColor = entry.Number(L"TopColor", GetSysColor(COLOR_WINDOW));
  s.bottomColor = entry.Number(L"BottomColor", 0);
  s.monoColor = entry.Number(L"MonoColor", 1) != 0;
  s.fullScreen = (productFlagsHigh & high::kFullScreenBackground) != 0;
  s.taskbarText = entry.Text(L"TaskbarText", L"Setup");
  s.copyrightText = entry.Text(L"CopyrightText");
  s.copyrightFont = entry.Text(L"CopyrightFont");
  s.copyrightSize = entry.Real(L"CopyrightSize", 0);
  s.copyrightColor = entry.Colour(L"CopyrightColor", RGB(0, 0, 0));
  s.copyrightPosition = static_cast<int>(entry.Number(L"CopyrightPos", 0));
  s.stretchMode = 0;
  if (productFlagsLow & low::kBackgroundPictureForUninstaller) {
    s.picture = PictureFromFile(uninstallFolder + L"\\" + kPictureFileName);
    s.bitmapTpi = static_cast<int32_t>(entry.Number(L"BitmapTPI", static_cast<DWORD>(kOpaquePicture)));
    s.stretchMode = static_cast<int32_t>(entry.Number(L"StretchMode", 0));
    s.bitmapSize = static_cast<int32_t>(entry.Number(L"BitmapSize", 0));
  }
  s.icons = IconsFromFile(uninstallFolder + L"\\" + kUninstallerIconFileName);
  return s;
}

ProductIcons IconsFromFile(const ts::WText& path) { return LoadIcons(nullptr, path.c_str(), LR_LOADFROMFILE); }

ProductIcons IconsFromResources(HINSTANCE module) {
  return LoadIcons(module, MAKEINTRESOURCEW(kProductIconResource), 0);
}

}  // namespace palisade
