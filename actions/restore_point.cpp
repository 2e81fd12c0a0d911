#include "actions/restore_point.h"

namespace palisade {

void CreateRestorePoint() {}
void CommitRestorePoint() {}

}  // namespace palisade
