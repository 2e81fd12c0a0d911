#include "ui/wizard.h"

#include <windows.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>

#include "core/ts_desktop_shell.h"
#include "core/ts_system.h"
#include "core/ts_texts.h"
#include "core/ts_window.h"
#include "format/narrow_text.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/message_box.h"
#include "ui/page.h"
#include "ui/page_controls.h"
#include "ui/page_rules.h"

namespace palisade {
namespace {

namespace high = format::product_flags_high;
using format::PageStyleIndex;

constexpr int kCaptionMessage = 65;
constexpr int kNextMessage = 48;
constexpr int kCancelMessage = 49;
constexpr int kInstallMessage = 90;
constexpr int kBrowseMessage = 52;
constexpr int kErrorCaptionMessage = 21;
constexpr int kUninstallMessage = 104;

constexpr int kFolderLength = 259;
constexpr int kPasswordLength = 64;
constexpr DWORD kWrongPasswordPause = 500;

constexpr DWORD kBrowseOnlyFolders = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;

bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }

Page WizardPage(const wchar_t* family, PageStyleIndex index, const ts::WText& title) {
  Page page;
  page.style = g_installer.script.pageStyles[index];
  page.templateName = PageTemplateName(family, page.style);
  page.title = title;
  page.bannerWindowCaption = MessageWithTags(kCaptionMessage);
  return page;
}

Page ConfirmationPage(const wchar_t* templateName, const ts::WText& title) {
  Page page;
  page.templateName = templateName;
  page.decorated = false;
  page.title = title;
  return page;
}

void SetTexts(HWND page, std::initializer_list<std::pair<int, int>> controlMessages) {
  for (const auto& [control, message] : controlMessages) SetControlText(page, control, MessageWithTags(message));
}

// Messages of the page's own dialog procedure that ask for a control's command.
bool IsCommand(UINT message, WPARAM wParam, int control, int code = BN_CLICKED) {
  return message == WM_COMMAND && LOWORD(wParam) == control && HIWORD(wParam) == code;
}

void PostCommand(HWND page, int command) { PostMessageW(page, WM_COMMAND, command, 0); }

// The greeting ----------------------------------------------------------------

void OpenGreetingLink() {
  ts::WText address = ts::WideFromUtf8(g_installer.script.greetingLinkText);
  ts::OpenAsDesktopUser(address, L"", L"");
}

void SetUpGreeting(HWND window, uint32_t style) {
  ts::WText text = MessageWithTags(1);
  if (style == kBannerStyle) text = L"\r\n\r\n" + text;
  SetControlText(window, kMainText, text);
  SetTexts(window, {{kForwardButton, kNextMessage}, {kBackwardButton, kCancelMessage}});
  ts::WText linkWords = MessageWithTags(105);
  const std::string& address = g_installer.script.greetingLinkText;
  if (!address.empty() && !linkWords.empty()) {
    SetControlText(window, kGreetingLink, GreetingLinkMarkup(linkWords, ts::WideFromUtf8(address)));
  }
  PostCommand(window, kComeToForegroundAndFocus);
}

// The language page -------------------------------------------------------------

ts::WText UserLanguage() {
  wchar_t name[128] = {};
  GetLocaleInfoW(GetThreadLocale(), LOCALE_SNATIVELANGNAME, name, 128);
  return UserLanguageMatchName(name);
}

std::vector<ts::WText> LanguageNames() {
  std::vector<ts::WText> names;
  for (const std::u16string& name : g_installer.script.languageNames) names.emplace_back(name.begin(), name.end());
  return names;
}

void RelabelLanguagePage(HWND window, Page& page) {
  SetTexts(window, {{kMainText, 82}, {kForwardButton, kNextMessage}, {kBackwardButton, kCancelMessage}});
  page.title = MessageWithTags(94);
  page.bannerWindowCaption = MessageWithTags(kCaptionMessage);
  Redecorate(window);
  // The background's title and texts follow the language.
  if (g_installer.backgroundWindow) InvalidateRect(g_installer.backgroundWindow, nullptr, TRUE);
}

void SetUpLanguageList(HWND window) {
  HWND list = GetDlgItem(window, kLanguageList);
  std::vector<ts::WText> names = LanguageNames();
  for (const ts::WText& name : names) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  size_t chosen = PreselectedLanguage(names, UserLanguage());
  SendMessageW(list, LB_SETCURSEL, chosen, 0);
  g_installer.language = static_cast<int>(chosen);
}

int SelectedLanguage(HWND window) {
  int count = static_cast<int>(g_installer.script.languageNames.size());
  auto selected = static_cast<int>(SendDlgItemMessageW(window, kLanguageList, LB_GETCURSEL, 0, 0));
  return std::clamp(selected, 0, std::max(count - 1, 0));
}

COLORREF Blend(COLORREF a, COLORREF b, double weightOfA) {
  auto channel = [&](int shift) {
    double value = ((a >> shift) & 0xFF) * weightOfA + ((b >> shift) & 0xFF) * (1 - weightOfA);
    return static_cast<COLORREF>(value + 0.5) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

void DrawFocusOutline(HDC dc, const RECT& item) {
  int height = item.bottom - item.top;
  LOGBRUSH brush = {BS_SOLID, Blend(GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_HIGHLIGHT), 0.2), 0};
  HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_DASH, std::max(height / 16, 1), &brush, 0, nullptr);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, item.left, item.top, item.right, item.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void DrawLanguageItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  bool selected = item.itemState & ODS_SELECTED;
  HDC dc = item.hDC;
  FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  ts::WText name(static_cast<size_t>(SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0)) + 1, L'\0');
  name.resize(
      static_cast<size_t>(SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(name.data()))));
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  RECT text = item.rcItem;
  text.left += metrics.tmAveCharWidth / 2;
  DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) DrawFocusOutline(dc, item.rcItem);
}

