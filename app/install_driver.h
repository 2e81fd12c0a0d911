#pragma once

namespace palisade {

// Called with each phase's number before the phase runs; lets a test build
// act at a chosen moment of a real installation.
using PhaseObserver = void (*)(int phase);
void SetPhaseObserver(PhaseObserver observer);

// Runs an installation from the payload to the orderly exit; never returns.
[[noreturn]] void RunInstallDriver();

}  // namespace palisade
