#pragma once
#include "core/ts_text.h"

namespace palisade {

// Removes the product registered under the name; true on complete success.
bool Uninstall(const ts::WText& productName);

}  // namespace palisade
