#include "format/checksum.h"

#include <algorithm>

#include "format/byte_order.h"

namespace palisade::format {

void ChecksumAccumulator::Add(std::span<const uint8_t> piece) {
  length_ += piece.size();
  while (carried_ > 0 && carried_ < 4 && !piece.empty()) {
    carry_[carried_++] = piece.front();
    piece = piece.subspan(1);
  }
  if (carried_ == 4) {
    sum_ += LoadLe32(carry_);
    carried_ = 0;
  }
  std::size_t whole = piece.size() & ~std::size_t{3};
  for (std::size_t i = 0; i < whole; i += 4) sum_ += LoadLe32(piece.data() + i);
  for (std::size_t i = whole; i < piece.size(); ++i) carry_[carried_++] = piece[i];
}

uint32_t ChecksumAccumulator::Value() const {
  uint32_t sum = sum_;
  // The one to three bytes after the last whole word count one by one.
  for (std::size_t i = 0; i < carried_; ++i) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(carry_[i])));
  return sum + static_cast<uint32_t>(length_);
}

uint32_t Checksum(std::span<const uint8_t> data) {
  ChecksumAccumulator sum;
  sum.Add(data);
  return sum.Value();
}

uint32_t Checksum(std::span<const uint8_t> data, std::size_t offset, std::size_t count) {
  offset = std::min(offset, data.size());
  count = std::min(count, data.size() - offset);
  return Checksum(data.subspan(offset, count));
}

}  // namespace palisade::format
