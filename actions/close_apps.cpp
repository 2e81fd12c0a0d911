#include "actions/close_apps.h"

namespace palisade {

void CloseRunningApplications() {}
void CloseApplicationsForUninstall(uint8_t) {}

}  // namespace palisade
