// wintest: lets the tests, which run outside Wine, watch and drive the
// engine's windows from inside the same Wine desktop.
//
//   wintest wait  (--caption TEXT | --class NAME) [--timeout MS]
//   wintest texts (--caption TEXT | --class NAME) [--timeout MS]
//   wintest rects (--caption TEXT | --class NAME) [--timeout MS]
//   wintest press ID (--caption TEXT | --class NAME) [--timeout MS]
//   wintest gone  (--caption TEXT | --class NAME) [--timeout MS]
//   wintest hide  (--caption TEXT | --class NAME) [--timeout MS]
//   wintest close (--caption TEXT | --class NAME) [--timeout MS]
//   wintest endsession (--caption TEXT | --class NAME) [--timeout MS]
//   wintest state ID (--caption TEXT | --class NAME) [--timeout MS]
//   wintest settext ID TEXT (--caption TEXT | --class NAME) [--timeout MS]
//   wintest select ID INDEX (--caption TEXT | --class NAME) [--timeout MS]
//   wintest watch ID (--caption TEXT | --class NAME) [--timeout MS]
//   wintest list
//   wintest capture FILE
//
// state prints a control's "enabled", "visible" and, for buttons, "checked"
// and, for progress bars, "position", one "name value" a line. settext sets
// an edit's text as typing would (the page hears of the change); select
// picks a list's entry as a click would. watch prints every position that a
// progress bar takes until its window is gone. endsession asks the window
// whether Windows may log off ("answer 1") or not ("answer 0").
//
// Output is UTF-8, one item per line, texts escaped so that each stays on
// its line. `capture` writes what the screen shows to FILE as a 24-bit
// bottom-up .bmp. Exit code 0 on success, 1 on failure or timeout, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr DWORD kDefaultTimeoutMs = 20000;
constexpr DWORD kPollIntervalMs = 50;
// Fine enough to see every position of a bar that holds each for a tenth of
// a second or more.
constexpr DWORD kWatchIntervalMs = 5;
// A hung engine must fail the test, not hang it.
constexpr UINT kSendTimeoutMs = 2000;
constexpr int kMaxClassNameLength = 256;

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kBadUsage = 2;

constexpr wchar_t kUsage[] =
    L"usage: wintest wait (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest texts (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest rects (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest press ID (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest gone (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest hide (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest close (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest endsession (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest state ID (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest settext ID TEXT (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest select ID INDEX (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest watch ID (--caption TEXT | --class NAME) [--timeout MS]\n"
    L"       wintest list\n"
    L"       wintest capture FILE\n";

// Output -------------------------------------------------------------------

