#pragma once
// COM servers, type libraries and driver packages.

namespace palisade {

// Registers what the file phase collected.
void RegisterComponents();

}  // namespace palisade
