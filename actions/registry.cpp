#include "actions/registry.h"

namespace palisade {

void WriteRegistryEntries() {}

}  // namespace palisade
