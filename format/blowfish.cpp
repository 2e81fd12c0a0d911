#include "format/blowfish.h"

#include <cstring>
#include <utility>

#include "pi_tables.h"

namespace palisade::format {

Blowfish::Blowfish(std::span<const uint32_t> keyWords) {
  std::memcpy(p_, pi_tables::kP, sizeof p_);
  std::memcpy(s_, pi_tables::kS, sizeof s_);
  for (int i = 0; i < kRounds + 2; ++i) p_[i] ^= keyWords[i % keyWords.size()];

  uint32_t left = 0;
  uint32_t right = 0;
  auto refill = [&](uint32_t* table, int count) {
    for (int i = 0; i < count; i += 2) {
      Encipher(left, right);
      table[i] = left;
      table[i + 1] = right;
    }
  };
  refill(p_, kRounds + 2);
  for (auto& box : s_) refill(box, 256);
}

uint32_t Blowfish::Feistel(uint32_t half) const {
  return ((s_[0][half >> 24] + s_[1][(half >> 16) & 0xFF]) ^ s_[2][(half >> 8) & 0xFF]) + s_[3][half & 0xFF];
}

void Blowfish::Encipher(uint32_t& left, uint32_t& right) const {
  for (int i = 0; i < kRounds; ++i) {
    left ^= p_[i];
    right ^= Feistel(left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= p_[kRounds];
  left ^= p_[kRounds + 1];
}

void Blowfish::Decipher(uint32_t& left, uint32_t& right) const {
  for (int i = kRounds + 1; i > 1; --i) {
    left ^= p_[i];
    right ^= Feistel(left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= p_[1];
  left ^= p_[0];
}

}  // namespace palisade::format
