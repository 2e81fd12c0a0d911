// crashing_engine: the engine with a planted fault, for the crash tests.
// When the environment names a phase in PALISADE_TEST_CRASH_PHASE, the run
// writes to address 0x10 as that phase begins; one named in
// PALISADE_TEST_FATAL_PHASE meets an internal fatal error there instead. The shipped engine is built
// without this file; a test makes sure that its marker is not in it.
#include <windows.h>

#include <cstdlib>

#include "app/entry.h"
#include "app/install_driver.h"
#include "core/ts_fatal.h"

namespace {

int g_crashPhase = 0;
int g_fatalPhase = 0;

void CrashAtChosenPhase(int phase) {
  if (phase == g_crashPhase) *reinterpret_cast<volatile int*>(0x10) = phase;
  if (phase == g_fatalPhase) TS_INTERNAL_FATAL("crashing_engine");
}

int PhaseNamedIn(const char* variable) {
  const char* phase = std::getenv(variable);
  return phase ? std::atoi(phase) : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  g_crashPhase = PhaseNamedIn("PALISADE_TEST_CRASH_PHASE");
  g_fatalPhase = PhaseNamedIn("PALISADE_TEST_FATAL_PHASE");
  palisade::SetPhaseObserver(CrashAtChosenPhase);
  palisade::RunEngine(instance);
}
