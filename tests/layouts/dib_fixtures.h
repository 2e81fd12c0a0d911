#pragma once
// DIBs assembled by hand, one field a line: a palette picture stored top
// row first, one with the old core header, and a 32-bit one with colour
// masks after its header.
#include <cstdint>
#include <vector>

#include "byte_assembly.h"

namespace palisade::format::test_bytes {

// 3 by 2 pixels, 8 bits, rows stored top first, two colours used.
inline std::vector<uint8_t> TopDownPaletteDib() {
  return Assembly()
      .U32(40)                     // header size: BITMAPINFOHEADER
      .U32(3)                      // width
      .U32(0xFFFFFFFE)             // height -2: rows stored top first
      .U16(1)                      // planes
      .U16(8)                      // bits per pixel
      .U32(0)                      // compression: BI_RGB
      .U32(8)                      // image size
      .U32(2835)                   // horizontal pixels per metre
      .U32(2835)                   // vertical pixels per metre
      .U32(2)                      // colours used: the table holds two entries
      .U32(1)                      // important colours
      .U8(0x10).U8(0x20).U8(0x30).U8(0)  // colour 0: blue, green, red, reserved
      .U8(0xA0).U8(0xB0).U8(0xC0).U8(0)  // colour 1
      .U8(0).U8(1).U8(0).U8(0)           // top row: three indices and a byte of padding
      .U8(1).U8(0).U8(1).U8(0)           // bottom row
      .bytes();
}

// 16 by 1 pixels, 1 bit, the old core header with three-byte colours.
inline std::vector<uint8_t> CoreHeaderDib() {
  return Assembly()
      .U32(12)                         // header size: BITMAPCOREHEADER
      .U16(16)                         // width
      .U16(1)                          // height
      .U16(1)                          // planes
      .U16(1)                          // bits per pixel: two colours implied
      .U8(0).U8(0).U8(0)               // colour 0: blue, green, red
      .U8(255).U8(255).U8(255)         // colour 1
      .U8(0xAA).U8(0x55).U8(0).U8(0)   // one row of 16 bits, padded to four bytes
      .bytes();
}

// 2 by 1 pixels, 32 bits with the three colour masks after a plain header.
inline std::vector<uint8_t> MaskedDib(uint32_t redMask, uint8_t alpha) {
  return Assembly()
      .U32(40)                        // header size
      .U32(2)                         // width
      .U32(1)                         // height
      .U16(1)                         // planes
      .U16(32)                        // bits per pixel
      .U32(3)                         // compression: BI_BITFIELDS
      .U32(8)                         // image size
      .U32(0)                         // horizontal pixels per metre
      .U32(0)                         // vertical pixels per metre
      .U32(0)                         // colours used
      .U32(0)                         // important colours
      .U32(redMask)                   // red mask
      .U32(0xFF00)                    // green mask
      .U32(0xFF)                      // blue mask
      .U8(1).U8(2).U8(3).U8(0)        // pixel: blue, green, red, alpha
      .U8(4).U8(5).U8(6).U8(alpha)    // pixel
      .bytes();
}

}  // namespace palisade::format::test_bytes
