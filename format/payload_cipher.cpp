#include "format/payload_cipher.h"

#include <algorithm>

#include "format/byte_order.h"

namespace palisade::format {
namespace {

constexpr std::size_t kBlockSize = 8;
constexpr std::size_t kTrailerSize = 4;
constexpr std::size_t kMinKeySize = 8;
constexpr std::size_t kMaxKeySize = 56;

// Runs `step` over every 8-byte block, each read and written as two
// big-endian halves.
template <typename Step>
void ForEachBlock(std::span<uint8_t> data, Step step) {
  for (std::size_t i = 0; i + kBlockSize <= data.size(); i += kBlockSize) {
    uint32_t left = LoadBe32(data.data() + i);
    uint32_t right = LoadBe32(data.data() + i + 4);
    step(left, right);
    StoreBe32(data.data() + i, left);
    StoreBe32(data.data() + i + 4, right);
  }
}

}  // namespace

std::optional<PayloadCipher> PayloadCipher::Create(std::span<const uint8_t> key) {
  if (key.size() > kMaxKeySize) return std::nullopt;
  std::vector<uint8_t> padded(key.begin(), key.end());
  padded.resize(std::max(kMinKeySize, (key.size() + 3) & ~std::size_t{3}), 0);
  std::vector<uint32_t> words(padded.size() / 4);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = LoadLe32(padded.data() + 4 * i);
  return PayloadCipher(words);
}

void PayloadCipher::EncipherBlocks(std::span<uint8_t> data) const {
  ForEachBlock(data, [this](uint32_t& left, uint32_t& right) { blowfish_.Encipher(left, right); });
}

void PayloadCipher::DecipherBlocks(std::span<uint8_t> data) const {
  ForEachBlock(data, [this](uint32_t& left, uint32_t& right) { blowfish_.Decipher(left, right); });
}

std::vector<uint8_t> PayloadCipher::Encipher(std::span<const uint8_t> plain) const {
  std::size_t total = (plain.size() + kTrailerSize + kBlockSize - 1) / kBlockSize * kBlockSize;
  std::vector<uint8_t> stored(total, 0);
  std::copy(plain.begin(), plain.end(), stored.begin());
  StoreLe32(stored.data() + total - kTrailerSize, static_cast<uint32_t>(plain.size()));
  EncipherBlocks(stored);
  return stored;
}

std::optional<std::size_t> PayloadCipher::PlainLength(std::size_t storedSize,
                                                      std::span<const uint8_t, kBlockSize> lastBlock) const {
  if (storedSize < kBlockSize || storedSize % kBlockSize != 0) return std::nullopt;
  uint8_t last[kBlockSize];
  std::copy(lastBlock.begin(), lastBlock.end(), last);
  DecipherBlocks(last);
  uint32_t length = LoadLe32(last + kBlockSize - kTrailerSize);
  // The padding is 0..7 bytes, so the plain length is within one block of
  // the trailer's start.
  if (length > storedSize - kTrailerSize || length + kBlockSize + kTrailerSize < storedSize) return std::nullopt;
  return length;
}

bool PayloadCipher::Decipher(std::span<const uint8_t> stored, std::vector<uint8_t>& plain) const {
  if (stored.size() < kBlockSize) return false;
  std::optional<std::size_t> length = PlainLength(stored.size(), stored.last<kBlockSize>());
  if (!length) return false;
  plain.assign(stored.begin(), stored.end());
  DecipherBlocks(plain);
  plain.resize(*length);
  return true;
}

}  // namespace palisade::format
