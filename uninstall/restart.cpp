#include "uninstall/restart.h"

#include "core/ts_system.h"

namespace palisade {

void RestartMachine() {
  constexpr bool kForce = false;
  bool requested = ts::RestartWindows(kForce, ts::kPlannedInstallationReason);
  ts::TraceRun(requested ? L"restart requested" : L"restart refused");
}

}  // namespace palisade
