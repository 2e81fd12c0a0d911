#pragma once
// Checks that refuse an installation before anything is changed.
#include "app/installer_state.h"

namespace palisade {

inline constexpr char kSingleInstanceMutex[] = "Palisade Engine";

// Takes the machine-wide installer mutex without waiting. False when another
// installer holds it. The mutex is kept until the process ends.
bool AcquireSingleInstanceMutex();

// The bitness (64 or 32) that the product needs when this system cannot take
// it, or 0 when it can.
int RefusedBitness(Bitness product, bool system64);

}  // namespace palisade
