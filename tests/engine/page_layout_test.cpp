// Every page in every style, opened with the texts that installers carry
// unless a project replaces them, in every language Palisade carries: no
// text is cut off by its control, and each page is as large as its picture
// in docs/screenshots, so that the pictures the documentation shows are
// those of today's pages.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "builder/messages.h"
#include "builder/translations.h"
#include "core/ts_file.h"
#include "core/ts_text.h"
#include "core/ts_window.h"
#include "format/product_flags.h"
#include "state/installer_state.h"
#include "ui/page_controls.h"
#include "ui/page_rules.h"
#include "ui/progress.h"
#include "ui/summary.h"
#include "ui/wizard.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

struct Look {
  bool seen = false;
  SIZE size = {};
  std::vector<std::wstring> cutTexts;  // "control 1009: text"
};

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// How a control lays its text out: the room it leaves for it, and whether
// it breaks lines; nothing for controls that show no plain text.
struct TextBox {
  SIZE room;
  UINT format;
};

bool StaticShowsText(LONG style) {
  if (style & SS_ELLIPSISMASK) return false;  // shortens its text on purpose
  switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_LEFTNOWORDWRAP:
    case SS_SIMPLE:
      return true;
    default:
      return false;
  }
}

bool StaticWraps(LONG style) {
  LONG type = style & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
}

