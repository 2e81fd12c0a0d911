#include "format/scramble.h"

namespace palisade::format {

void Scramble(std::span<uint8_t> data, uint32_t key) {
  // Byte i of the data meets byte (i mod 4) of the little-endian key, which
  // covers whole groups and the remainder alike.
  for (std::size_t i = 0; i < data.size(); ++i) data[i] ^= static_cast<uint8_t>(key >> (8 * (i % 4)));
}

}  // namespace palisade::format
