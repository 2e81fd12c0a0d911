#include "actions/fonts.h"

#include <windows.h>

#include "actions/components.h"
#include "core/ts_components.h"
#include "core/ts_registry.h"
#include "state/installer_state.h"

namespace palisade {

void RegisterFont(const ts::WText& face, const ts::WText& fileName) {
  ShowRegistrationStatus(fileName);
  if (!face.empty()) {
    ts::RegistryKey fonts;
    if (fonts.Create(HKEY_LOCAL_MACHINE, ts::FontsKeyPath(), KEY_SET_VALUE) == ERROR_SUCCESS) {
      fonts.SetText(face, fileName);
    }
  }
  AddFontResourceW(fileName.c_str());
  g_installer.followUps.fontAdded = true;
}

}  // namespace palisade
