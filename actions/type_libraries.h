#pragma once
// Type libraries that the file phase put into the system folder.
#include "core/ts_text.h"
#include "core/ts_vector.h"

namespace palisade {

// Loads and registers each library; a failure is logged with the
// system's text and the next library is taken.
void RegisterTypeLibraries(const ts::Vector<ts::WText>& libraries);

}  // namespace palisade
