#include "actions/associations.h"

namespace palisade {

void AssociateFiles() {}

}  // namespace palisade
