#include "core/ts_fatal.h"

#include <windows.h>

#include "core/ts_crash.h"
#include "core/ts_format.h"
#include "core/ts_system.h"

namespace ts {
namespace {

volatile LONG g_fatalReported = 0;
volatile DWORD g_reportingThread = 0;
FatalBox g_fatalBox = nullptr;
WideFatalBox g_wideFatalBox = nullptr;
WText g_programName;
FatalHook g_hooks[kMaxFatalHooks];
bool g_hookRan[kMaxFatalHooks];
int g_hookCount = 0;

void DefaultFatalBox(const wchar_t* message) {
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
  WText name = g_programName.empty() ? ModuleBaseName() : g_programName;
  WText caption = Format(L"FATAL ERROR - %s", name.c_str());
  MessageBoxW(nullptr, message, caption.c_str(), MB_TOPMOST | MB_TASKMODAL | MB_ICONERROR);
}

// A second report never shows a second box. When it comes from another
// thread while the first box is open, only that thread ends, so that the
// first message stays readable; otherwise the process ends.
[[noreturn]] void EndSecondReport() {
  if (g_reportingThread != 0 && g_reportingThread != GetCurrentThreadId()) ExitThread(1);
  ExitProcess(1);
}

bool TakeFirstReport() {
  if (InterlockedExchange(&g_fatalReported, 1) != 0) return false;
  g_reportingThread = GetCurrentThreadId();
  return true;
}

void RunHooks() {
  for (int i = 0; i < g_hookCount; ++i) {
    if (g_hookRan[i]) continue;
    g_hookRan[i] = true;
    try {
      g_hooks[i]();
    } catch (...) {
      // A failing hook must not keep the message from being shown.
    }
  }
}

Text Truncated(Text message) {
  if (message.size() > kMaxFatalMessage) message.resize(kMaxFatalMessage);
  return message;
}

[[noreturn]] void ReportNarrow(const Text& message) {
  if (!TakeFirstReport()) EndSecondReport();
  RunHooks();
  WText wide = WideFromUtf8(message);
  WriteStandardError(wide);
  if (g_fatalBox) {
    g_fatalBox(message.c_str());
  } else if (g_wideFatalBox) {
    g_wideFatalBox(wide.c_str());
  } else {
    DefaultFatalBox(wide.c_str());
  }
  ExitProcess(1);
}

[[noreturn]] void ReportWide(const WText& message) {
  if (!TakeFirstReport()) EndSecondReport();
  WriteStandardError(message);
  if (g_wideFatalBox) {
    g_wideFatalBox(message.c_str());
  } else if (g_fatalBox) {
    g_fatalBox(Utf8FromWide(message).c_str());
  } else {
    DefaultFatalBox(message.c_str());
  }
  ExitProcess(1);
}

}  // namespace

void Fatal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Text message = Truncated(FormatV(format, args));
  va_end(args);
  ReportNarrow(message);
}

void Fatal(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WText message = FormatV(format, args);
  va_end(args);
  if (message.size() > kMaxFatalMessage) message.resize(kMaxFatalMessage);
  ReportWide(message);
}

void InternalFatal(const char* module, int line) {
  FatalWithCrashReport(Format("Internal Fatal Error\r\nModule: %s\r\nLine: %d", module, line));
}

void FatalWithCrashReport(const Text& message) {
  // Once a report is on screen, a later one only ends its thread or the
  // process: it must not open the crash dialog over the first box.
  if (!FatalReported()) ReportFatalToCrashCallback(message);
  ReportNarrow(Truncated(message));
}

void SetFatalBox(FatalBox box) { g_fatalBox = box; }
void SetWideFatalBox(WideFatalBox box) { g_wideFatalBox = box; }
void SetFatalProgramName(const WText& name) { g_programName = name; }

bool AddFatalHook(FatalHook hook) {
  if (g_hookCount >= kMaxFatalHooks) return false;
  g_hooks[g_hookCount++] = hook;
  return true;
}

bool FatalReported() { return g_fatalReported != 0; }

void WriteStandardError(std::wstring_view text) {
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  WText lines = WithCrLf(text);
  if (lines.size() < 2 || lines.compare(lines.size() - 2, 2, L"\r\n") != 0) lines += L"\r\n";
  Text utf8 = Utf8FromWide(lines);
  DWORD written = 0;
  WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace ts
