#pragma once
// The process's unhandled-exception filter and the technical report that
// a crash leaves behind.
#include <windows.h>

#include <cstdint>

#include "core/ts_text.h"

namespace ts {

inline constexpr uint32_t kAccessViolation = 0xC0000005;
// Not an exception: the code of a record made for a fatal error's message.
inline constexpr uint32_t kFatalPseudoCode = 0xD1EB17CC;

// What the filter knows of a crash, for the callback.
struct CrashRecord {
  uint32_t code = 0;
  const void* address = nullptr;
  bool continuable = false;
  bool write = false;  // an access violation that wrote
  const void* memoryAddress = nullptr;
  Text message;  // the fatal error's text, for the pseudo-code only
  CONTEXT context = {};
};

// Returns EXCEPTION_EXECUTE_HANDLER (1) to end the process, or
// EXCEPTION_CONTINUE_SEARCH (0) to hand the crash on to the system.
using CrashCallback = LONG (*)(const CrashRecord& crash);

// Remembers the callback and installs the filter. Called first thing on
// the main thread, which the reports then name as such.
void SetCrashCallback(CrashCallback callback);

// The filter itself: exceptions that their own handlers expect pass on; a
// crash on the thread of a guarded call ends that thread; any other goes
// to the callback once, and the callback's result is the filter's. A crash
// inside the callback passes on to the system.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers);

// Hands a fatal error's message to the callback as a record with the
// pseudo-code, the caller's address and its registers, unless no callback is
// set or one is running already. The callback's result does not matter:
// the fatal routine ends the process in any case.
void ReportFatalToCrashCallback(const Text& message);

// Runs `work` on a thread of its own and waits for it. A crash that nothing
// in `work` handles ends only that thread and gives false (as does a thread
// that cannot be made); the crash callback does not hear of it. For calls into foreign code whose failure
// the caller can report and survive.
bool CallGuarded(void (*work)(void* context), void* context);

// The exception's name in the report; empty for a code it does not know.
const char* ExceptionName(uint32_t code);

// The program named on the report's "Product:" line.
void SetCrashProductName(const Text& name);

// The report: what happened, where, on which system, the processor's
// registers, the loaded modules and the call stack.
Text BuildCrashReport(const CrashRecord& crash);

}  // namespace ts