int ImageWidth(HWND button) {
  auto image = reinterpret_cast<HBITMAP>(SendMessageW(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP bitmap = {};
  return image && GetObjectW(image, sizeof bitmap, &bitmap) ? bitmap.bmWidth : 0;
}

std::optional<TextBox> TextBoxOf(HWND control) {
  RECT client = {};
  GetClientRect(control, &client);
  SIZE room = {client.right, client.bottom};
  LONG style = GetWindowLongW(control, GWL_STYLE);
  std::wstring kind = ClassOf(control);
  if (kind == L"Static") {
    if (!StaticShowsText(style)) return std::nullopt;
    UINT format = DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0u);
    return TextBox{room, format | (StaticWraps(style) ? DT_WORDBREAK : DT_SINGLELINE)};
  }
  if (kind != L"Button") return std::nullopt;
  LONG type = style & BS_TYPEMASK;
  if (type == BS_OWNERDRAW) return std::nullopt;
  bool mark = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
              type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
  bool pushed = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
  // The box beside a check box's text, and a push button's edges and image.
  if (mark) room.cx -= GetSystemMetrics(SM_CXMENUCHECK) + 2 * GetSystemMetrics(SM_CXEDGE);
  if (pushed) room.cx -= 2 * GetSystemMetrics(SM_CXEDGE) + ImageWidth(control);
  UINT lines = style & BS_MULTILINE ? DT_WORDBREAK : DT_SINGLELINE;
  return TextBox{room, lines | DT_EXPANDTABS};
}

// The size the control's text needs in its own font, within the room's width.
SIZE NeededSize(HWND control, const std::wstring& text, const TextBox& box) {
  HDC dc = GetDC(control);
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  RECT needed = {0, 0, box.room.cx, 0};
  DrawTextW(dc, text.c_str(), -1, &needed, box.format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {needed.right, needed.bottom};
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

Look LookAt(HWND page) {
  Look look;
  look.seen = true;
  RECT frame = {};
  GetWindowRect(page, &frame);
  look.size = {frame.right - frame.left, frame.bottom - frame.top};
  std::vector<HWND> children;
  EnumChildWindows(page, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND control : children) {
    std::wstring text = TextOf(control);
    std::optional<TextBox> box = TextBoxOf(control);
    if (!IsWindowVisible(control) || text.empty() || !box) continue;
    SIZE needed = NeededSize(control, text, *box);
    if (needed.cx <= box->room.cx && needed.cy <= box->room.cy) continue;
    look.cutTexts.push_back(L"control " + std::to_wstring(GetDlgCtrlID(control)) + L" needs " +
                            std::to_wstring(needed.cx) + L"x" + std::to_wstring(needed.cy) + L", has " +
                            std::to_wstring(box->room.cx) + L"x" + std::to_wstring(box->room.cy) + L": " + text);
  }
  return look;
}

// A modal page is looked at from a timer once it has been on screen for a
// moment (pages post themselves work when they open), and the look ends it.
Look g_look;
int g_ticksShown = 0;
constexpr int kTicksBeforeLooking = 2;
constexpr UINT kTickMs = 50;

BOOL CALLBACK FindShownDialog(HWND window, LPARAM found) {
  if (!IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK LookAtShownPage(HWND, UINT, UINT_PTR, DWORD) {
  HWND page = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindShownDialog, reinterpret_cast<LPARAM>(&page));
  if (!page || ++g_ticksShown < kTicksBeforeLooking) return;
  g_look = LookAt(page);
  EndDialog(page, kBackwardButton);
}

Look LookAtModalPage(const std::function<void()>& show) {
  g_look = {};
  g_ticksShown = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, LookAtShownPage);
  show();
  KillTimer(nullptr, timer);
  return g_look;
}

Look LookAtProgressPage() {
  OpenProgressPage();
  SetStatus(54);
  for (int tick = 0; tick < kTicksBeforeLooking; ++tick) {
    ts::DrainMessageQueue();
    Sleep(kTickMs);
  }
  Look look = ProgressPage() ? LookAt(ProgressPage()) : Look{};
  CloseProgressPage();
  return look;
}

// English first, then every language that Palisade carries a table for.
std::vector<std::string> AllLanguages() {
  std::vector<std::string> names = {builder::kDefaultLanguage};
  for (const builder::BuiltInLanguage& language : builder::BuiltInLanguages()) names.emplace_back(language.name);
  return names;
}

// The project the screenshots are made from, in every language.
void SetUpShowcaseProduct(int language) {
  static const builder::MessageTable table = builder::BuildMessageTable(AllLanguages(), {});
  g_installer = InstallerState{};
  g_installer.instance = GetModuleHandleW(nullptr);
  g_installer.language = language;
  format::SetupScript& s = g_installer.script;
  s.languageNames = table.languageNames;
  s.messages = table.messages;
  s.productName = "Acme Notes";
  s.displayVersion = "2.1.0";
  s.password = "acme";
  s.greetingLinkText = "https://acme.example/";
  const std::string license = "Acme Notes License\r\n\r\nYou may use <product> on any number of computers.";
  const std::string readme = "{\\rtf1\\ansi\\pard {\\b What is new}\\par Faster search.\\par}";
  s.licenseTexts.assign(table.languageNames.size(), format::Bytes(license.begin(), license.end()));
  s.readmeTexts.assign(table.languageNames.size(), format::Bytes(readme.begin(), readme.end()));
  s.startMenuFolder = "Acme Notes";
  s.launchProgram = "notepad.exe";
  s.openDocument = "notes.txt";
  s.summaryOpenTarget = "C:\\";
  s.productFlagsLow |= low::kFolderPage;
  s.productFlagsHigh |= high::kStartMenuPage | high::kProgressPage | high::kOfferToViewLog;
  g_installer.installFolder = L"C:\\Program Files\\Acme Notes";
}

struct PageCase {
  const char* picture;  // the page's picture in docs/screenshots, without the style
  bool styled;          // the page follows the page styles
  std::function<Look()> look;
};

const PageCase kPages[] = {
    {"language", true, [] { return LookAtModalPage([] { ChooseLanguage(); }); }},
    {"greeting", true, [] { return LookAtModalPage([] { ShowGreeting(); }); }},
    {"password", false, [] { return LookAtModalPage([] { AskPassword(); }); }},
    {"license", true, [] { return LookAtModalPage([] { ShowLicensePage(); }); }},
    {"readme", true, [] { return LookAtModalPage([] { ShowReadmePage(); }); }},
    {"choose-folder", true, [] { return LookAtModalPage([] { ChooseInstallFolder(); }); }},
    {"start-menu", true, [] { return LookAtModalPage([] { ChooseStartMenuFolder(); }); }},
    {"progress", true, LookAtProgressPage},
    {"summary", true, [] { return LookAtModalPage([] { ShowSummaryPage(); }); }},
    {nullptr, false, [] { return LookAtModalPage([] { TakeSupportOffer(L"https://acme.example/help"); }); }},
    {nullptr, false, [] { return LookAtModalPage([] { ConfirmMustUninstall(); }); }},
};

const char* const kStyleNames[] = {"plain", "side-picture", "banner", "white"};

// Width and height from a PNG file's header; nothing when it is not one.
std::optional<SIZE> PictureSize(const std::string& name) {
  std::string path = std::string("Z:") + PALISADE_SOURCE_DIR + "/docs/screenshots/" + name + ".png";
  for (char& c : path) c = c == '/' ? '\\' : c;
  ts::File file;
  std::vector<uint8_t> head(24);
  if (!file.OpenForReading(ts::WideFromUtf8(path)) || !file.ReadBlock(head.data(), 24)) return std::nullopt;
  auto bigEndian = [&](size_t at) {
    return static_cast<LONG>(head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3]);
  };
  return SIZE{bigEndian(16), bigEndian(20)};
}

std::string PageName(const PageCase& page, uint32_t style) {
  std::string name = page.picture ? page.picture : "confirmation";
  return page.styled ? std::string(kStyleNames[style]) + "-" + name : name;
}

TEST(PageLayout, NoTextIsCutOffInAnyLanguage) {
  const std::vector<std::string> languages = AllLanguages();
  for (size_t language = 0; language < languages.size(); ++language) {
    for (uint32_t style = kPlainStyle; style <= kWhiteStyle; ++style) {
      for (const PageCase& page : kPages) {
        if (!page.styled && style != kPlainStyle) continue;
        SetUpShowcaseProduct(static_cast<int>(language));
        g_installer.script.pageStyles.fill(style);
        std::string name = languages[language] + " " + PageName(page, style);
        Look look = page.look();
        ASSERT_TRUE(look.seen) << name << " was not shown";
        for (const std::wstring& cut : look.cutTexts) ADD_FAILURE() << name << ": " << ts::Utf8FromWide(cut);
      }
    }
  }
  g_installer = InstallerState{};
}

TEST(PageLayout, EveryPageIsTheSizeOfItsPicture) {
  for (uint32_t style = kPlainStyle; style <= kWhiteStyle; ++style) {
    for (const PageCase& page : kPages) {
      if (!page.picture || (!page.styled && style != kPlainStyle)) continue;
      SetUpShowcaseProduct(0);
      g_installer.script.pageStyles.fill(style);
      std::string name = PageName(page, style);
      Look look = page.look();
      ASSERT_TRUE(look.seen) << name << " was not shown";
      std::optional<SIZE> picture = PictureSize(name);
      ASSERT_TRUE(picture) << "docs/screenshots/" << name << ".png is missing: make screenshots";
      EXPECT_EQ(look.size.cx, picture->cx) << name << ": the picture is out of date (make screenshots)";
      EXPECT_EQ(look.size.cy, picture->cy) << name << ": the picture is out of date (make screenshots)";
    }
  }
  g_installer = InstallerState{};
}

}  // namespace
}  // namespace palisade
