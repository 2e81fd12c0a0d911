#include "actions/batches.h"

namespace palisade {

void RunPreInstallBatches() {}
void RunPostInstallBatch() {}
void RunExitBatch() {}
void RunUninstallBatch(const ts::WText&, bool) {}

}  // namespace palisade