// Written with WriteFile rather than the C runtime so that no "\r" is added
// and the bytes reach a Unix pipe exactly as UTF-8.
void WriteUtf8(DWORD stdHandle, std::wstring_view text) {
  if (text.empty()) return;
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(stdHandle), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintLine(const std::wstring& line) { WriteUtf8(STD_OUTPUT_HANDLE, line + L"\n"); }

int Fail(const std::wstring& reason) {
  WriteUtf8(STD_ERROR_HANDLE, L"wintest: " + reason + L"\n");
  return kFailure;
}

int BadUsage() {
  WriteUtf8(STD_ERROR_HANDLE, kUsage);
  return kBadUsage;
}

std::wstring Escaped(std::wstring_view text) {
  std::wstring escaped;
  for (const wchar_t c : text) {
    switch (c) {
      case L'\\': escaped += L"\\\\"; break;
      case L'\r': escaped += L"\\r"; break;
      case L'\n': escaped += L"\\n"; break;
      case L'\t': escaped += L"\\t"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::wstring HandleText(HWND window) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  auto value = reinterpret_cast<UINT_PTR>(window);
  std::wstring digits;
  do {
    digits.insert(digits.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return L"0x" + digits;
}

// Reading windows ----------------------------------------------------------

// GetWindowTextW reads another process's caption without sending it a
// message, so a hung window cannot block the caller.
std::wstring StoredText(HWND window) {
  std::wstring text(256, L'\0');
  for (;;) {
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    if (length < static_cast<int>(text.size()) - 1) {
      text.resize(length);
      return text;
    }
    text.resize(text.size() * 2);
  }
}

std::optional<std::wstring> AskedText(HWND control) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
    return std::nullopt;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &copied)) {
    return std::nullopt;
  }
  text.resize(copied < length ? copied : length);
  return text;
}

// Controls such as edits keep their text to themselves, so they are asked;
// the stored text is what is left when the owner does not answer in time.
std::wstring ControlText(HWND control) {
  if (std::optional<std::wstring> asked = AskedText(control)) return *asked;
  return StoredText(control);
}

std::wstring ClassName(HWND window) {
  wchar_t name[kMaxClassNameLength + 1] = {};
  const int length = GetClassNameW(window, name, kMaxClassNameLength + 1);
  return std::wstring(name, length);
}

DWORD ProcessId(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Includes grandchildren, so controls on a page hosted inside the main
// window are found too.
std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

// Choosing a window --------------------------------------------------------

struct Target {
  bool byCaption = true;
  std::wstring value;
};

std::wstring Describe(const Target& target) {
  return (target.byCaption ? L"caption \"" : L"class \"") + target.value + L"\"";
}

bool Matches(HWND window, const Target& target) {
  if (target.byCaption) return StoredText(window) == target.value;
  // Windows itself treats class names case-insensitively.
  return lstrcmpiW(ClassName(window).c_str(), target.value.c_str()) == 0;
}

HWND FindTopLevel(const Target& target, bool mustBeVisible) {
  for (HWND window : TopLevelWindows()) {
    if (mustBeVisible && !IsWindowVisible(window)) continue;
    if (Matches(window, target)) return window;
  }
  return nullptr;
}

// GetTickCount differences stay right across its wrap-around.
template <typename Check>
bool PollUntil(DWORD timeoutMs, Check check) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (check()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollIntervalMs);
  }
}

HWND WaitForVisible(const Target& target, DWORD timeoutMs) {
  HWND found = nullptr;
  PollUntil(timeoutMs, [&] { return (found = FindTopLevel(target, true)) != nullptr; });
  return found;
}

std::wstring NotAppeared(const Target& target, DWORD timeoutMs) {
  return L"no visible window with " + Describe(target) + L" within " + std::to_wstring(timeoutMs) + L" ms";
}

// Command line -------------------------------------------------------------

struct Options {
  Target target;
  DWORD timeoutMs = kDefaultTimeoutMs;
};

std::optional<DWORD> ParseDecimal(std::wstring_view text, DWORD max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  unsigned long long value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  if (value > max) return std::nullopt;
  return static_cast<DWORD>(value);
}

// Exactly one of --caption and --class, each option at most once.
std::optional<Options> ParseOptions(int argc, wchar_t** argv, int first) {
  Options options;
  bool haveTarget = false;
  bool haveTimeout = false;
  for (int i = first; i < argc; i += 2) {
    const std::wstring_view name = argv[i];
    if (i + 1 >= argc) return std::nullopt;
    const wchar_t* value = argv[i + 1];
    if (name == L"--caption" || name == L"--class") {
      if (haveTarget) return std::nullopt;
      options.target = Target{name == L"--caption", value};
      haveTarget = true;
    } else if (name == L"--timeout") {
      const std::optional<DWORD> timeout = ParseDecimal(value, MAXDWORD);
      if (haveTimeout || !timeout) return std::nullopt;
      options.timeoutMs = *timeout;
      haveTimeout = true;
    } else {
      return std::nullopt;
    }
  }
  if (!haveTarget) return std::nullopt;
  return options;
}

// Commands -----------------------------------------------------------------

int Wait(const Options& options) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) return Fail(NotAppeared(options.target, options.timeoutMs));
  PrintLine(HandleText(window));
  return kSuccess;
}

int Texts(const Options& options) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) return Fail(NotAppeared(options.target, options.timeoutMs));
  PrintLine(L"caption\t" + Escaped(StoredText(window)));
  for (HWND child : ChildWindows(window)) {
    PrintLine(std::to_wstring(GetDlgCtrlID(child)) + L"\t" + Escaped(ClassName(child)) + L"\t" +
              Escaped(ControlText(child)));
  }
  return kSuccess;
}

std::wstring RectText(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return std::to_wstring(rect.left) + L"\t" + std::to_wstring(rect.top) + L"\t" + std::to_wstring(rect.right) + L"\t" +
         std::to_wstring(rect.bottom);
}

// Screen rectangles: "window" and the window's, then each visible child's
// control id and class with its own.
int Rects(const Options& options) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) return Fail(NotAppeared(options.target, options.timeoutMs));
  PrintLine(L"window\t" + RectText(window));
  for (HWND child : ChildWindows(window)) {
    if (!IsWindowVisible(child)) continue;
    PrintLine(std::to_wstring(GetDlgCtrlID(child)) + L"\t" + Escaped(ClassName(child)) + L"\t" + RectText(child));
  }
  return kSuccess;
}

