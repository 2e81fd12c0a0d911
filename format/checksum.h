#pragma once
// The additive checksum behind every integrity test of the payload: the
// header's script, stub and archive checksums, each chunk and each file.
#include <cstddef>
#include <cstdint>
#include <span>

namespace palisade::format {

inline constexpr uint32_t kChecksumSeed = 0x79E2BC9D;

// Sums the little-endian 32-bit words, then the one to three bytes left over
// as sign-extended bytes, then the length; everything wraps modulo 2^32.
uint32_t Checksum(std::span<const uint8_t> data);

// The checksum of `count` bytes from `offset`, both clamped to the data, so
// that a stored offset or count can never reach outside it.
uint32_t Checksum(std::span<const uint8_t> data, std::size_t offset, std::size_t count);

}  // namespace palisade::format
