#include "ui/progress.h"

#include <windows.h>

#include "state/installer_state.h"
#include "core/ts_format.h"
#include "core/ts_system.h"

namespace palisade {
namespace {

constexpr DWORD kPumpInterval = 50;

DWORD g_statusShownAt = 0;
bool g_statusShown = false;

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void ShowStatus(const ts::WText& trace) {
  WaitForMinimumStatusTime();
  g_statusShownAt = GetTickCount();
  g_statusShown = true;
  ts::TraceRun(trace);
}

}  // namespace

void OpenProgressPage() { ts::TraceRun(L"progress page opened"); }
void CloseProgressPage() { ts::TraceRun(L"progress page closed"); }
void ShowSummaryPage() { ts::TraceRun(L"summary page"); }

void WaitForMinimumStatusTime() { HoldStatus(g_installer.script.minimumStatusTime); }

void HoldStatus(unsigned milliseconds) {
  if (!g_statusShown || g_installer.flags.automatic) return;
  while (GetTickCount() - g_statusShownAt < milliseconds) {
    PumpMessages();
    Sleep(kPumpInterval);
  }
}

void SetStatusText(const ts::WText& text) { ShowStatus(L"status text " + text); }
void SetStatus(int number) { ShowStatus(ts::Format(L"status %d", number)); }
void SetProgress(int percent) { ts::TraceRun(ts::Format(L"progress %d", percent)); }

}  // namespace palisade
