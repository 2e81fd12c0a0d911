#pragma once
// The additive checksum behind every integrity test of the payload: the
// header's script, stub and archive checksums, each chunk and each file.
#include <cstddef>
#include <cstdint>
#include <span>

namespace palisade::format {

inline constexpr uint32_t kChecksumSeed = 0x79E2BC9D;

// The checksum of data that arrives in pieces of any sizes.
class ChecksumAccumulator {
 public:
  void Add(std::span<const uint8_t> piece);
  uint32_t Value() const;

 private:
  uint32_t sum_ = kChecksumSeed;
  uint64_t length_ = 0;
  uint8_t carry_[4] = {};  // the start of a word that the next piece completes
  std::size_t carried_ = 0;
};

// Sums the little-endian 32-bit words, then the one to three bytes left over
// as sign-extended bytes, then the length; everything wraps modulo 2^32.
uint32_t Checksum(std::span<const uint8_t> data);

// The checksum of `count` bytes from `offset`, both clamped to the data, so
// that a stored offset or count can never reach outside it.
uint32_t Checksum(std::span<const uint8_t> data, std::size_t offset, std::size_t count);

}  // namespace palisade::format
