#include "actions/components.h"

namespace palisade {

void RegisterComponents() {}

}  // namespace palisade
