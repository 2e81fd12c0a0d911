#include "uninstall/shared_files.h"

namespace palisade {

void CountSharedFiles() {}
void ReleaseSharedFiles(const ts::WText&, bool) {}

}  // namespace palisade
