#pragma once
// The script's registry entries and merge text.

namespace palisade {

// Writes and records the entries, then merges the merge text.
void WriteRegistryEntries();

}  // namespace palisade
