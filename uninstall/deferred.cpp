#include "uninstall/deferred.h"

namespace palisade {

void HandlePendingOperations() {}

}  // namespace palisade
