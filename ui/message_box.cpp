#include "ui/message_box.h"

#include "app/installer_state.h"

namespace palisade {
namespace {

HWND MessageOwner() { return g_installer.openPage ? g_installer.openPage : g_installer.backgroundWindow; }

}  // namespace

int ShowMessage(const ts::WText& text, const ts::WText& caption, UINT style) {
  if (g_installer.flags.silent) return IDOK;
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
  const ts::WText& shownCaption = caption.empty() ? g_installer.defaultCaption : caption;
  return MessageBoxW(MessageOwner(), text.c_str(), shownCaption.c_str(), style | MB_SETFOREGROUND);
}

}  // namespace palisade
