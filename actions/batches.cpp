#include "actions/batches.h"

namespace palisade {

void RunPreInstallBatches() {}
void RunPostInstallBatch() {}
void RunExitBatch() {}

}  // namespace palisade
