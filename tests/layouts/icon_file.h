#pragma once
// An .ico file assembled by hand: one 16 x 16 image of 32 bits per pixel.
#include <cstdint>
#include <vector>

#include "byte_assembly.h"

namespace palisade::format::test_bytes {

inline std::vector<uint8_t> IconFile() {
  Assembly a;
  a.U16(0).U16(1).U16(1);                      // reserved, type icon, one image
  a.U8(16).U8(16).U8(0).U8(0).U16(1).U16(32);  // 16 x 16, no palette, planes, bits per pixel
  a.U32(40 + 16 * 16 * 4 + 16 * 4).U32(22);    // image size, offset
  a.U32(40).I32(16).I32(32).U16(1).U16(32);    // BITMAPINFOHEADER: size, width, twice the height, planes, bits
  a.U32(0).U32(0).U32(0).U32(0).U32(0).U32(0); // no compression, sizes, resolutions, colours
  for (int pixel = 0; pixel < 16 * 16; ++pixel) a.U8(0xE0).U8(0x80).U8(0x20).U8(0xFF);  // blue, green, red, alpha
  for (int row = 0; row < 16; ++row) a.U32(0);  // the AND mask
  return a.bytes();
}

}  // namespace palisade::format::test_bytes
