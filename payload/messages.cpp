#include "payload/messages.h"

#include "app/installer_state.h"

namespace palisade {

ts::WText MessageText(int number) {
  if (number < 0 || number >= g_installer.messages.Count()) return {};
  return g_installer.messages[number];
}

}  // namespace palisade
