#include "uninstall/restart.h"

namespace palisade {

void RestartMachine() {}

}  // namespace palisade
