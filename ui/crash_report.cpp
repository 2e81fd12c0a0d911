#include "ui/crash_report.h"

#include <windows.h>

#include "core/ts_format.h"
#include "core/ts_system.h"
#include "format/version.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

constexpr int kInformUs = 2700;
constexpr int kExit = 2701;
constexpr int kExplanation = 2702;
constexpr int kReport = 2703;
constexpr int kCopyReport = 2704;
constexpr int kEmail = 2705;
constexpr int kComments = 2707;
constexpr int kReportPoints = 10;
constexpr char kMakerName[] = "Palisade";
constexpr char kReportHeaderLine[] = "X-Kestrel-Internal: 2";

struct DialogState {
  const ts::Text* report;
  CrashReportInput input;
};

HFONT ReportFont(HWND dialog) {
  static HFONT font = nullptr;
  if (!font) {
    HDC screen = GetDC(dialog);
    int height = -MulDiv(kReportPoints, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(dialog, screen);
    font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FIXED_PITCH, L"Courier New");
  }
  return font;
}

ts::Text ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  ts::WText text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return ts::Utf8FromWide(text);
}

void CopyToClipboard(HWND dialog, const ts::Text& utf8) {
  ts::Text ansi = ts::AnsiFromWide(ts::WideFromUtf8(utf8));
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, ansi.size() + 1);
  if (!memory) return;
  memcpy(GlobalLock(memory), ansi.c_str(), ansi.size() + 1);
  GlobalUnlock(memory);
  if (OpenClipboard(dialog)) {
    EmptyClipboard();
    if (SetClipboardData(CF_TEXT, memory)) memory = nullptr;
    CloseClipboard();
  }
  if (memory) GlobalFree(memory);
}

void InitDialog(HWND dialog, const DialogState& state) {
  SendDlgItemMessageW(dialog, kReport, WM_SETFONT, reinterpret_cast<WPARAM>(ReportFont(dialog)), FALSE);
  SetDlgItemTextW(dialog, kReport, ts::WideFromUtf8(*state.report).c_str());
  ts::Text explanation = ts::Format(
      "We apologize for the inconvenience, but the program has performed an illegal operation and must close.  "
      "Please report this problem to %s by clicking the \"Inform Us\" button below.",
      kMakerName);
  SetDlgItemTextA(dialog, kExplanation, explanation.c_str());
  SetWindowTextA(dialog, "Illegal Operation");
  const format::SetupScript& script = g_installer.script;
  EnableWindow(GetDlgItem(dialog, kInformUs),
               !script.supportMail.empty() && CrashReportAddressIsSecure(script.crashReportUrl));
  SetForegroundWindow(dialog);
}

INT_PTR CALLBACK CrashDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      InitDialog(dialog, *reinterpret_cast<DialogState*>(lParam));
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
      EndDialog(dialog, kExit);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kInformUs:
          state->input = {ItemText(dialog, kEmail), ItemText(dialog, kComments)};
          EndDialog(dialog, kInformUs);
          return TRUE;
        case kCopyReport:
          CopyToClipboard(dialog, *state->report);
          return TRUE;
        case kExit:
          EndDialog(dialog, kExit);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

ts::Text Trimmed(const ts::Text& text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  return first == ts::Text::npos ? ts::Text() : text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

std::vector<ts::FormField> CrashReportForm(const ts::Text& report, const CrashReportInput& input,
                                           const ts::Text& sender, const ts::Text& installerFile) {
  ts::Text subject = "Exception - Installer " + ts::Text(format::kEngineVersion) + ": " + installerFile;
  ts::Text headers = Trimmed(kReportHeaderLine);
  if (!headers.empty()) headers += "\r\n";
  ts::Text body = report;
  if (!input.email.empty()) {
    headers += "X-Exception-Email: " + input.email + "\r\nReply-To: " + input.email + "\r\n";
    body += "\r\nEmail: " + input.email + "\r\n";
  }
  if (!input.comments.empty()) body += "\r\nComments:\r\n" + input.comments;
  return {{"from", sender}, {"body", body}, {"subject", subject}, {"headers", headers}};
}

bool CrashReportAddressIsSecure(const ts::Text& address) {
  ts::HttpsAddress parts;
  return ts::SplitHttpsAddress(address, parts);
}

bool ShowCrashDialog(const ts::Text& report, CrashReportInput& input) {
  DialogState state{&report, {}};
  INT_PTR choice = DialogBoxParamA(g_installer.instance, "ExceptionDlg", nullptr, CrashDialogProc,
                                   reinterpret_cast<LPARAM>(&state));
  input = state.input;
  return choice == kInformUs;
}

void SendCrashReport(const ts::Text& report, const CrashReportInput& input) {
  const format::SetupScript& script = g_installer.script;
  if (!CrashReportAddressIsSecure(script.crashReportUrl)) return;
  ts::Text installerFile = ts::Utf8FromWide(ts::ModuleBaseName());
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  ts::PostForm(script.crashReportUrl, CrashReportForm(report, input, script.supportMail, installerFile));
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace palisade
