#include "ui/page.h"

#include "core/ts_window.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/dialog_look.h"
#include "ui/page_controls.h"
#include "ui/page_rules.h"
#include "ui/page_templates.h"
#include "ui/resource_picture.h"

namespace palisade {
namespace {

constexpr int kSidePictureBitmap = 2;
constexpr int kBannerBitmap = 3;
constexpr int kProductHeadingMessage = 114;

constexpr wchar_t kPictureProperty[] = L"Palisade.Picture";
constexpr wchar_t kPictureProcedureProperty[] = L"Palisade.PictureProcedure";

constexpr int kTextsOnWhite[] = {kMainText, kProgressStatus, kSpaceRequired, kSpaceAvailable, kGreetingLink};

// Loaded on first use and kept for the rest of the run.
HBITMAP PageBitmap(int resource) {
  static HBITMAP side = nullptr, banner = nullptr;
  HBITMAP& kept = resource == kSidePictureBitmap ? side : banner;
  if (!kept) {
    kept = LoadPicture(g_installer.instance, resource);
  }
  return kept;
}

void PaintStretched(HWND control, HBITMAP picture) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control, &paint);
  RECT client;
  GetClientRect(control, &client);
  BITMAP size = {};
  GetObjectW(picture, sizeof size, &size);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, picture);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  EndPaint(control, &paint);
}

LRESULT CALLBACK PictureProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropW(control, kPictureProcedureProperty));
  auto picture = static_cast<HBITMAP>(GetPropW(control, kPictureProperty));
  switch (message) {
    case WM_PAINT:
      if (!picture) break;
      PaintStretched(control, picture);
      return 0;
    case WM_ERASEBKGND:
      if (picture) return 1;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropW(control, kPictureProcedureProperty);
      RemovePropW(control, kPictureProperty);
      break;
  }
  return CallWindowProcW(original, control, message, wParam, lParam);
}

// Pictures and the white panel lie under everything else and never paint
// over a sibling; only the transparent texts above them (which siblings do
// not clip) let them show through.
void LayBeneath(HWND control) {
  SetWindowLongW(control, GWL_STYLE, GetWindowLongW(control, GWL_STYLE) | WS_CLIPSIBLINGS);
  SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void ShowPicture(HWND page, int control, HBITMAP picture) {
  HWND area = GetDlgItem(page, control);
  if (!area || !picture || GetPropW(area, kPictureProperty)) return;
  SetPropW(area, kPictureProperty, picture);
  LONG_PTR original = SetWindowLongPtrW(area, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PictureProcedure));
  SetPropW(area, kPictureProcedureProperty, reinterpret_cast<HANDLE>(original));
  LayBeneath(area);
}

