#pragma once
// A System Restore point around the installation.

namespace palisade {

// Begins the restore point.
void CreateRestorePoint();
// Ends it; a failure is logged.
void CommitRestorePoint();

}  // namespace palisade