bool IsClass(HWND window, const wchar_t* name) { return lstrcmpiW(ClassName(window).c_str(), name) == 0; }

// Several pages may reuse an id; the one the user can see is the one meant.
HWND FindControl(HWND window, int id, const wchar_t* className = nullptr) {
  HWND hidden = nullptr;
  for (HWND child : ChildWindows(window)) {
    if (GetDlgCtrlID(child) != id || (className && !IsClass(child, className))) continue;
    if (IsWindowVisible(child)) return child;
    if (!hidden) hidden = child;
  }
  return hidden;
}

int Press(int id, const Options& options) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) return Fail(NotAppeared(options.target, options.timeoutMs));
  HWND button = FindControl(window, id, L"Button");
  const bool posted = button ? PostMessageW(button, BM_CLICK, 0, 0)
                             : PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  if (!posted) return Fail(L"could not post to window " + HandleText(button ? button : window));
  return kSuccess;
}

std::optional<LRESULT> Ask(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(answer);
}

// Waits for the window, then for its control.
HWND WaitForControl(const Options& options, int id, std::wstring& problem) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) {
    problem = NotAppeared(options.target, options.timeoutMs);
    return nullptr;
  }
  HWND control = FindControl(window, id);
  if (!control) problem = L"no control " + std::to_wstring(id) + L" in the window with " + Describe(options.target);
  return control;
}

int State(int id, const Options& options) {
  std::wstring problem;
  HWND control = WaitForControl(options, id, problem);
  if (!control) return Fail(problem);
  PrintLine(L"enabled " + std::to_wstring(IsWindowEnabled(control) ? 1 : 0));
  PrintLine(L"visible " + std::to_wstring(IsWindowVisible(control) ? 1 : 0));
  if (IsClass(control, L"Button")) PrintLine(L"checked " + std::to_wstring(Ask(control, BM_GETCHECK).value_or(-1)));
  if (IsClass(control, L"msctls_progress32")) {
    PrintLine(L"position " + std::to_wstring(Ask(control, PBM_GETPOS).value_or(-1)));
  }
  return kSuccess;
}

int SetText(int id, const std::wstring& text, const Options& options) {
  std::wstring problem;
  HWND control = WaitForControl(options, id, problem);
  if (!control) return Fail(problem);
  if (!Ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) return Fail(L"the control did not answer");
  return kSuccess;
}

int Select(int id, int index, const Options& options) {
  std::wstring problem;
  HWND list = WaitForControl(options, id, problem);
  if (!list) return Fail(problem);
  if (Ask(list, LB_SETCURSEL, static_cast<WPARAM>(index)).value_or(LB_ERR) == LB_ERR) {
    return Fail(L"the list has no entry " + std::to_wstring(index));
  }
  PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  return kSuccess;
}

// Each position once, in the order the bar takes them.
int Watch(int id, const Options& options) {
  std::wstring problem;
  HWND bar = WaitForControl(options, id, problem);
  if (!bar) return Fail(problem);
  LRESULT last = -1;
  const DWORD start = GetTickCount();
  while (IsWindow(bar) && GetTickCount() - start < options.timeoutMs) {
    std::optional<LRESULT> position = Ask(bar, PBM_GETPOS);
    if (position && *position != last) {
      PrintLine(std::to_wstring(*position));
      last = *position;
    }
    Sleep(kWatchIntervalMs);
  }
  return kSuccess;
}

// What the window's close box does.
int Close(const Options& options) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) return Fail(NotAppeared(options.target, options.timeoutMs));
  if (!PostMessageW(window, WM_CLOSE, 0, 0)) return Fail(L"could not post to window " + HandleText(window));
  return kSuccess;
}

int AskToEndSession(const Options& options) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) return Fail(NotAppeared(options.target, options.timeoutMs));
  std::optional<LRESULT> answer = Ask(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  if (!answer) return Fail(L"the window did not answer");
  PrintLine(L"answer " + std::to_wstring(*answer ? 1 : 0));
  return kSuccess;
}

int Gone(const Options& options) {
  if (PollUntil(options.timeoutMs, [&] { return FindTopLevel(options.target, false) == nullptr; })) return kSuccess;
  return Fail(L"window with " + Describe(options.target) + L" still there after " +
              std::to_wstring(options.timeoutMs) + L" ms");
}

