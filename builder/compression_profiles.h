#pragma once
// The named compression choices: `palisade build --compression NAME` and
// the project's [compression] profile pick one; the other [compression]
// keys refine it. The only place their settings are defined.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace palisade::builder {

struct CompressionProfile {
  std::string_view name;
  uint32_t level;           // xz preset
  uint32_t dictionaryKib;   // xz dictionary
  std::size_t chunkKib;     // plain bytes per archive chunk, at most
  // A payload is cut into at least this many chunks (none under 8 MiB),
  // so that it compresses and decodes on several cores however small.
  uint32_t leastChunks;
};

extern const std::span<const CompressionProfile> kCompressionProfiles;
extern const CompressionProfile& kDefaultCompressionProfile;

// Null for a name that is not a profile's.
const CompressionProfile* FindCompressionProfile(std::string_view name);
// The chunk size for `payloadBytes` of files under `profile`: its own, or
// smaller, to give the profile's least number of chunks. Depends on the
// payload alone, never on the number of jobs, so the output stays the same.
std::size_t ChunkSizeFor(const CompressionProfile& profile, uint64_t payloadBytes);
// "fastest, default, smallest", for messages.
std::string_view CompressionProfileNames();

}  // namespace palisade::builder
