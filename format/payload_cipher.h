#pragma once
// The payload's use of Blowfish: its own key schedule, electronic-codebook
// mode on big-endian block halves, and a length trailer that lets the reader
// cut the zero padding off again. The script block and, when enciphered,
// every archive chunk go through it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "format/blowfish.h"

namespace palisade::format {

// The key the builder stores in the payload header.
inline constexpr std::size_t kPayloadKeySize = 8;

class PayloadCipher {
 public:
  // Keys of up to 448 bits are accepted: a shorter one than 8 bytes is
  // padded with zeros to 8, a longer one to a multiple of 4; the bytes are
  // taken as little-endian words, unlike standard Blowfish. No cipher for a
  // key longer than 56 bytes.
  static std::optional<PayloadCipher> Create(std::span<const uint8_t> key);

  // plain + 0..7 zero bytes + the plain length as a little-endian u32, the
  // whole padded to the next multiple of 8 and enciphered.
  std::vector<uint8_t> Encipher(std::span<const uint8_t> plain) const;

  // Undoes Encipher; false when the stored length is not a positive multiple
  // of 8 or the trailer names a length that the padding rule cannot give.
  bool Decipher(std::span<const uint8_t> stored, std::vector<uint8_t>& plain) const;

  // What Decipher would check and keep, from the stored length and the last
  // 8-byte block alone: the plain length, or nothing when Decipher would
  // fail.
  std::optional<std::size_t> PlainLength(std::size_t storedSize, std::span<const uint8_t, 8> lastBlock) const;
  // Deciphers whole 8-byte blocks in place, so that long stored data can be
  // deciphered a piece at a time.
  void DecipherBlocks(std::span<uint8_t> data) const;

 private:
  explicit PayloadCipher(std::span<const uint32_t> keyWords) : blowfish_(keyWords) {}

  void EncipherBlocks(std::span<uint8_t> data) const;

  Blowfish blowfish_;
};

}  // namespace palisade::format
