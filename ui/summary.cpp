#include "ui/summary.h"

#include <windows.h>

#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/page.h"
#include "ui/page_controls.h"
#include "ui/page_rules.h"
#include "ui/progress.h"

namespace palisade {
namespace {

namespace flags2 = format::product_flags2;

struct Option {
  int control;
  int message;
  uint32_t checkedFlag;  // in ProductFlags2; 0: never checked at first
};
constexpr Option kOptions[] = {{kLaunchCheckBox, 84, flags2::kLaunchChecked},
                               {kOpenDocumentCheckBox, 83, flags2::kOpenDocumentChecked},
                               {kOpenSecondCheckBox, 87, flags2::kOpenSecondChecked},
                               {kViewLogCheckBox, 85, 0}};

SummaryOffer Offer() {
  const format::SetupScript& script = g_installer.script;
  SummaryOffer offer;
  offer.launch = !script.launchProgram.empty();
  offer.open = !script.openDocument.empty();
  offer.openAlso = !script.summaryOpenTarget.empty();
  offer.viewLog = (script.productFlagsHigh & format::product_flags_high::kOfferToViewLog) != 0;
  return offer;
}

void PlaceOption(HWND page, const SummaryRow& row) {
  RECT rect = {row.left, row.top, row.right, row.top + row.height};
  MapDialogRect(page, &rect);
  HWND box = GetDlgItem(page, row.control);
  SetWindowPos(box, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void SetUpOptions(HWND page, uint32_t style) {
  for (const Option& option : kOptions) {
    HWND box = GetDlgItem(page, option.control);
    ShowWindow(box, SW_HIDE);
    SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
    SetControlText(page, option.control, MessageWithTags(option.message));
  }
  for (const SummaryRow& row : SummaryRows(style, Offer())) {
    PlaceOption(page, row);
    for (const Option& option : kOptions) {
      bool checked = option.control == row.control && (g_installer.productFlags2 & option.checkedFlag);
      if (checked) SendDlgItemMessageW(page, option.control, BM_SETCHECK, BST_CHECKED, 0);
    }
  }
}

bool Checked(HWND page, int control) { return IsDlgButtonChecked(page, control) == BST_CHECKED; }

bool HandleSummaryPage(HWND page, uint32_t style, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) != kForwardButton) return false;
      g_installer.summaryChoices = {Checked(page, kOpenDocumentCheckBox), Checked(page, kLaunchCheckBox),
                                    Checked(page, kViewLogCheckBox), Checked(page, kOpenSecondCheckBox)};
      EndDialog(page, 1);
      return true;
    case WM_CLOSE:
      g_installer.summaryChoices = {};
      EndDialog(page, 1);
      return true;
    case WM_CTLCOLORSTATIC: {
      int control = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      bool option = control == kLaunchCheckBox || control == kOpenDocumentCheckBox || control == kOpenSecondCheckBox ||
                    control == kViewLogCheckBox;
      if (style != kWhiteStyle || !option) return false;
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
      result = reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
      return true;
    }
  }
  return false;
}

}  // namespace

void ShowSummaryPage() {
  ts::TraceRun(L"summary page");
  Page page;
  page.style = g_installer.script.pageStyles[format::kSummaryPage];
  page.templateName = PageTemplateName(L"SummaryDlg", page.style);
  page.title = MessageWithTags(43);
  page.bannerWindowCaption = MessageWithTags(65);
  uint32_t style = page.style;
  page.setUp = [style](HWND window) {
    SetControlText(window, kMainText, MessageWithTags(42));
    SetControlText(window, kForwardButton, MessageWithTags(95));
    SetUpOptions(window, style);
  };
  page.handle = [style](HWND window, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    return HandleSummaryPage(window, style, message, wParam, lParam, result);
  };
  RunPage(page, ProgressPage());
}

}  // namespace palisade
