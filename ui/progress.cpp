#include "ui/progress.h"

#include <commctrl.h>

#include "core/ts_format.h"
#include "core/ts_system.h"
#include "core/ts_window.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/message_box.h"
#include "ui/page.h"
#include "ui/page_controls.h"
#include "ui/page_rules.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

constexpr DWORD kPumpInterval = 50;
constexpr double kHeadlineHeight = 1.1;  // of the vertical dialog base unit

DWORD g_statusShownAt = 0;
bool g_statusShown = false;

Page g_page;
HWND g_window = nullptr;
HWND g_bar = nullptr;
// The position shown last: a phase of many small steps asks for the same
// one again and again, and each telling costs a message and a trace.
int g_shownPercent = -1;
HFONT g_headlineFont = nullptr;

bool Uninstalling() { return g_installer.flags.uninstall; }
bool CancelForbidden() { return (g_installer.script.productFlagsLow & low::kCancelForbidden) != 0; }

// Within the whole screen when the background window covers it, else within
// the work area, in the script's placement mode.
void PlaceProgressPage(HWND page) {
  bool fullScreen = g_installer.backgroundWindow && (g_installer.script.productFlagsHigh & high::kFullScreenBackground);
  RECT area = fullScreen ? ts::ScreenArea() : ts::WorkArea();
  RECT own;
  GetWindowRect(page, &own);
  RECT placed = ts::PlacedRect(area, own.right - own.left, own.bottom - own.top, g_installer.script.progressPlacement);
  SetWindowPos(page, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void GiveHeadlineItsFont(HWND page) {
  RECT unit = {0, 0, 0, 8};
  MapDialogRect(page, &unit);
  int height = static_cast<int>(unit.bottom * kHeadlineHeight);
  g_headlineFont = CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                               CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg 2");
  if (g_headlineFont) SendDlgItemMessageW(page, kMainText, WM_SETFONT, reinterpret_cast<WPARAM>(g_headlineFont), FALSE);
}

void SetUpProgressPage(HWND page) {
  g_bar = GetDlgItem(page, kProgressBar);
  SetControlText(page, kBackwardButton, MessageWithTags(49));
  if (Uninstalling() || CancelForbidden()) EnableWindow(GetDlgItem(page, kBackwardButton), FALSE);
  if (g_page.style == kPlainStyle || g_page.style == kBannerStyle) GiveHeadlineItsFont(page);
  SetControlText(page, kMainText, MessageWithTags(Uninstalling() ? 71 : 39));
}

void AskToCancel() {
  if (CancelForbidden()) return;
  if (Ask(MessageWithTags(28), MessageWithTags(20))) Abort();
}

bool HandleProgressPage(HWND page, UINT message, WPARAM wParam, INT_PTR& result) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) != kBackwardButton) return false;
      AskToCancel();
      return true;
    case WM_QUERYENDSESSION:
      // No logging off or shutting down while files are being written.
      SetWindowLongPtrW(page, DWLP_MSGRESULT, FALSE);
      result = TRUE;
      return true;
    case WM_DESTROY:
      g_bar = nullptr;
      if (g_headlineFont) DeleteObject(g_headlineFont);
      g_headlineFont = nullptr;
      return false;
  }
  return false;
}

void ShowStatus(const ts::WText& text, const ts::WText& trace) {
  WaitForMinimumStatusTime();
  g_statusShownAt = GetTickCount();
  g_statusShown = true;
  ts::TraceRun(trace);
  if (g_window && g_page.style == kWhiteStyle) {
    SetTransparentText(g_window, kProgressStatus, text);
  } else if (g_window) {
    SetControlText(g_window, kProgressStatus, text);
  }
  ts::DrainMessageQueue();
}

}  // namespace

void OpenProgressPage() {
  ts::TraceRun(L"progress page opened");
  bool wanted = g_installer.script.productFlagsHigh & high::kProgressPage;
  if (g_installer.flags.silent || !wanted || g_window) return;
  g_shownPercent = -1;  // a new bar starts empty
  g_page = Page{};
  g_page.style = Uninstalling() ? kBannerStyle : g_installer.script.pageStyles[format::kProgressPage];
  g_page.templateName = PageTemplateName(L"ProgressDlg", g_page.style);
  g_page.title = MessageWithTags(Uninstalling() ? 55 : 54);
  g_page.bannerWindowCaption = MessageWithTags(Uninstalling() ? 55 : 65);
  g_page.place = PlaceProgressPage;
  g_page.setUp = SetUpProgressPage;
  g_page.handle = [](HWND page, UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    return HandleProgressPage(page, message, wParam, result);
  };
  g_window = OpenPage(g_page);
  ts::DrainMessageQueue();
}

void CloseProgressPage() {
  ts::TraceRun(L"progress page closed");
  if (!g_window) return;
  HWND window = g_window;
  g_window = nullptr;
  DestroyWindow(window);
  ts::DrainMessageQueue();
}

HWND ProgressPage() { return g_window; }

void WaitForMinimumStatusTime() { HoldStatus(g_installer.script.minimumStatusTime); }

void HoldStatus(unsigned milliseconds) {
  if (!g_statusShown || g_installer.flags.automatic) return;
  while (GetTickCount() - g_statusShownAt < milliseconds) {
    ts::DrainMessageQueue();
    Sleep(kPumpInterval);
  }
}

void SetStatusText(const ts::WText& text) { ShowStatus(text, L"status text " + text); }
void SetStatus(int number) { ShowStatus(MessageWithTags(number), ts::Format(L"status %d", number)); }

void SetProgress(int percent) {
  if (percent == g_shownPercent) return;
  g_shownPercent = percent;
  ts::TraceRun(ts::Format(L"progress %d", percent));
  if (g_bar) PostMessageW(g_bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  ts::DrainMessageQueue();
}

}  // namespace palisade
