#include "uninstall/record.h"

namespace palisade {

void WriteUninstallRecord() {}

}  // namespace palisade
