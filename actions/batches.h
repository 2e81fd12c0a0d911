#pragma once
// The script's batch files, with the command line's additions.

namespace palisade {

// The pre-installation batch, then the upgrade or reinstall batch.
void RunPreInstallBatches();
// The post-installation batch.
void RunPostInstallBatch();
// The installation-exit batch.
void RunExitBatch();

}  // namespace palisade
