#pragma once
// Notices and questions put to the user. In silent mode nothing is shown:
// a notice counts as acknowledged.
#include <windows.h>

#include "core/ts_text.h"

namespace palisade {

// Returns the identifier of the button pressed (IDOK in silent mode). An empty
// caption means the installer's default caption.
int ShowMessage(const ts::WText& text, const ts::WText& caption, UINT style);

}  // namespace palisade
