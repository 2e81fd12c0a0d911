#pragma once
#include "core/ts_text.h"

namespace palisade {

// Removes the product registered under the name, by its registration and
// its uninstall record. True on complete success; false when it was refused,
// stopped before removing anything, or left something behind (which stays
// recorded so that another run can finish the job).
bool Uninstall(const ts::WText& productName);

}  // namespace palisade
