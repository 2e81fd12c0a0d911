#pragma once
// Checks that refuse an installation before anything is changed.
#include "state/installer_state.h"

namespace palisade {

inline constexpr char kSingleInstanceMutex[] = "Palisade Engine";

// Takes the machine-wide installer mutex without waiting. False when another
// installer holds it. The mutex is kept until the process ends.
bool AcquireSingleInstanceMutex();

// Ends a run that cannot go on, before anything is installed: the text is
// shown as an error unless the run is automatic (and the script does not ask
// for errors in automatic mode), always written to standard error, and the
// run ends with exit code 1.
[[noreturn]] void Refuse(const ts::WText& text);

// The bitness (64 or 32) that the product needs when this system cannot take
// it, or 0 when it can.
int RefusedBitness(Bitness product, bool system64);

}  // namespace palisade
