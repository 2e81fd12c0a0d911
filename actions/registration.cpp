#include "actions/registration.h"

namespace palisade {

void CreateDataFolders() {}
void WriteExtraFiles() {}
void WriteUninstaller() {}
void RegisterProduct() {}

}  // namespace palisade