void FrameSidePicture(HWND page, uint32_t style) {
  HWND area = GetDlgItem(page, kSidePicture);
  PictureFrame frame = SidePictureFrame(g_installer.script.sidePictureFrame, style);
  if (!area || frame == PictureFrame::kNone) return;
  if (frame == PictureFrame::kClientEdge) {
    SetWindowLongW(area, GWL_EXSTYLE, GetWindowLongW(area, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
  } else {
    SetWindowLongW(area, GWL_STYLE, GetWindowLongW(area, GWL_STYLE) | WS_BORDER);
  }
  SetWindowPos(
      area, nullptr, 0, 0, 0, 0,
      SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
}

Page* PageOf(HWND window) { return reinterpret_cast<Page*>(GetWindowLongPtrW(window, DWLP_USER)); }

// Texts drawn transparent over a picture or the white panel wait for what
// lies beneath them to be painted.
void PaintAfterWhatLiesBeneath(HWND page, int control) {
  HWND text = GetDlgItem(page, control);
  if (text) SetWindowLongW(text, GWL_EXSTYLE, GetWindowLongW(text, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
}

void Decorate(HWND window, const Page& page) {
  if (page.decorated && PaintsBanner(page.style)) {
    SetWindowTextW(window, page.bannerWindowCaption.c_str());
    SetTransparentText(window, kBannerCaption, InstallerCaption());
    SetTransparentText(window, kBannerTitle, page.title);
    ShowPicture(window, kBannerPicture, PageBitmap(kBannerBitmap));
  } else {
    SetWindowTextW(window, page.title.c_str());
  }
  if (page.decorated && HasSidePicture(page.style)) {
    ShowPicture(window, kSidePicture, PageBitmap(kSidePictureBitmap));
    FrameSidePicture(window, page.style);
  }
  PaintAfterWhatLiesBeneath(window, kBannerCaption);
  PaintAfterWhatLiesBeneath(window, kBannerTitle);
  if (page.decorated && page.style == kWhiteStyle) {
    for (int text : kTextsOnWhite) PaintAfterWhatLiesBeneath(window, text);
  }
  if (HWND panel = GetDlgItem(window, kWhitePanel)) LayBeneath(panel);
  InvalidateRect(window, nullptr, TRUE);
}

void SetUpPage(HWND window, Page& page) {
  EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  SetProductIcons(window);
  if (page.place) {
    page.place(window);
  } else {
    CentreOnMainWindow(window);
  }
  if (page.setUp) page.setUp(window);
  PutButtonImage(window, kForwardButton, kForwardImage);
  PutButtonImage(window, kBackwardButton, kBackwardImage);
  PutButtonImage(window, kBrowseButton, kBrowseImage);
  FitButtonRow(window, {kForwardButton, kBackwardButton});
  FitButtonRow(window, {kBrowseButton});
  Decorate(window, page);
}

bool DrawnOnWhite(uint32_t style, int control) {
  if (style != kWhiteStyle) return false;
  for (int text : kTextsOnWhite) {
    if (text == control) return true;
  }
  return false;
}

INT_PTR TransparentText(HDC dc, COLORREF colour) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

INT_PTR CommonHandling(HWND window, const Page& page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      int command = LOWORD(wParam);
      if (command == kForwardButton || command == kBackwardButton) {
        EndDialog(window, command);
        return TRUE;
      }
      if (command == kComeToForeground || command == kComeToForegroundAndFocus) {
        SetForegroundWindow(window);
        return TRUE;
      }
      // Escape and the close box end no page.
      return command == kCloseCommand;
    }
    case WM_CTLCOLORSTATIC: {
      int control = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (control == kBannerCaption || control == kBannerTitle) {
        return TransparentText(dc, g_installer.script.bannerTextColor);
      }
      if (page.decorated && DrawnOnWhite(page.style, control)) return TransparentText(dc, RGB(0, 0, 0));
      return FALSE;
    }
  }
  return FALSE;
}

// Owner-drawn lists are measured while the page is made, before it knows
// its page: their items are one and a half times the height of the font.
void MeasureListItem(HWND window, MEASUREITEMSTRUCT& item) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  item.itemHeight = static_cast<UINT>(metrics.tmHeight * 3 / 2);
}

INT_PTR CALLBACK PageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MEASUREITEM) {
    MeasureListItem(window, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    return TRUE;
  }
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    g_installer.openPage = window;
    SetUpPage(window, *reinterpret_cast<Page*>(lParam));
    return TRUE;
  }
  Page* page = PageOf(window);
  if (!page) return FALSE;
  if (message == WM_DESTROY && g_installer.openPage == window) g_installer.openPage = nullptr;
  INT_PTR result = FALSE;
  if (page->handle && page->handle(window, message, wParam, lParam, result)) return result;
  return CommonHandling(window, *page, message, wParam, lParam);
}

HWND Owner(HWND owner) { return owner ? owner : g_installer.backgroundWindow; }

}  // namespace

INT_PTR RunPage(Page& page, HWND owner) {
  ts::LoadCommonControls();
  HWND previous = g_installer.openPage;
  INT_PTR result = ts::RunDialog(g_installer.instance, PageTemplate(g_installer.instance, page.templateName),
                                 Owner(owner), PageProcedure, reinterpret_cast<LPARAM>(&page));
  g_installer.openPage = previous;
  return result;
}

HWND OpenPage(Page& page, HWND owner) {
  ts::LoadCommonControls();
  return ts::OpenDialog(g_installer.instance, PageTemplate(g_installer.instance, page.templateName), Owner(owner),
                        PageProcedure, reinterpret_cast<LPARAM>(&page));
}

ts::WText InstallerCaption() {
  ts::WText heading = MessageWithTags(kProductHeadingMessage);
  return heading.empty() ? ts::WideFromUtf8(g_installer.script.productHeading) : heading;
}

void SetControlText(HWND page, int control, const ts::WText& text) { SetDlgItemTextW(page, control, text.c_str()); }

ts::WText ControlText(HWND page, int control) {
  HWND window = GetDlgItem(page, control);
  ts::WText text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetTransparentText(HWND page, int control, const ts::WText& text) {
  HWND window = GetDlgItem(page, control);
  if (!window) return;
  SetWindowTextW(window, text.c_str());
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
  RedrawWindow(page, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Redecorate(HWND page) {
  if (Page* own = PageOf(page)) Decorate(page, *own);
}

}  // namespace palisade
