#pragma once
// Running programs named by the script's close rules.

#include <cstdint>

namespace palisade {

// Closes, quits, ends or asks about each running program that a rule names.
void CloseRunningApplications();

// The uninstaller's pass over the rules whose when-mask has the bit.
void CloseApplicationsForUninstall(uint8_t whenMask);

}  // namespace palisade
