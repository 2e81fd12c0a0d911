#pragma once
// The uninstall record, "Uninstall.DAT".

namespace palisade {

// Writes what the run recorded into the uninstall data folder.
void WriteUninstallRecord();

}  // namespace palisade
