#pragma once
// Device-independent bitmaps: the script carries a picture as the bytes of a
// bitmap file without its 14-byte file header (a DIB: its header, colour
// table and pixels), and the uninstaller keeps it as a whole .bmp file.
#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

namespace palisade {

using DibBytes = std::vector<uint8_t>;

inline constexpr size_t kBitmapFileHeaderSize = 14;

// Where the parts of a DIB lie, checked against its length.
struct DibLayout {
  int width = 0;
  int height = 0;  // rows; `topDown` says which way they run
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = BI_RGB;
  uint32_t colourTableOffset = 0;  // from the start of the DIB
  uint32_t colourCount = 0;
  uint32_t colourEntrySize = 4;  // 3 in the old core header
  uint32_t pixelOffset = 0;      // from the start of the DIB
  uint32_t stride = 0;           // bytes per row
};

// False for a DIB that GDI could be led to read beyond, or that this engine
// does not draw: a header that does not fit, no pixels, compressed pixels,
// a colour table or rows that run past the end.
bool ReadDibLayout(std::span<const uint8_t> dib, DibLayout& layout);

// The offset of the pixels from the start of the DIB: its header, the
// colour masks that follow a plain header, and the colour table. Clamped to
// the DIB's length, so that it is defined for any bytes.
uint32_t DibPixelOffset(std::span<const uint8_t> dib);

// The DIB as a .bmp file: "BM", the file size, two reserved zero words and
// the offset of the pixels from the start of the file, then the DIB.
DibBytes BitmapFileFromDib(std::span<const uint8_t> dib);

// The DIB inside a .bmp file; false when the bytes are not a bitmap file.
bool DibFromBitmapFile(std::span<const uint8_t> file, DibBytes& dib);

// A 32-bit picture's blue, green, red and alpha bytes in that order, as a
// plain 32-bit DIB or one with the standard colour masks stores them.
bool HasAlphaChannel(std::span<const uint8_t> dib, const DibLayout& layout);

}  // namespace palisade
