#include "ui/background_window.h"

#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/background_paint.h"
#include "ui/dialog_look.h"

namespace palisade {
namespace {

constexpr wchar_t kWindowClass[] = L"SEA Window Class";
constexpr char kNarrowWindowClass[] = "SEA Window Class";
constexpr int kTitleMessage = 0;
constexpr RECT kMaximisedLater = {0, 0, 1, 1};

// What the window paints; process-wide like the window itself.
BackgroundSettings g_settings;
PreparedPicture g_picture;

void PaintTexts(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  PaintBackgroundTexts(dc, client, g_settings);
  EndPaint(window, &paint);
}

LRESULT CALLBACK BackgroundProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window, &client);
      PaintBackground(reinterpret_cast<HDC>(wParam), client, g_settings, g_picture);
      return 1;
    }
    case WM_PAINT: PaintTexts(window); return 0;
  }
  if (IsWindowUnicode(window)) return DefWindowProcW(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

// Registered once per process; no brush and no cursor, because the window
// paints all of itself. The narrow class is for systems that refuse the
// wide window.
template <typename WindowClass, typename Character>
bool RegisterOnce(bool& registered, ATOM(WINAPI* registerClass)(const WindowClass*), const Character* name,
                  HINSTANCE instance) {
  if (registered) return true;
  WindowClass windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = BackgroundProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = name;
  registered = registerClass(&windowClass) != 0;
  return registered;
}

// The work area, or a token rectangle for a window that is shown maximised
// over the whole screen; a work area that cannot be read means the latter.
RECT WindowRect(bool& fullScreen) {
  RECT workArea;
  if (!fullScreen && SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) return workArea;
  fullScreen = true;
  return kMaximisedLater;
}

HWND CreateWithEitherClass(const RECT& rect, DWORD style, HWND owner) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HWND window = nullptr;
  static bool wideRegistered = false, narrowRegistered = false;
  if (RegisterOnce(wideRegistered, RegisterClassExW, kWindowClass, instance)) {
    window = CreateWindowExW(0, kWindowClass, g_settings.taskbarText.c_str(), style, rect.left, rect.top, width, height,
                             owner, nullptr, instance, nullptr);
  }
  if (!window && RegisterOnce(narrowRegistered, RegisterClassExA, kNarrowWindowClass, instance)) {
    window = CreateWindowExA(0, kNarrowWindowClass, ts::AnsiFromWide(g_settings.taskbarText).c_str(), style, rect.left,
                             rect.top, width, height, owner, nullptr, instance, nullptr);
  }
  return window;
}

// The main window of the run, with the settings just read, unless the run
// is silent or the product turns the window off.
void ShowWithSettings() {
  bool turnedOff = g_installer.script.productFlagsLow & format::product_flags_low::kNoBackgroundWindow;
  if (g_installer.flags.silent || turnedOff) return;
  g_installer.backgroundWindow = CreateBackgroundWindow(g_settings, nullptr, g_installer.flags.minimised);
  if (g_installer.backgroundWindow) ts::TraceRun(L"background window");
}

}  // namespace

HWND CreateBackgroundWindow(const BackgroundSettings& settings, HWND owner, bool minimised) {
  g_settings = settings;
  g_picture = PreparePicture(g_settings.picture, g_settings.bitmapTpi);
  RECT rect = WindowRect(g_settings.fullScreen);
  HWND window = CreateWithEitherClass(rect, WS_POPUP | (minimised ? WS_MINIMIZE : 0), owner);
  if (!window) return nullptr;
  ShowWindow(window, SW_HIDE);
  ShowWindow(window, g_settings.fullScreen ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  if (minimised) ShowWindow(window, SW_MINIMIZE);
  SetForegroundWindow(window);
  SetActiveWindow(window);
  InvalidateRect(window, nullptr, TRUE);
  SetIcons(window, g_settings.icons);
  return window;
}

void ShowInstallerBackground() {
  g_settings = BackgroundSettingsFromScript(g_installer.script, MessageWithTags(kTitleMessage));
  g_settings.icons = IconsFromResources(g_installer.instance);
  ShowWithSettings();
}

void ShowUninstallerBackground(const ts::WText& uninstallKeyPath, const ts::WText& uninstallFolder) {
  ts::RegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, uninstallKeyPath, KEY_READ);
  const format::SetupScript& script = g_installer.script;
  g_settings =
      BackgroundSettingsFromUninstallKey(key, script.productFlagsLow, script.productFlagsHigh, uninstallFolder);
  ShowWithSettings();
}

void RepaintBackgroundWindow() {
  if (g_settings.titleFollowsLanguage) g_settings.title = MessageWithTags(kTitleMessage);
  if (g_installer.backgroundWindow) InvalidateRect(g_installer.backgroundWindow, nullptr, TRUE);
}

const ts::WText& BackgroundTitle() { return g_settings.title; }

const ProductIcons& RunIcons() { return g_settings.icons; }

}  // namespace palisade