bool HandleLanguagePage(HWND window, Page& page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (IsCommand(message, wParam, kLanguageList, LBN_SELCHANGE)) {
    auto selected = static_cast<int>(SendDlgItemMessageW(window, kLanguageList, LB_GETCURSEL, 0, 0));
    if (selected >= 0 && static_cast<size_t>(selected) < g_installer.script.languageNames.size()) {
      g_installer.language = selected;
      RelabelLanguagePage(window, page);
    }
    return true;
  }
  if (IsCommand(message, wParam, kLanguageList, LBN_DBLCLK) || IsCommand(message, wParam, kForwardButton)) {
    g_installer.language = SelectedLanguage(window);
    EndDialog(window, kForwardButton);
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == kComeToForegroundAndFocus) {
    SetForegroundWindow(window);
    SetFocus(GetDlgItem(window, kLanguageList));
    return true;
  }
  if (message == WM_DRAWITEM && wParam == kLanguageList) {
    DrawLanguageItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
  }
  return false;
}

// Licence and readme pages -----------------------------------------------------

HWND g_richEdit = nullptr;  // the rich text view of the open licence or readme page

constexpr UINT_PTR kHideCaretTimer = 1;
constexpr UINT_PTR kFocusTimer = 2;
constexpr UINT kHideCaretInterval = 100;
constexpr UINT kFocusDelay = 250;
constexpr DWORD kRichViewStyle = 0x50A10806;  // child, visible, scroll bar, border, tab stop, read-only, multi-line

struct DocumentPageTexts {
  const wchar_t* family;
  PageStyleIndex style;
  int title, prompt, forward, backward, ownText;
};

constexpr DocumentPageTexts kLicensePage = {L"LicenseDlg", format::kLicensePage, 44, 47, 45, 46, 63};
constexpr DocumentPageTexts kReadmePage = {L"ReadmeDlg", format::kReadmePage, 50, 51, 48, 49, 64};

// A horizontal and a vertical dialog base unit of the page, in pixels.
POINT BaseUnits(HWND page) {
  RECT rect = {0, 0, 4, 8};
  MapDialogRect(page, &rect);
  return {rect.right, rect.bottom};
}

ts::WText PlainDocumentText(std::string_view stored) {
  format::DecodedNarrowText decoded = format::DecodeNarrowForm(stored);
  ts::WText text = decoded.utf8 ? ts::WideFromUtf8(decoded.text) : ts::WideFromAnsi(decoded.text);
  return ts::WithCrLf(SubstituteTags(text));
}

