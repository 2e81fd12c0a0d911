#pragma once
// The one road out for conditions that leave nothing sensible to do. Only the
// first report of a process is shown; every report ends the process with
// exit code 1. Each message also goes to the standard error handle, when the
// process has one, so that a silent run's failure can be read by its caller.
#include "core/ts_text.h"

namespace ts {

using FatalBox = void (*)(const char* message);
using WideFatalBox = void (*)(const wchar_t* message);
using FatalHook = void (*)();

inline constexpr int kMaxFatalHooks = 100;
inline constexpr size_t kMaxFatalMessage = 4096;

// Narrow messages are UTF-8.
[[noreturn]] void Fatal(const char* format, ...);
[[noreturn]] void Fatal(const wchar_t* format, ...);
[[noreturn]] void InternalFatal(const char* module, int line);
// For a state that must not happen and for memory that cannot be had: the
// maker wants to hear of these, so the crash callback reports the message
// first (to the log, and to the maker if the user agrees), then the fatal
// box shows it as for any other fatal error.
[[noreturn]] void FatalWithCrashReport(const Text& message);

// The boxes show the message; they may end the process themselves (the
// installer leaves through its orderly exit). Without boxes, the default box
// shows the message with the caption "FATAL ERROR - <program name>".
void SetFatalBox(FatalBox box);
void SetWideFatalBox(WideFatalBox box);
void SetFatalProgramName(const WText& name);
// Hooks run before the box, for narrow reports only. False when the list is full.
bool AddFatalHook(FatalHook hook);
bool FatalReported();

// Writes the text, with CR LF line breaks and a closing CR LF, as UTF-8 to
// the process's standard error handle; does nothing when there is none.
void WriteStandardError(std::wstring_view text);

}  // namespace ts

#define TS_INTERNAL_FATAL(module) ::ts::InternalFatal(module, __LINE__)
