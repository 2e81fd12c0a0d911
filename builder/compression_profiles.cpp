#include "builder/compression_profiles.h"

#include <algorithm>

namespace palisade::builder {
namespace {

// Chunks are independent, so what one chunk holds is all its files can
// compress against: near-copies of a large file (a series of versioned
// DLLs) cost almost nothing only when they share a chunk. The engine holds
// a decoded chunk and its dictionary while it writes, so the chunk size is
// also what an installation costs in memory.
constexpr CompressionProfile kProfiles[] = {
    {"fastest", 1, 8 * 1024, 64 * 1024},
    {"default", 5, 8 * 1024, 64 * 1024},
    {"smallest", 9, 64 * 1024, 256 * 1024},
};

}  // namespace

const std::span<const CompressionProfile> kCompressionProfiles = kProfiles;
const CompressionProfile& kDefaultCompressionProfile = kProfiles[1];

const CompressionProfile* FindCompressionProfile(std::string_view name) {
  auto found = std::find_if(std::begin(kProfiles), std::end(kProfiles),
                            [&](const CompressionProfile& profile) { return profile.name == name; });
  return found == std::end(kProfiles) ? nullptr : found;
}

std::string_view CompressionProfileNames() { return "fastest, default, smallest"; }

}  // namespace palisade::builder
