#include "state/installer_state.h"

#include "format/product_flags.h"

namespace palisade {

InstallerState g_installer;

void RequireRestart() {
  if (g_installer.flags.uninstall) {
    g_installer.script.productFlagsHigh |= format::product_flags_high::kUninstallRestartRequired;
    return;
  }
  g_installer.restartRequired = true;
  g_installer.script.productFlagsLow |= format::product_flags_low::kRestartQuestion;
}

}  // namespace palisade
