#pragma once
// How the targets split one fuzz input into the values a reader is called
// with: fixed-size prefixes first, the stored bytes after them. Seed files
// are written in the same form by seed_writer.cpp.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "format/archive.h"
#include "format/payload_cipher.h"

namespace palisade::fuzz {

// The bytes after a prefix of `size`; empty when the input is shorter.
inline std::span<const uint8_t> After(std::span<const uint8_t> input, std::size_t size) {
  return input.size() < size ? std::span<const uint8_t>() : input.subspan(size);
}

inline uint32_t LittleEndian32(std::span<const uint8_t> input) {
  uint8_t bytes[4] = {};
  std::memcpy(bytes, input.data(), input.size() < 4 ? input.size() : 4);
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The coding prefix of the script block and archive inputs: a mode byte
// (bit 0 compressed, bit 1 enciphered) and 8 key bytes, whose first four
// are also the scramble checksum of a script block.
inline constexpr std::size_t kCodingPrefixSize = 9;
inline constexpr uint8_t kModeCompressed = 0x1;
inline constexpr uint8_t kModeEnciphered = 0x2;

struct Coding {
  bool compressed = false;
  uint32_t scrambleChecksum = 0;
  std::optional<format::PayloadCipher> cipher;

  format::ChunkCoding Chunks() const { return {compressed, cipher ? &*cipher : nullptr}; }
};

inline Coding CodingOf(std::span<const uint8_t> input) {
  Coding coding;
  if (input.size() < kCodingPrefixSize) return coding;
  coding.compressed = (input[0] & kModeCompressed) != 0;
  coding.scrambleChecksum = LittleEndian32(input.subspan(1, 4));
  if ((input[0] & kModeEnciphered) != 0) coding.cipher = format::PayloadCipher::Create(input.subspan(1, 8));
  return coding;
}

}  // namespace palisade::fuzz
