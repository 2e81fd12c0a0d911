#pragma once
// The payload checksum of data that arrives in pieces: the file bytes of a
// record and the archive, which the builder never holds whole.
#include <cstdint>
#include <span>

namespace palisade::builder {

class ChecksumAccumulator {
 public:
  void Add(std::span<const uint8_t> bytes);
  // Equals format::Checksum of every byte added so far.
  uint32_t Value() const;

 private:
  uint32_t words_ = 0;  // sum of the complete little-endian words
  uint64_t length_ = 0;
  uint8_t pending_[4] = {};
  std::size_t pendingSize_ = 0;
};

}  // namespace palisade::builder
