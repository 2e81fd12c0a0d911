#pragma once
// Window utilities: placing windows, running dialogs from the resources,
// the common controls, and draining the thread's message queue.
#include <windows.h>

#include "core/ts_text.h"

namespace ts {

// The desktop's work area (the screen without the taskbar); the whole
// primary screen when the system cannot say.
RECT WorkArea();
RECT ScreenArea();

// The rectangle a window has on the screen, or would have when restored
// from a minimised state. False when there is no such window.
bool RestoredWindowRect(HWND window, RECT& rect);

// Puts the centre of `window` on the centre of `area`.
void CentreWindowOn(HWND window, const RECT& area);

// Where a window of the given size goes within `area` in a placement mode:
// 0 centred; 1 top centre; 2 bottom centre; 3 top left; 4 top right;
// 5 bottom left; 6 bottom right. Any other mode centres. The corners and
// edges keep a margin of a fortieth of the area.
RECT PlacedRect(const RECT& area, int width, int height, unsigned mode);

// Runs a modal dialog from a template in memory, on behalf of `module`. The
// narrow call is taken only on systems where the wide one is not
// implemented. -1 when the dialog cannot be made or there is no template.
INT_PTR RunDialog(HINSTANCE module, const DLGTEMPLATE* dialogTemplate, HWND owner, DLGPROC procedure,
                  LPARAM parameter);
// The same, modeless: the dialog's window, or null.
HWND OpenDialog(HINSTANCE module, const DLGTEMPLATE* dialogTemplate, HWND owner, DLGPROC procedure, LPARAM parameter);

// Registers the progress bar and link control classes. The library is
// loaded by name so that the version the program's manifest asks for is
// the one used, and from the system folder only.
bool LoadCommonControls();

// Takes every waiting message of the thread, translates and dispatches it.
// True when a WM_DESTROY or WM_QUIT was among them.
bool DrainMessageQueue();

// A length in horizontal or vertical dialog units of `dialog`, in pixels.
int DialogUnitsToPixelsX(HWND dialog, int units);
int DialogUnitsToPixelsY(HWND dialog, int units);

}  // namespace ts
