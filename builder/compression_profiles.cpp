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
    {"fastest", 1, 8 * 1024, 64 * 1024, 4},
    {"default", 5, 8 * 1024, 64 * 1024, 4},
    {"smallest", 9, 64 * 1024, 256 * 1024, 1},
};

// Below this, cutting a payload further costs more in size than the cores
// give back in time.
constexpr std::size_t kSmallestSplitChunk = 8 << 20;

}  // namespace

const std::span<const CompressionProfile> kCompressionProfiles = kProfiles;
const CompressionProfile& kDefaultCompressionProfile = kProfiles[1];

const CompressionProfile* FindCompressionProfile(std::string_view name) {
  auto found = std::find_if(std::begin(kProfiles), std::end(kProfiles),
                            [&](const CompressionProfile& profile) { return profile.name == name; });
  return found == std::end(kProfiles) ? nullptr : found;
}

std::size_t ChunkSizeFor(const CompressionProfile& profile, uint64_t payloadBytes) {
  std::size_t largest = profile.chunkKib * 1024;
  uint64_t split = (payloadBytes + profile.leastChunks - 1) / profile.leastChunks;
  return static_cast<std::size_t>(std::min<uint64_t>(largest, std::max<uint64_t>(split, kSmallestSplitChunk)));
}

std::string_view CompressionProfileNames() { return "fastest, default, smallest"; }

}  // namespace palisade::builder
