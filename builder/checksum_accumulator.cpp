#include "builder/checksum_accumulator.h"

#include <algorithm>

#include "format/checksum.h"

namespace palisade::builder {
namespace {

// format::Checksum of whole words is seed + words + length, so the words'
// sum is what is left after taking the other two away.
uint32_t WordSum(std::span<const uint8_t> words) {
  return format::Checksum(words) - format::kChecksumSeed - static_cast<uint32_t>(words.size());
}

}  // namespace

void ChecksumAccumulator::Add(std::span<const uint8_t> bytes) {
  length_ += bytes.size();
  if (pendingSize_ > 0) {
    std::size_t take = std::min(bytes.size(), 4 - pendingSize_);
    std::copy_n(bytes.begin(), take, pending_ + pendingSize_);
    pendingSize_ += take;
    bytes = bytes.subspan(take);
    if (pendingSize_ < 4) return;
    words_ += WordSum(pending_);
    pendingSize_ = 0;
  }
  std::size_t whole = bytes.size() / 4 * 4;
  words_ += WordSum(bytes.first(whole));
  pendingSize_ = bytes.size() - whole;
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(whole), bytes.end(), pending_);
}

uint32_t ChecksumAccumulator::Value() const {
  // The tail's own checksum brings the seed, its signed bytes and its
  // length; the words and the rest of the length are added here.
  uint32_t tail = format::Checksum(std::span<const uint8_t>(pending_, pendingSize_));
  return tail + words_ + static_cast<uint32_t>(length_ - pendingSize_);
}

}  // namespace palisade::builder
