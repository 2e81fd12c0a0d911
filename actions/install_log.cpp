#include "actions/install_log.h"

namespace palisade {

void FinishInstallLog() {}

}  // namespace palisade
