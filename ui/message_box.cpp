#include "ui/message_box.h"

#include <algorithm>
#include <vector>

#include "app/exit.h"
#include "state/installer_state.h"
#include "format/product_flags.h"
#include "payload/messages.h"

namespace palisade {
namespace {

constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONQUESTION;
constexpr int kButtonPadding = 16;  // room beside a caption inside its button
constexpr int kDefaultButtonGap = 6;

// The buttons that get the chosen language's captions, with their messages.
struct Relabel {
  int control;
  int message;
};
constexpr Relabel kRelabels[] = {{IDYES, 79}, {IDNO, 80}, {IDCANCEL, 49}, {IDRETRY, 100}};
constexpr int kWidenedButtons[] = {IDOK, IDYES, IDNO, IDCANCEL, IDRETRY};

HHOOK g_hook = nullptr;

HWND MessageOwner() { return g_installer.openPage ? g_installer.openPage : g_installer.backgroundWindow; }

RECT ScreenRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

// A minimised main window is centred on as it would be when restored.
bool MainWindowRect(RECT& rect) {
  HWND main = g_installer.backgroundWindow;
  if (!main) return false;
  if (IsIconic(main)) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(main, &placement)) return false;
    rect = placement.rcNormalPosition;
    return true;
  }
  return GetWindowRect(main, &rect) != 0;
}

void CentreOnMainWindow(HWND box) {
  RECT area;
  if (!MainWindowRect(area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  RECT own = ScreenRect(box);
  int width = own.right - own.left, height = own.bottom - own.top;
  int left = (area.left + area.right) / 2 - width / 2;
  int top = (area.top + area.bottom) / 2 - height / 2;
  SetWindowPos(box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetProductIcons(HWND box) {
  if (!(g_installer.script.productFlagsHigh & format::product_flags_high::kIconsOnDialogs)) return;
  HICON icon = LoadIconW(g_installer.instance, MAKEINTRESOURCEW(1));
  if (!icon) return;
  SendMessageW(box, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageW(box, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void RelabelButtons(HWND box) {
  for (const Relabel& relabel : kRelabels) {
    HWND button = GetDlgItem(box, relabel.control);
    ts::WText caption = MessageWithTags(relabel.message);
    if (button && !caption.empty()) SetWindowTextW(button, caption.c_str());
  }
}

int CaptionWidth(HWND button) {
  wchar_t caption[256] = {};
  int length = GetWindowTextW(button, caption, 256);
  HDC dc = GetDC(button);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32W(dc, caption, length, &size);
  SelectObject(dc, old);
  ReleaseDC(button, dc);
  return size.cx + 2 * kButtonPadding;
}

struct ButtonPlace {
  HWND window;
  RECT rect;  // in the box's client coordinates
};

std::vector<ButtonPlace> ButtonRow(HWND box) {
  std::vector<ButtonPlace> row;
  for (int control : kWidenedButtons) {
    HWND button = GetDlgItem(box, control);
    // The box itself is not shown yet, so the button's own style is asked.
    if (!button || !(GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT rect = ScreenRect(button);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
    row.push_back({button, rect});
  }
  std::sort(row.begin(), row.end(), [](const ButtonPlace& a, const ButtonPlace& b) { return a.rect.left < b.rect.left; });
  return row;
}

// Widens each button to its caption and lays the row out again around its
// old centre with its old gaps; the box grows when the row no longer fits.
void WidenButtons(HWND box) {
  std::vector<ButtonPlace> row = ButtonRow(box);
  if (row.empty()) return;
  int gap = row.size() > 1 ? std::max<int>(row[1].rect.left - row[0].rect.right, 0) : kDefaultButtonGap;
  std::vector<int> widths;
  int total = 0;
  for (const ButtonPlace& place : row) {
    widths.push_back(std::max<int>(place.rect.right - place.rect.left, CaptionWidth(place.window)));
    total += widths.back();
  }
  total += gap * static_cast<int>(row.size() - 1);

  RECT client;
  GetClientRect(box, &client);
  int needed = total + 2 * gap - (client.right - client.left);
  if (needed > 0) {
    RECT outer = ScreenRect(box);
    SetWindowPos(box, nullptr, outer.left - needed / 2, outer.top, outer.right - outer.left + needed,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(box, &client);
  }
  int centre = needed > 0 ? (client.right - client.left) / 2 : (row.front().rect.left + row.back().rect.right) / 2;
  int left = centre - total / 2;
  for (size_t i = 0; i < row.size(); ++i) {
    const RECT& rect = row[i].rect;
    SetWindowPos(row[i].window, nullptr, left, rect.top, widths[i], rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    left += widths[i] + gap;
  }
}

constexpr wchar_t kOriginalProcedure[] = L"Palisade.BoxProcedure";
constexpr UINT kFitToInstaller = WM_APP + 0x50;

// The buttons are widened once the box is on screen: some systems lay the
// box out again after activating it, which would undo an earlier change.
LRESULT CALLBACK FitWhenShown(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropW(box, kOriginalProcedure));
  if (message == kFitToInstaller) {
    RelabelButtons(box);
    WidenButtons(box);
    CentreOnMainWindow(box);
    return 0;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(box, kOriginalProcedure);
  }
  return CallWindowProcW(original, box, message, wParam, lParam);
}

void FitWhenShown(HWND box) {
  LONG_PTR original =
      SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(static_cast<WNDPROC>(FitWhenShown)));
  SetPropW(box, kOriginalProcedure, reinterpret_cast<HANDLE>(original));
  PostMessageW(box, kFitToInstaller, 0, 0);
}

LRESULT CALLBACK FitBoxToInstaller(int code, WPARAM wParam, LPARAM lParam) {
  if (code != HCBT_ACTIVATE) return CallNextHookEx(g_hook, code, wParam, lParam);
  HWND box = reinterpret_cast<HWND>(wParam);
  SetProductIcons(box);
  CentreOnMainWindow(box);
  RelabelButtons(box);
  FitWhenShown(box);
  // One box only: the next one installs its own hook.
  UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  return 0;
}

}  // namespace

int ShowMessage(const ts::WText& text, const ts::WText& caption, UINT style, HWND owner) {
  if (g_installer.flags.silent) return IDOK;
  if (!g_hook) g_hook = SetWindowsHookExA(WH_CBT, FitBoxToInstaller, nullptr, GetCurrentThreadId());
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(0x7F00)));
  const ts::WText& shownCaption = caption.empty() ? g_installer.defaultCaption : caption;
  return MessageBoxW(owner ? owner : MessageOwner(), text.c_str(), shownCaption.c_str(), style | MB_SETFOREGROUND);
}

bool Ask(const ts::WText& text, const ts::WText& caption) {
  if (g_installer.flags.silent) return true;
  return ShowMessage(text, caption, kQuestionStyle) == IDYES;
}

void Abort() {
  if (!g_installer.flags.automatic) {
    int message = g_installer.flags.uninstall ? 101 : 98;
    ShowMessage(MessageWithTags(message), MessageWithTags(111), MB_ICONEXCLAMATION);
  }
  OrderlyExit(1);
}

}  // namespace palisade
