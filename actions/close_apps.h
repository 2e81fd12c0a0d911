#pragma once
// Running programs named by the script's close rules.

namespace palisade {

// Closes, quits, ends or asks about each running program that a rule names.
void CloseRunningApplications();

}  // namespace palisade
