#include "state/installer_state.h"

namespace palisade {

InstallerState g_installer;

}  // namespace palisade
