// crashing_engine: the engine with planted faults, for the crash and kill
// tests. When the environment names a phase in PALISADE_TEST_CRASH_PHASE,
// the run writes to address 0x10 as that phase begins; one named in
// PALISADE_TEST_FATAL_PHASE meets an internal fatal error there instead.
// PALISADE_TEST_KILL_AT names the beginning of a trace line ("phase 22 ",
// "status text C:\..."): the process is terminated at once, the way a task
// manager or a power cut stops it, just before that line would be written.
// The shipped engine is built without this file; a test makes sure that
// its markers are not in it.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/entry.h"
#include "app/install_driver.h"
#include "core/ts_fatal.h"
#include "core/ts_system.h"
#include "core/ts_text.h"

namespace {

constexpr UINT kKilledExitCode = 9;

int g_crashPhase = 0;
int g_fatalPhase = 0;
ts::WText g_killAt;

void CrashAtChosenPhase(int phase) {
  if (phase == g_crashPhase) *reinterpret_cast<volatile int*>(0x10) = phase;
  if (phase == g_fatalPhase) TS_INTERNAL_FATAL("crashing_engine");
}

void KillAtChosenLine(const ts::WText& line) {
  if (!g_killAt.empty() && line.compare(0, g_killAt.size(), g_killAt) == 0) {
    TerminateProcess(GetCurrentProcess(), kKilledExitCode);
  }
}

int PhaseNamedIn(const char* variable) {
  const char* phase = std::getenv(variable);
  return phase ? std::atoi(phase) : 0;
}

ts::WText TextNamedIn(const char* variable) {
  const char* text = std::getenv(variable);
  return text ? ts::WideFromAnsi(text) : ts::WText();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  g_crashPhase = PhaseNamedIn("PALISADE_TEST_CRASH_PHASE");
  g_fatalPhase = PhaseNamedIn("PALISADE_TEST_FATAL_PHASE");
  g_killAt = TextNamedIn("PALISADE_TEST_KILL_AT");
  palisade::SetPhaseObserver(CrashAtChosenPhase);
  ts::SetTraceObserver(KillAtChosenLine);
  palisade::RunEngine(instance);
}