constexpr DWORD kHiddenSettleMs = 1500;

// Takes a window off the screen, such as a box in front of what is to be
// captured; asynchronously, so that a hung owner cannot block the helper. A
// dialog shows itself once more when its message queue first runs empty, so
// it is hidden again whenever it reappears for a while after.
int Hide(const Options& options) {
  HWND window = WaitForVisible(options.target, options.timeoutMs);
  if (!window) return Fail(NotAppeared(options.target, options.timeoutMs));
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kHiddenSettleMs) {
    if (IsWindowVisible(window) && !ShowWindowAsync(window, SW_HIDE)) {
      return Fail(L"could not hide window " + HandleText(window));
    }
    Sleep(kPollIntervalMs);
  }
  return kSuccess;
}

int List() {
  for (HWND window : TopLevelWindows()) {
    PrintLine(HandleText(window) + L"\t" + (IsWindowVisible(window) ? L"1" : L"0") + L"\t" +
              Escaped(ClassName(window)) + L"\t" + Escaped(StoredText(window)) + L"\t" +
              std::to_wstring(ProcessId(window)));
  }
  return kSuccess;
}

// Capturing the screen -----------------------------------------------------

constexpr int kCaptureBits = 24;

std::vector<BYTE> ScreenPixels(int width, int height, BITMAPINFOHEADER& header) {
  header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = kCaptureBits;
  header.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<BYTE> pixels;
  if (bitmap) {
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const size_t stride = ((static_cast<size_t>(width) * kCaptureBits + 31) / 32) * 4;
    pixels.assign(static_cast<BYTE*>(bits), static_cast<BYTE*>(bits) + stride * height);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
  }
  ReleaseDC(nullptr, screen);
  return pixels;
}

int Capture(const wchar_t* path) {
  BITMAPINFOHEADER header;
  std::vector<BYTE> pixels = ScreenPixels(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), header);
  if (pixels.empty()) return Fail(L"could not read the screen");
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE out = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return Fail(std::wstring(L"could not create ") + path);
  DWORD written = 0;
  bool complete = WriteFile(out, &file, sizeof file, &written, nullptr) &&
                  WriteFile(out, &header, sizeof header, &written, nullptr) &&
                  WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(out);
  return complete ? kSuccess : Fail(std::wstring(L"could not write ") + path);
}

// Commands of the form: command ID [VALUE] options.
int RunControlCommand(std::wstring_view command, int argc, wchar_t** argv) {
  const bool withValue = command == L"settext" || command == L"select";
  const int first = withValue ? 4 : 3;
  if (argc < first) return BadUsage();
  const std::optional<DWORD> id = ParseDecimal(argv[2], 0xFFFF);
  const std::optional<Options> options = ParseOptions(argc, argv, first);
  if (!id || !options) return BadUsage();
  const int control = static_cast<int>(*id);
  if (command == L"state") return State(control, *options);
  if (command == L"watch") return Watch(control, *options);
  if (command == L"settext") return SetText(control, argv[3], *options);
  const std::optional<DWORD> index = ParseDecimal(argv[3], 0xFFFF);
  if (!index) return BadUsage();
  return Select(control, static_cast<int>(*index), *options);
}

int RunWindowCommand(std::wstring_view command, int argc, wchar_t** argv) {
  if (command == L"state" || command == L"settext" || command == L"select" || command == L"watch") {
    return RunControlCommand(command, argc, argv);
  }
  if (command == L"press") {
    if (argc < 3) return BadUsage();
    const std::optional<DWORD> id = ParseDecimal(argv[2], 0xFFFF);
    const std::optional<Options> options = ParseOptions(argc, argv, 3);
    if (!id || !options) return BadUsage();
    return Press(static_cast<int>(*id), *options);
  }
  const std::optional<Options> options = ParseOptions(argc, argv, 2);
  if (!options) return BadUsage();
  if (command == L"wait") return Wait(*options);
  if (command == L"texts") return Texts(*options);
  if (command == L"rects") return Rects(*options);
  if (command == L"gone") return Gone(*options);
  if (command == L"hide") return Hide(*options);
  if (command == L"close") return Close(*options);
  if (command == L"endsession") return AskToEndSession(*options);
  return BadUsage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return BadUsage();
  const std::wstring_view command = argv[1];
  if (command == L"list") return argc == 2 ? List() : BadUsage();
  if (command == L"capture") return argc == 3 ? Capture(argv[2]) : BadUsage();
  return RunWindowCommand(command, argc, argv);
}
