#pragma once
// Device-independent bitmaps as the installer carries them: the bytes of a
// .bmp file without its 14-byte file header (a DIB: its header, colour masks
// and colour table, then the pixels right after them), the form of the
// script's background picture and of an executable's bitmap resources.
#include <cstdint>
#include <span>
#include <vector>

namespace palisade::format {

inline constexpr std::size_t kBitmapFileHeaderSize = 14;
inline constexpr uint32_t kDibUncompressed = 0;  // BI_RGB
inline constexpr uint32_t kDibBitfields = 3;     // BI_BITFIELDS
// The colour masks, after a plain header or inside a later one.
inline constexpr std::size_t kDibMaskOffset = 40;

// Where the parts of a DIB lie, checked against its length.
struct DibLayout {
  int width = 0;
  int height = 0;  // rows; `topDown` says which way they run
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = kDibUncompressed;
  uint32_t colourTableOffset = 0;  // from the start of the DIB
  uint32_t colourCount = 0;
  uint32_t colourEntrySize = 4;  // 3 in the old core header
  uint32_t pixelOffset = 0;      // from the start of the DIB
  uint32_t stride = 0;           // bytes per row
};

enum class DibFault {
  kNone,
  kMalformed,  // a header that does not fit, no pixels, or parts that run past the end
  kNotDrawn,   // a bit count or compression that the engine does not draw
};

// Why GDI could be led to read beyond the DIB, or the engine would not
// draw it; kNone with `layout` filled in for a good one. A header that was
// read leaves its bit count and compression in `layout` either way.
DibFault CheckDib(std::span<const uint8_t> dib, DibLayout& layout);

// True for a DIB that CheckDib finds no fault in.
bool ReadDibLayout(std::span<const uint8_t> dib, DibLayout& layout);

// The offset of the pixels from the start of the DIB: its header, the
// colour masks that follow a plain header, and the colour table. Clamped to
// the DIB's length, so that it is defined for any bytes.
uint32_t DibPixelOffset(std::span<const uint8_t> dib);

// The DIB inside a .bmp file, its pixels taken from where the file header's
// pixel offset says and put right after the colour table; false when the
// bytes are not a bitmap file or that offset lies outside them.
bool DibFromBitmapFile(std::span<const uint8_t> file, std::vector<uint8_t>& dib);

}  // namespace palisade::format