void ShowPlainDocument(HWND page, const ts::WText& text) {
  HWND view = GetDlgItem(page, kDocumentView);
  if (!SetWindowTextW(view, text.c_str())) SetWindowTextA(view, ts::AnsiFromWide(text).c_str());
  POINT base = BaseUnits(page);
  RECT inner;
  GetClientRect(view, &inner);
  InflateRect(&inner, -static_cast<int>(base.x * 0.35), -static_cast<int>(base.y * 0.3));
  SendMessageW(view, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&inner));
}

struct RtfSource {
  std::string_view text;
  size_t at = 0;
};

DWORD CALLBACK ReadRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* source = reinterpret_cast<RtfSource*>(cookie);
  size_t count = std::min(static_cast<size_t>(wanted), source->text.size() - source->at);
  memcpy(buffer, source->text.data() + source->at, count);
  source->at += count;
  *given = static_cast<LONG>(count);
  return 0;
}

// The plain view makes way for a rich one of the same place and identifier.
bool ShowRichDocument(HWND page, std::string_view rtf) {
  if (!ts::LoadSystemLibrary(L"riched20.dll")) return false;
  HWND plain = GetDlgItem(page, kDocumentView);
  RECT place;
  GetWindowRect(plain, &place);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&place), 2);
  HWND rich = CreateWindowExW(0, L"RichEdit20W", L"", kRichViewStyle, place.left, place.top, place.right - place.left,
                              place.bottom - place.top, page, nullptr, g_installer.instance, nullptr);
  if (!rich) return false;
  DestroyWindow(plain);
  SetWindowLongPtrW(rich, GWLP_ID, kDocumentView);
  SendMessageW(rich, WM_SETFONT, SendMessageW(page, WM_GETFONT, 0, 0), FALSE);
  SendMessageW(rich, EM_AUTOURLDETECT, TRUE, 0);
  SendMessageW(rich, EM_SETEVENTMASK, 0, ENM_LINK);
  SendMessageW(rich, EM_EXLIMITTEXT, 0, -1);
  int margin = BaseUnits(page).y / 2;
  SendMessageW(rich, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
  RtfSource source{rtf};
  EDITSTREAM stream = {reinterpret_cast<DWORD_PTR>(&source), 0, ReadRtf};
  SendMessageW(rich, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  SendMessageW(rich, EM_SCROLL, SB_LINEDOWN, 0);
  SendMessageW(rich, EM_SCROLL, SB_LINEUP, 0);
  g_richEdit = rich;
  SetTimer(page, kHideCaretTimer, kHideCaretInterval, nullptr);
  SetTimer(page, kFocusTimer, kFocusDelay, nullptr);
  return true;
}

void ShowDocument(HWND page, std::string_view stored) {
  std::string_view rtf;
  if (IsRichText(stored, &rtf) && ShowRichDocument(page, rtf)) return;
  ShowPlainDocument(page, PlainDocumentText(stored));
}

void OpenClickedLink(const ENLINK& link) {
  ts::WText address(static_cast<size_t>(link.chrg.cpMax - link.chrg.cpMin) + 1, L'\0');
  TEXTRANGEW range = {link.chrg, address.data()};
  address.resize(
      static_cast<size_t>(SendMessageW(link.nmhdr.hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range))));
  ts::OpenAsDesktopUser(address, L"", L"");
}

bool HandleDocumentPage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_TIMER:
      if (g_richEdit) HideCaret(g_richEdit);
      if (wParam == kFocusTimer) {
        if (g_richEdit) SetFocus(g_richEdit);
        KillTimer(window, kFocusTimer);
      }
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && g_richEdit) {
        SendMessageW(g_richEdit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
        SendMessageW(g_richEdit, EM_SETSEL, 0, 0);
      }
      return false;
    case WM_NOTIFY: {
      const auto* link = reinterpret_cast<const ENLINK*>(lParam);
      if (link->nmhdr.code == EN_LINK && link->msg == WM_LBUTTONUP) OpenClickedLink(*link);
      return link->nmhdr.code == EN_LINK;
    }
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != kDocumentView) return false;
      SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
      result = reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
      return true;
    case WM_DESTROY:
      g_richEdit = nullptr;
      return false;
  }
  return false;
}

