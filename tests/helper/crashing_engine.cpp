// crashing_engine: the engine with a planted fault, for the crash tests.
// When the environment names a phase in PALISADE_TEST_CRASH_PHASE, the run
// writes to address 0x10 as that phase begins. The shipped engine is built
// without this file; a test makes sure that its marker is not in it.
#include <windows.h>

#include <cstdlib>

#include "app/entry.h"
#include "app/install_driver.h"

namespace {

int g_crashPhase = 0;

void CrashAtChosenPhase(int phase) {
  if (phase == g_crashPhase) *reinterpret_cast<volatile int*>(0x10) = phase;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (const char* phase = std::getenv("PALISADE_TEST_CRASH_PHASE")) g_crashPhase = std::atoi(phase);
  palisade::SetPhaseObserver(CrashAtChosenPhase);
  palisade::RunEngine(instance);
}
