#pragma once
// The script's batch files, with the command line's additions.

#include "core/ts_text.h"

namespace palisade {

// The pre-installation batch, then the upgrade or reinstall batch.
void RunPreInstallBatches();
// The post-installation batch.
void RunPostInstallBatch();
// The installation-exit batch.
void RunExitBatch();
// An uninstall batch (the first before anything is removed, the second at
// the end), with a hidden window when asked.
void RunUninstallBatch(const ts::WText& commands, bool hidden);

}  // namespace palisade
