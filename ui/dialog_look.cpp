#include "ui/dialog_look.h"

#include <algorithm>
#include <vector>

#include "core/ts_window.h"
#include "format/product_flags.h"
#include "state/installer_state.h"
#include "ui/background_window.h"
#include "ui/resource_picture.h"

namespace palisade {
namespace {

constexpr int kButtonPadding = 16;  // room beside a caption inside its button
constexpr int kDefaultButtonGap = 6;
constexpr int kImageSizeUnits = 10;

RECT ScreenRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

int ImageWidth(HWND button) {
  auto image = reinterpret_cast<HBITMAP>(SendMessageW(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP bitmap = {};
  if (!image || !GetObjectW(image, sizeof bitmap, &bitmap)) return 0;
  return bitmap.bmWidth + kButtonPadding / 2;
}

int FittedWidth(HWND button) {
  wchar_t caption[256] = {};
  int length = GetWindowTextW(button, caption, 256);
  HDC dc = GetDC(button);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32W(dc, caption, length, &size);
  SelectObject(dc, old);
  ReleaseDC(button, dc);
  return size.cx + 2 * kButtonPadding + ImageWidth(button);
}

struct ButtonPlace {
  HWND window;
  RECT rect;  // in the window's client coordinates
};

std::vector<ButtonPlace> ButtonRow(HWND window, std::initializer_list<int> buttons) {
  std::vector<ButtonPlace> row;
  for (int control : buttons) {
    HWND button = GetDlgItem(window, control);
    // The window itself may not be shown yet, so the button's own style is asked.
    if (!button || !(GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT rect = ScreenRect(button);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    row.push_back({button, rect});
  }
  std::sort(row.begin(), row.end(),
            [](const ButtonPlace& a, const ButtonPlace& b) { return a.rect.left < b.rect.left; });
  return row;
}

}  // namespace

void SetIcons(HWND window, const ProductIcons& icons) {
  if (icons.small) SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.small));
  if (icons.big) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.big));
}

void SetProductIcons(HWND window) {
  if (!(g_installer.script.productFlagsHigh & format::product_flags_high::kIconsOnDialogs)) return;
  SetIcons(window, RunIcons());
}

void CentreOnMainWindow(HWND window) {
  RECT area;
  if (!ts::RestoredWindowRect(g_installer.backgroundWindow, area)) area = ts::WorkArea();
  ts::CentreWindowOn(window, area);
}

void PutButtonImage(HWND dialog, int button, int image) {
  if (!(g_installer.productFlags2 & format::product_flags2::kButtonImages)) return;
  HWND control = GetDlgItem(dialog, button);
  int size = ts::DialogUnitsToPixelsY(dialog, kImageSizeUnits);
  HBITMAP bitmap = LoadPicture(g_installer.instance, image, size, size);
  if (!control || !bitmap) return;
  wchar_t caption[256] = {};
  GetWindowTextW(control, caption, 255);
  SetWindowTextW(control, (ts::WText(caption) + L" ").c_str());
  SendMessageW(control, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

void FitButtonRow(HWND window, std::initializer_list<int> buttons) {
  std::vector<ButtonPlace> row = ButtonRow(window, buttons);
  if (row.empty()) return;
  int gap = row.size() > 1 ? std::max<int>(row[1].rect.left - row[0].rect.right, 0) : kDefaultButtonGap;
  std::vector<int> widths;
  int total = 0;
  for (const ButtonPlace& place : row) {
    widths.push_back(std::max<int>(place.rect.right - place.rect.left, FittedWidth(place.window)));
    total += widths.back();
  }
  total += gap * static_cast<int>(row.size() - 1);

  RECT client;
  GetClientRect(window, &client);
  int needed = total + 2 * gap - (client.right - client.left);
  if (needed > 0) {
    RECT outer = ScreenRect(window);
    SetWindowPos(window, nullptr, outer.left - needed / 2, outer.top, outer.right - outer.left + needed,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(window, &client);
  }
  int centre = needed > 0 ? (client.right - client.left) / 2 : (row.front().rect.left + row.back().rect.right) / 2;
  int left = centre - total / 2;
  for (size_t i = 0; i < row.size(); ++i) {
    const RECT& rect = row[i].rect;
    SetWindowPos(row[i].window, nullptr, left, rect.top, widths[i], rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    left += widths[i] + gap;
  }
}

}  // namespace palisade
