#pragma once
// Restarting the machine when the run needs it.

namespace palisade {

// Asks Windows to restart, with the reason of a planned application
// installation; programs that do not answer are closed. A request that
// Windows refuses is not reported: the run ends as it would have.
void RestartMachine();

}  // namespace palisade
