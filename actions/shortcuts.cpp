#include "actions/shortcuts.h"

namespace palisade {

void CreateShortcuts() {}

}  // namespace palisade
