#include "actions/close_apps.h"

namespace palisade {

void CloseRunningApplications() {}

}  // namespace palisade
