#pragma once
// The installation log, "Install.log".

namespace palisade {

// Completes the log with its header block and failure summary and writes it.
void FinishInstallLog();

}  // namespace palisade
