#pragma once
// SHA-256 (FIPS 180-4): the digest that ties a file the uninstaller reads
// to the value the installation stored beside it in a key only
// administrators can write.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace palisade::format {

using Sha256Digest = std::array<uint8_t, 32>;

// The digest of data that arrives in pieces of any sizes.
class Sha256 {
 public:
  Sha256();
  void Update(std::span<const uint8_t> piece);
  // Pads the message and returns its digest; the object is spent after it.
  Sha256Digest Final();

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  uint64_t length_ = 0;  // bytes seen so far
  uint8_t block_[64] = {};
  std::size_t filled_ = 0;  // bytes of block_ that wait for the rest of their block
};

Sha256Digest Sha256Of(std::span<const uint8_t> data);

// Two lowercase hex digits per byte, in order.
std::string LowercaseHex(std::span<const uint8_t> bytes);

}  // namespace palisade::format
