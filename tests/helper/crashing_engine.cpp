// crashing_engine: the engine with planted faults, for the crash and kill
// tests. When the environment names a phase in PALISADE_TEST_CRASH_PHASE,
// the run writes to address 0x10 as that phase begins; one named in
// PALISADE_TEST_FATAL_PHASE meets an internal fatal error there instead.
// PALISADE_TEST_KILL_AT names the beginning of a trace line ("phase 22 ",
// "status text C:\..."): the process is terminated at once, the way a task
// manager or a power cut stops it, just before that line would be written.
// PALISADE_TEST_SWAP_AT names a whole trace line (a folder's "status text"
// line begins the lines of its files), PALISADE_TEST_SWAP_FOLDER a folder
// and PALISADE_TEST_SWAP_TARGET another: just before that line is first
// written, the folder is moved aside and a link to the target
// put in its place, as a user who may write there could do between the
// engine's look at a path and its use of it.
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
#include "folder_link.h"

namespace {

constexpr UINT kKilledExitCode = 9;

int g_crashPhase = 0;
int g_fatalPhase = 0;
ts::WText g_killAt;
ts::WText g_swapAt;
ts::WText g_swapFolder;
ts::WText g_swapTarget;

void CrashAtChosenPhase(int phase) {
  if (phase == g_crashPhase) *reinterpret_cast<volatile int*>(0x10) = phase;
  if (phase == g_fatalPhase) TS_INTERNAL_FATAL("crashing_engine");
}

bool LineBegins(const ts::WText& line, const ts::WText& start) {
  return !start.empty() && line.compare(0, start.size(), start) == 0;
}

// Once: the swap that the test asked for.
void SwapFolderForLink() {
  g_swapAt.clear();
  MoveFileW(g_swapFolder.c_str(), (g_swapFolder + L".moved").c_str());
  MakeFolderLink(g_swapFolder, g_swapTarget);
}

void ActAtChosenLine(const ts::WText& line) {
  if (LineBegins(line, g_killAt)) TerminateProcess(GetCurrentProcess(), kKilledExitCode);
  if (!g_swapAt.empty() && line == g_swapAt) SwapFolderForLink();
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
  g_swapAt = TextNamedIn("PALISADE_TEST_SWAP_AT");
  g_swapFolder = TextNamedIn("PALISADE_TEST_SWAP_FOLDER");
  g_swapTarget = TextNamedIn("PALISADE_TEST_SWAP_TARGET");
  palisade::SetPhaseObserver(CrashAtChosenPhase);
  ts::SetTraceObserver(ActAtChosenLine);
  palisade::RunEngine(instance);
}