bool ShowDocumentPage(const DocumentPageTexts& texts, std::string_view stored) {
  Page page = WizardPage(texts.family, texts.style, MessageWithTags(texts.title));
  page.setUp = [&](HWND window) {
    SetTexts(window, {{kMainText, texts.prompt}, {kForwardButton, texts.forward}, {kBackwardButton, texts.backward}});
    ShowDocument(window, stored);
  };
  page.handle = HandleDocumentPage;
  return RunPage(page) != kBackwardButton;
}

bool ShowDocumentPages(const DocumentPageTexts& texts, const std::vector<format::Bytes>& scriptTexts) {
  ts::WText own = MessageText(texts.ownText);
  if (!own.empty() && !ShowDocumentPage(texts, format::EncodeNarrowForm(ts::Utf8FromWide(own)))) return false;
  for (const format::Bytes& text : scriptTexts) {
    if (!ShowDocumentPage(texts, std::string_view(reinterpret_cast<const char*>(text.data()), text.size())))
      return false;
  }
  return true;
}

// Folder pages ------------------------------------------------------------------

struct BrowseStart {
  ts::WText folder;
};

int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, start);
  return 0;
}

// The shell's folder browser; false when the user chose nothing.
bool BrowseForFolder(HWND page, const ts::WText& title, int rootFolder, DWORD flags, const ts::WText& start,
                     ts::WText& chosen) {
  LPITEMIDLIST root = nullptr;
  if (rootFolder >= 0 && FAILED(SHGetSpecialFolderLocation(page, rootFolder, &root))) root = nullptr;
  BROWSEINFOW browse = {};
  browse.hwndOwner = page;
  browse.pidlRoot = root;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = flags;
  browse.lpfn = SelectStartFolder;
  browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
  LPITEMIDLIST picked = SHBrowseForFolderW(&browse);
  wchar_t path[MAX_PATH] = {};
  bool ok = picked && SHGetPathFromIDListW(picked, path);
  CoTaskMemFree(picked);
  CoTaskMemFree(root);
  if (ok) chosen = path;
  return ok;
}

void ShowFolderInEdit(HWND page, const ts::WText& folder) {
  SendDlgItemMessageW(page, kFolderEdit, EM_LIMITTEXT, kFolderLength, 0);
  SetControlText(page, kFolderEdit, folder.substr(0, kFolderLength));
}

ts::WText DriveOf(const ts::WText& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2) + L"\\";
  return {};
}

void ShowDiskSpace(HWND page, uint32_t style) {
  if (!(g_installer.productFlags2 & format::product_flags2::kShowDiskSpace)) return;
  ts::WText drive = DriveOf(ControlText(page, kFolderEdit));
  ts::WText required = MessageWithTags(92) + L" " + ts::WideFromUtf8(ts::SizeText(g_installer.requiredBytes));
  ULARGE_INTEGER available = {};
  bool driveExists = !drive.empty() && GetDiskFreeSpaceExW(drive.c_str(), &available, nullptr, nullptr);
  ts::WText free = driveExists ? MessageWithTags(93) + L" " + ts::WideFromUtf8(ts::SizeText(available.QuadPart)) : L"";
  if (style == kWhiteStyle) {
    SetTransparentText(page, kSpaceRequired, required);
    SetTransparentText(page, kSpaceAvailable, free);
  } else {
    SetControlText(page, kSpaceRequired, required);
    SetControlText(page, kSpaceAvailable, free);
  }
}

void BrowseInstallFolder(HWND page) {
  bool fromComputer = HighFlag(high::kBrowseFromComputer);
  DWORD flags = fromComputer ? kBrowseOnlyFolders : kBrowseOnlyFolders | BIF_SHAREABLE;
  ts::WText chosen;
  if (BrowseForFolder(page, MessageWithTags(11), fromComputer ? CSIDL_DRIVES : -1, flags,
                      ControlText(page, kFolderEdit), chosen)) {
    ShowFolderInEdit(page, chosen);
  }
  SetFocus(GetDlgItem(page, kFolderEdit));
}

bool HandleInstallFolderPage(HWND window, uint32_t style, UINT message, WPARAM wParam) {
  if (IsCommand(message, wParam, kFolderEdit, EN_CHANGE)) {
    PostCommand(window, kRecomputeDiskSpace);
    return true;
  }
  if (message != WM_COMMAND) return false;
  switch (LOWORD(wParam)) {
    case kRecomputeDiskSpace:
      ShowDiskSpace(window, style);
      return true;
    case kBrowseButton:
      BrowseInstallFolder(window);
      return true;
    case kForwardButton:
      g_installer.installFolder = ControlText(window, kFolderEdit);
      EndDialog(window, kForwardButton);
      return true;
  }
  return false;
}

