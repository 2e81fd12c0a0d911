#include "core/ts_window.h"

#include <commctrl.h>

#include "core/ts_system.h"

namespace ts {
namespace {

constexpr int kPlacementMarginDivisor = 40;

enum PlacementMode : unsigned { kCentre, kTopCentre, kBottomCentre, kTopLeft, kTopRight, kBottomLeft, kBottomRight };

bool WideCallMissing(INT_PTR result) { return result == -1 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED; }

}  // namespace

RECT WorkArea() {
  RECT area = {};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return area;
  return ScreenArea();
}

RECT ScreenArea() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool RestoredWindowRect(HWND window, RECT& rect) {
  if (!window || !IsWindow(window)) return false;
  if (IsIconic(window)) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return false;
    rect = placement.rcNormalPosition;
    return true;
  }
  return GetWindowRect(window, &rect) != 0;
}

void CentreWindowOn(HWND window, const RECT& area) {
  RECT own = {};
  GetWindowRect(window, &own);
  RECT placed = PlacedRect(area, own.right - own.left, own.bottom - own.top, kCentre);
  SetWindowPos(window, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT PlacedRect(const RECT& area, int width, int height, unsigned mode) {
  int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
  int marginX = areaWidth / kPlacementMarginDivisor, marginY = areaHeight / kPlacementMarginDivisor;
  int left = area.left + (areaWidth - width) / 2, top = area.top + (areaHeight - height) / 2;
  switch (mode) {
    case kTopLeft:
    case kBottomLeft:
      left = area.left + marginX;
      break;
    case kTopRight:
    case kBottomRight:
      left = area.right - marginX - width;
      break;
    default:
      break;
  }
  switch (mode) {
    case kTopCentre:
    case kTopLeft:
    case kTopRight:
      top = area.top + marginY;
      break;
    case kBottomCentre:
    case kBottomLeft:
    case kBottomRight:
      top = area.bottom - marginY - height;
      break;
    default:
      break;
  }
  return {left, top, left + width, top + height};
}

INT_PTR RunDialog(HINSTANCE module, const DLGTEMPLATE* dialogTemplate, HWND owner, DLGPROC procedure,
                  LPARAM parameter) {
  if (!dialogTemplate) return -1;
  INT_PTR result = DialogBoxIndirectParamW(module, dialogTemplate, owner, procedure, parameter);
  if (!WideCallMissing(result)) return result;
  return DialogBoxIndirectParamA(module, dialogTemplate, owner, procedure, parameter);
}

HWND OpenDialog(HINSTANCE module, const DLGTEMPLATE* dialogTemplate, HWND owner, DLGPROC procedure, LPARAM parameter) {
  if (!dialogTemplate) return nullptr;
  HWND dialog = CreateDialogIndirectParamW(module, dialogTemplate, owner, procedure, parameter);
  if (dialog || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return dialog;
  return CreateDialogIndirectParamA(module, dialogTemplate, owner, procedure, parameter);
}

bool LoadCommonControls() {
  static bool loaded = false;
  if (loaded) return true;
  HMODULE library = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Systems without the search flags refuse it; the system folder's copy is then loaded by path.
  if (!library) library = LoadSystemLibrary(L"comctl32.dll");
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = FunctionOf<InitFunction>(library, "InitCommonControlsEx");
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS | ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  loaded = init && init(&classes);
  return loaded;
}

bool DrainMessageQueue() {
  bool ending = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_DESTROY || message.message == WM_QUIT) ending = true;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return ending;
}

int DialogUnitsToPixelsX(HWND dialog, int units) {
  RECT rect = {0, 0, units, 0};
  MapDialogRect(dialog, &rect);
  return rect.right;
}

int DialogUnitsToPixelsY(HWND dialog, int units) {
  RECT rect = {0, 0, 0, units};
  MapDialogRect(dialog, &rect);
  return rect.bottom;
}

}  // namespace ts
