#include "ui/message_box.h"

#include "app/exit.h"
#include "state/installer_state.h"
#include "payload/messages.h"
#include "ui/dialog_look.h"

namespace palisade {
namespace {

constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONQUESTION;

// The buttons that get the chosen language's captions, with their messages.
struct Relabel {
  int control;
  int message;
};
constexpr Relabel kRelabels[] = {{IDYES, 79}, {IDNO, 80}, {IDCANCEL, 49}, {IDRETRY, 100}};

// The pictures the buttons carry when the script asks for button images.
struct ButtonImage {
  int control;
  int bitmap;
};
constexpr ButtonImage kButtonImages[] = {{IDOK, kForwardImage},      {IDYES, kForwardImage},
                                         {IDNO, kBackwardImage},     {IDCANCEL, kBackwardImage},
                                         {IDRETRY, kRetryImage}};

HHOOK g_hook = nullptr;

HWND MessageOwner() { return g_installer.openPage ? g_installer.openPage : g_installer.backgroundWindow; }

void RelabelButtons(HWND box) {
  for (const Relabel& relabel : kRelabels) {
    HWND button = GetDlgItem(box, relabel.control);
    ts::WText caption = MessageWithTags(relabel.message);
    if (button && !caption.empty()) SetWindowTextW(button, caption.c_str());
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
    for (const ButtonImage& image : kButtonImages) PutButtonImage(box, image.control, image.bitmap);
    FitButtonRow(box, {IDOK, IDYES, IDNO, IDCANCEL, IDRETRY});
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