int ProgramsFolderId() { return g_installer.script.shortcutMode == 1 ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS; }

void BrowseStartMenuFolder(HWND page) {
  wchar_t root[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, ProgramsFolderId(), nullptr, SHGFP_TYPE_CURRENT, root);
  ts::WText rootPath = root;
  ts::WText chosen;
  if (BrowseForFolder(page, MessageWithTags(88), ProgramsFolderId(), kBrowseOnlyFolders,
                      rootPath + L"\\" + ControlText(page, kFolderEdit), chosen)) {
    bool inside = ts::FindIgnoringCase(chosen, rootPath) == 0;
    ts::WText relative = inside ? chosen.substr(rootPath.size()) : chosen;
    while (!relative.empty() && relative.front() == L'\\') relative.erase(0, 1);
    ShowFolderInEdit(page, relative);
  }
  SetFocus(GetDlgItem(page, kFolderEdit));
}

bool HandleStartMenuPage(HWND window, UINT message, WPARAM wParam) {
  if (IsCommand(message, wParam, kFolderEdit, EN_CHANGE)) {
    EnableWindow(GetDlgItem(window, kForwardButton), IsValidStartMenuFolder(ControlText(window, kFolderEdit)));
    return true;
  }
  if (IsCommand(message, wParam, kBrowseButton)) {
    BrowseStartMenuFolder(window);
    return true;
  }
  if (IsCommand(message, wParam, kForwardButton)) {
    g_installer.script.startMenuFolder = ts::Utf8FromWide(ControlText(window, kFolderEdit));
    EndDialog(window, kForwardButton);
    return true;
  }
  return false;
}

// Password --------------------------------------------------------------------

// Compared as the UTF-8 bytes that the script holds: case and length count.
bool HandlePasswordPage(HWND window, UINT message, WPARAM wParam) {
  if (IsCommand(message, wParam, kBackwardButton)) {
    EndDialog(window, 0);
    return true;
  }
  if (!IsCommand(message, wParam, kForwardButton)) return false;
  if (ts::Utf8FromWide(ControlText(window, kPasswordEdit)) == g_installer.script.password) {
    EndDialog(window, 1);
    return true;
  }
  Sleep(kWrongPasswordPause);
  ShowMessage(MessageWithTags(102), MessageWithTags(kErrorCaptionMessage), MB_ICONERROR);
  SetFocus(GetDlgItem(window, kPasswordEdit));
  return true;
}

// The confirmations end with Cancel when closed.
bool CloseCancels(HWND window, UINT message) {
  if (message != WM_CLOSE) return false;
  EndDialog(window, kBackwardButton);
  return true;
}

}  // namespace

bool ShowGreeting() {
  uint32_t style = g_installer.script.pageStyles[format::kGreetingPage];
  if (style == kPlainStyle) {
    return ShowMessage(MessageWithTags(1), MessageWithTags(kCaptionMessage), MB_OKCANCEL) == IDOK;
  }
  Page page =
      WizardPage(L"GreetingDlg", format::kGreetingPage, MessageWithTags(style == kBannerStyle ? 103 : kCaptionMessage));
  page.setUp = [style](HWND window) { SetUpGreeting(window, style); };
  page.handle = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR&) {
    if (message == WM_NOTIFY) {
      const auto* notice = reinterpret_cast<const NMHDR*>(lParam);
      if (notice->idFrom == kGreetingLink && notice->code == NM_CLICK) OpenGreetingLink();
      return notice->idFrom == kGreetingLink;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == kComeToForegroundAndFocus) {
      SetForegroundWindow(window);
      SetFocus(GetDlgItem(window, kForwardButton));
      return true;
    }
    return false;
  };
  return RunPage(page) == kForwardButton;
}

