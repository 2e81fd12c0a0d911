#pragma once
// A System Restore point around the installation, when the product asks
// for one. Nothing here can fail the installation: failures are logged.
#include "core/ts_text.h"

namespace palisade {

// The access rights that System Restore's COM server needs to call back
// into the installer. False with the reason in `message`.
bool InitComSecurity(ts::WText& message);
// Opens a restore point and keeps its sequence number for the commit.
bool BeginRestorePoint(const ts::WText& description, ts::WText& message);
// Closes the point that BeginRestorePoint opened.
bool CommitRestorePoint();

// The point is named after the product, with its version when it has one.
ts::WText RestorePointDescription(const ts::WText& product, const ts::WText& version);

// The install driver's steps: the first logs the outcome and gives up the
// point for the rest of the run when it could not be made; the second
// commits it and logs only a failure.
void CreateRestorePoint();
void FinishRestorePoint();

}  // namespace palisade
