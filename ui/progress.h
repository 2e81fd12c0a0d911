#pragma once
// The one progress interface of a run: a status line taken from the message
// table and a percentage. The drivers and the actions set them; the progress
// page shows them while it is open. Every change is also written to the
// debugger output ("Palisade: status 62", "Palisade: progress 21"), where
// tests and support can follow a run.
#include <windows.h>

#include "core/ts_text.h"

namespace palisade {

// Opens the modeless progress page, unless the run is silent or the script
// asks for no progress page. Its Cancel asks whether to stop and, on Yes,
// aborts the run; it is disabled while uninstalling and when the script
// forbids cancelling. While it is open Windows may not log off or shut down.
void OpenProgressPage();
void CloseProgressPage();
// The open progress page, or null.
HWND ProgressPage();

// Shows message `number` as the status. Unless the run is automatic, the
// previous status first stays up for the script's minimum status time,
// with window messages pumped meanwhile.
void SetStatus(int number);
void SetStatusText(const ts::WText& text);
void SetProgress(int percent);

// Waits out the minimum status time of the status now shown.
void WaitForMinimumStatusTime();

// Unless the run is automatic, keeps the status now shown for `milliseconds`
// since it was set, with window messages pumped meanwhile.
void HoldStatus(unsigned milliseconds);

}  // namespace palisade
