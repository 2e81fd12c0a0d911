#pragma once
// .bmp files assembled by hand: a 14-byte file header, a DIB header of the
// size asked for, a colour table, the pixels of a small picture, and
// optionally a gap before the pixels that only the file header's pixel
// offset accounts for.
#include <cstdint>
#include <vector>

#include "byte_assembly.h"

namespace palisade::format::test_bytes {

struct BitmapShape {
  uint32_t headerSize = 40;  // 40: BITMAPINFOHEADER; 108 and 124: the later ones
  uint16_t bitsPerPixel = 24;
  uint32_t compression = 0;  // 0: none; 1: run-length 8
  uint32_t colours = 0;      // entries of the colour table
  uint32_t gap = 0;          // bytes between the DIB header and the pixels
  int32_t width = 3;
  int32_t height = 2;
};

// Two rows, each padded to four bytes: pixels that tell rows and columns apart.
inline std::vector<uint8_t> BitmapPixels(const BitmapShape& shape) {
  uint32_t rowBytes = (static_cast<uint32_t>(shape.width) * shape.bitsPerPixel + 31) / 32 * 4;
  std::vector<uint8_t> pixels;
  for (uint32_t i = 0; i < rowBytes * static_cast<uint32_t>(shape.height); ++i) {
    pixels.push_back(static_cast<uint8_t>(0x11 * (i % 15 + 1)));
  }
  return pixels;
}

// The DIB header: its fields, then zeros up to a later header's size, then
// the colour table.
inline std::vector<uint8_t> BitmapHeader(const BitmapShape& shape) {
  Assembly a;
  a.U32(shape.headerSize);                                // header size
  a.I32(shape.width);                                     // width
  a.I32(shape.height);                                    // height: rows from the bottom up
  a.U16(1);                                               // planes
  a.U16(shape.bitsPerPixel);                              // bits per pixel
  a.U32(shape.compression);                               // compression
  a.U32(static_cast<uint32_t>(BitmapPixels(shape).size()));  // size of the pixels
  a.U32(2835);                                            // horizontal pixels per metre
  a.U32(2835);                                            // vertical pixels per metre
  a.U32(shape.colours);                                   // colours used
  a.U32(0);                                               // important colours
  std::vector<uint8_t> header = a.bytes();
  header.resize(shape.headerSize, 0);                     // masks, colour space and profile of a later header
  for (uint32_t i = 0; i < shape.colours; ++i) {
    header.insert(header.end(), {static_cast<uint8_t>(i), 0x80, 0xFF, 0});  // blue, green, red, reserved
  }
  return header;
}

// The DIB as an executable's bitmap resource holds it: header, colour
// table, pixels.
inline std::vector<uint8_t> PackedDib(const BitmapShape& shape) {
  std::vector<uint8_t> dib = BitmapHeader(shape);
  std::vector<uint8_t> pixels = BitmapPixels(shape);
  dib.insert(dib.end(), pixels.begin(), pixels.end());
  return dib;
}

inline std::vector<uint8_t> BitmapFile(const BitmapShape& shape) {
  std::vector<uint8_t> header = BitmapHeader(shape), pixels = BitmapPixels(shape);
  uint32_t pixelOffset = 14 + static_cast<uint32_t>(header.size()) + shape.gap;
  Assembly a;
  a.Raw("BM");                                                    // mark
  a.U32(pixelOffset + static_cast<uint32_t>(pixels.size()));      // file size
  a.U16(0).U16(0);                                                // two reserved words
  a.U32(pixelOffset);                                             // offset of the pixels in the file
  a.Raw(header);                                                  // the DIB header and colour table
  a.Raw(std::vector<uint8_t>(shape.gap, 0xEE));                   // the gap
  a.Raw(pixels);                                                  // the pixels
  return a.bytes();
}

}  // namespace palisade::format::test_bytes
