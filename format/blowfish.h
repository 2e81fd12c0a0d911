#pragma once
// The Blowfish block cipher (16 rounds, initial tables from the digits of
// pi) on 64-bit blocks held as two 32-bit halves. How key bytes become key
// words is left to the caller: the standard cycles the bytes big-endian, the
// payload takes them as little-endian words (payload_cipher.h).
#include <cstdint>
#include <span>

namespace palisade::format {

class Blowfish {
 public:
  // P-array entry i is XORed with keyWords[i mod count], then the tables are
  // refilled by enciphering an all-zero block over and over, as standard.
  // `keyWords` must hold 1 to 18 words.
  explicit Blowfish(std::span<const uint32_t> keyWords);

  void Encipher(uint32_t& left, uint32_t& right) const;
  void Decipher(uint32_t& left, uint32_t& right) const;

 private:
  static constexpr int kRounds = 16;

  uint32_t Feistel(uint32_t half) const;

  uint32_t p_[kRounds + 2];
  uint32_t s_[4][256];
};

}  // namespace palisade::format
