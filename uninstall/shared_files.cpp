#include "uninstall/shared_files.h"

namespace palisade {

void CountSharedFiles() {}

}  // namespace palisade
