#pragma once
// Restarting the machine when the installation needs it.

namespace palisade {

// Restarts with the reason of a planned application installation.
void RestartMachine();

}  // namespace palisade
