// closeme: one visible top-level window of a given class and title, for the
// tests of the close rules to close, quit, ask about or end.
//
//   closeme CLASS TITLE [STOP-FILE]
//
// Exit code 10 when the window was asked to close (WM_CLOSE), 11 when the
// program was told to quit (WM_QUIT) without it; a process ended from
// outside has the code its ender gave. The window also closes itself once
// STOP-FILE exists, the way a user would close it.
#include <windows.h>

#include <string>

namespace {

constexpr int kClosedExit = 10;
constexpr int kQuitExit = 11;
constexpr UINT_PTR kStopTimer = 1;
constexpr UINT kStopPollMs = 100;

bool g_closed = false;
const wchar_t* g_stopFile = nullptr;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      g_closed = true;
      DestroyWindow(window);
      return 0;
    case WM_TIMER:
      if (g_stopFile && GetFileAttributesW(g_stopFile) != INVALID_FILE_ATTRIBUTES) PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  g_stopFile = argc > 3 ? argv[3] : nullptr;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = argv[1];
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(argv[1], argv[2], WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  if (!window) return 3;
  SetTimer(window, kStopTimer, kStopPollMs, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return g_closed ? kClosedExit : kQuitExit;
}