bool ChooseLanguage() {
  Page page = WizardPage(L"LanguageDlg", format::kLanguagePage, {});
  page.setUp = [&page](HWND window) {
    SetUpLanguageList(window);
    SetTexts(window, {{kMainText, 82}, {kForwardButton, kNextMessage}, {kBackwardButton, kCancelMessage}});
    page.title = MessageWithTags(94);
    PostCommand(window, kComeToForegroundAndFocus);
  };
  page.handle = [&page](HWND window, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    return HandleLanguagePage(window, page, message, wParam, lParam, result);
  };
  return RunPage(page) == kForwardButton;
}

bool AskPassword() {
  if (g_installer.script.password.empty()) return true;
  Page page = ConfirmationPage(L"EnterPassword", MessageWithTags(75));
  page.setUp = [](HWND window) {
    SetTexts(window, {{kMainText, 76}, {kPasswordLabel, 27}, {kBackwardButton, kCancelMessage}});
    SetControlText(window, kForwardButton, L"OK");
    SendDlgItemMessageW(window, kPasswordEdit, EM_LIMITTEXT, kPasswordLength, 0);
  };
  page.handle = [](HWND window, UINT message, WPARAM wParam, LPARAM, INT_PTR&) {
    return HandlePasswordPage(window, message, wParam);
  };
  return RunPage(page) == 1;
}

bool ShowLicensePage() { return ShowDocumentPages(kLicensePage, g_installer.script.licenseTexts); }
bool ShowReadmePage() { return ShowDocumentPages(kReadmePage, g_installer.script.readmeTexts); }

bool ChooseInstallFolder() {
  Page page = WizardPage(L"ChooseDirDlg", format::kChooseDirPage, MessageWithTags(24));
  page.setUp = [](HWND window) {
    int forward = HighFlag(high::kStartMenuPage) ? kNextMessage : kInstallMessage;
    SetTexts(window, {{kMainText, 11},
                      {kBrowseButton, kBrowseMessage},
                      {kForwardButton, forward},
                      {kBackwardButton, kCancelMessage}});
    ShowFolderInEdit(window, g_installer.installFolder);
    PostCommand(window, kRecomputeDiskSpace);
    PostCommand(window, kComeToForeground);
  };
  uint32_t style = page.style;
  page.handle = [style](HWND window, UINT message, WPARAM wParam, LPARAM, INT_PTR&) {
    return HandleInstallFolderPage(window, style, message, wParam);
  };
  return RunPage(page) == kForwardButton;
}

bool ChooseStartMenuFolder() {
  Page page = WizardPage(L"StartMenuDlg", format::kStartMenuPage, MessageWithTags(89));
  page.setUp = [](HWND window) {
    SetTexts(window, {{kMainText, 88},
                      {kBrowseButton, kBrowseMessage},
                      {kForwardButton, kInstallMessage},
                      {kBackwardButton, kCancelMessage}});
    ShowFolderInEdit(window, ts::WideFromUtf8(g_installer.script.startMenuFolder));
  };
  page.handle = [](HWND window, UINT message, WPARAM wParam, LPARAM, INT_PTR&) {
    return HandleStartMenuPage(window, message, wParam);
  };
  return RunPage(page) == kForwardButton;
}

bool TakeSupportOffer(const ts::WText& address) {
  Page page = ConfirmationPage(L"SupportOffer", MessageWithTags(110));
  page.setUp = [](HWND window) {
    SetTexts(window, {{kMainText, 109}, {kForwardButton, 110}, {kBackwardButton, kUninstallMessage}});
  };
  page.handle = [](HWND window, UINT message, WPARAM, LPARAM, INT_PTR&) { return CloseCancels(window, message); };
  if (RunPage(page) != kForwardButton) return false;
  ts::OpenAsDesktopUser(address, L"", L"");
  return true;
}

// A silent run shows no window at all: it takes the dialog's default, as
// every question of a silent run does.
bool ConfirmMustUninstall() {
  if (g_installer.flags.silent) return true;
  Page page = ConfirmationPage(L"MustUninstall", MessageWithTags(kErrorCaptionMessage));
  page.setUp = [](HWND window) {
    SetTexts(window, {{kMainText, 9}, {kForwardButton, kUninstallMessage}, {kBackwardButton, kCancelMessage}});
  };
  page.handle = [](HWND window, UINT message, WPARAM, LPARAM, INT_PTR&) { return CloseCancels(window, message); };
  return RunPage(page) == kForwardButton;
}

}  // namespace palisade
