#include "app/exit.h"

#include <ole2.h>

#include "actions/notifications.h"
#include "core/ts_window.h"
#include "state/installer_state.h"

namespace palisade {

void OrderlyExit(int exitCode) {
  if (g_installer.openPage) {
    DestroyWindow(g_installer.openPage);
    g_installer.openPage = nullptr;
  }
  if (g_installer.backgroundWindow) {
    ShowWindow(g_installer.backgroundWindow, SW_MINIMIZE);
    DestroyWindow(g_installer.backgroundWindow);
    g_installer.backgroundWindow = nullptr;
  }
  ts::DrainMessageQueue();
  StopNotifications();
  OleUninitialize();
  ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace palisade
