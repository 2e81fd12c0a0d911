#pragma once
// The light obfuscation of a script block that is not enciphered: the block
// is combined with the script checksum from the payload header.
#include <cstdint>
#include <span>

namespace palisade::format {

// XORs every complete 4-byte group with `key` as a little-endian word and the
// one to three bytes left over with the low bytes of `key` in order. Applying
// it twice restores the data.
void Scramble(std::span<uint8_t> data, uint32_t key);

}  // namespace palisade::format
