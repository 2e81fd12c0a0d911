#pragma once
// Operations on files that were in use, carried out at the next restart.

namespace palisade {

// Settles what earlier runs left for the restart.
void HandlePendingOperations();

}  // namespace palisade
