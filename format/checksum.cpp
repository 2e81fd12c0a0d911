#include "format/checksum.h"

#include <algorithm>

#include "format/byte_order.h"

namespace palisade::format {

uint32_t Checksum(std::span<const uint8_t> data) {
  uint32_t sum = kChecksumSeed;
  std::size_t whole = data.size() & ~std::size_t{3};
  for (std::size_t i = 0; i < whole; i += 4) sum += LoadLe32(data.data() + i);
  for (std::size_t i = whole; i < data.size(); ++i) {
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(data[i])));
  }
  return sum + static_cast<uint32_t>(data.size());
}

uint32_t Checksum(std::span<const uint8_t> data, std::size_t offset, std::size_t count) {
  offset = std::min(offset, data.size());
  count = std::min(count, data.size() - offset);
  return Checksum(data.subspan(offset, count));
}

}  // namespace palisade::format
