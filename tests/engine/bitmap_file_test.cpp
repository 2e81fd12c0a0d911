// Pictures as the script carries them (a DIB) and as the uninstaller keeps
// them (a .bmp file), proven against DIBs assembled here field by field.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ui/bitmap_file.h"

namespace palisade {
namespace {

class Bytes {
 public:
  Bytes& U8(uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  Bytes& U16(uint16_t value) { return U8(value & 0xFF).U8(value >> 8); }
  Bytes& U32(uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
  Bytes& Raw(std::initializer_list<uint8_t> values) {
    bytes_.insert(bytes_.end(), values);
    return *this;
  }
  const DibBytes& Get() const { return bytes_; }

 private:
  DibBytes bytes_;
};

// 3 by 2 pixels, 8 bits, rows stored top first, two colours used.
DibBytes TopDownPaletteDib() {
  return Bytes()
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
      .Raw({0x10, 0x20, 0x30, 0})  // colour 0: blue, green, red, reserved
      .Raw({0xA0, 0xB0, 0xC0, 0})  // colour 1
      .Raw({0, 1, 0, 0})           // top row: three indices and a byte of padding
      .Raw({1, 0, 1, 0})           // bottom row
      .Get();
}

// 16 by 1 pixels, 1 bit, the old core header with three-byte colours.
DibBytes CoreHeaderDib() {
  return Bytes()
      .U32(12)                  // header size: BITMAPCOREHEADER
      .U16(16)                  // width
      .U16(1)                   // height
      .U16(1)                   // planes
      .U16(1)                   // bits per pixel: two colours implied
      .Raw({0, 0, 0})           // colour 0: blue, green, red
      .Raw({255, 255, 255})     // colour 1
      .Raw({0xAA, 0x55, 0, 0})  // one row of 16 bits, padded to four bytes
      .Get();
}

// 2 by 1 pixels, 32 bits with the three colour masks after a plain header.
DibBytes MaskedDib(uint32_t redMask, uint8_t alpha) {
  return Bytes()
      .U32(40)                // header size
      .U32(2)                 // width
      .U32(1)                 // height
      .U16(1)                 // planes
      .U16(32)                // bits per pixel
      .U32(3)                 // compression: BI_BITFIELDS
      .U32(8)                 // image size
      .U32(0)                 // horizontal pixels per metre
      .U32(0)                 // vertical pixels per metre
      .U32(0)                 // colours used
      .U32(0)                 // important colours
      .U32(redMask)           // red mask
      .U32(0xFF00)            // green mask
      .U32(0xFF)              // blue mask
      .Raw({1, 2, 3, 0})      // pixel: blue, green, red, alpha
      .Raw({4, 5, 6, alpha})  // pixel
      .Get();
}

uint32_t Le32(const DibBytes& bytes, size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
         static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

TEST(BitmapFileFromDib, PutsTheFileHeaderInFront) {
  DibBytes dib = TopDownPaletteDib();
  DibBytes file = BitmapFileFromDib(dib);
  ASSERT_EQ(file.size(), 14 + dib.size());
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32(file, 2), 14u + 40 + 8 + 8) << "the size of the whole file";
  EXPECT_EQ(Le32(file, 6), 0u) << "the two reserved words";
  EXPECT_EQ(Le32(file, 10), 14u + 40 + 8) << "the pixels follow the header and two colours";
  EXPECT_EQ(DibBytes(file.begin() + 14, file.end()), dib);
}

struct OffsetCase {
  const char* name;
  DibBytes dib;
  uint32_t pixelOffset;
};

TEST(DibPixelOffset, HeaderMasksAndColourTable) {
  const OffsetCase cases[] = {
      {"palette of the colours used", TopDownPaletteDib(), 40 + 2 * 4},
      {"core header with three-byte colours", CoreHeaderDib(), 12 + 2 * 3},
      {"masks after a plain header", MaskedDib(0xFF0000, 0), 40 + 12},
      {"bytes that are no DIB", {'B', 'M', 1}, 3},
  };
  for (const OffsetCase& c : cases) EXPECT_EQ(format::DibPixelOffset(c.dib), c.pixelOffset) << c.name;
}

TEST(DibFromBitmapFile, TakesTheBytesAfterTheFileHeader) {
  DibBytes dib = TopDownPaletteDib();
  DibBytes read;
  ASSERT_TRUE(format::DibFromBitmapFile(BitmapFileFromDib(dib), read));
  EXPECT_EQ(read, dib);
  EXPECT_FALSE(format::DibFromBitmapFile(DibBytes(20, 0), read)) << "no \"BM\"";
  EXPECT_FALSE(format::DibFromBitmapFile(DibBytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), read)) << "nothing after it";
}

TEST(ReadDibLayout, WhereThePartsLie) {
  format::DibLayout layout;
  ASSERT_TRUE(format::ReadDibLayout(TopDownPaletteDib(), layout));
  EXPECT_EQ(layout.width, 3);
  EXPECT_EQ(layout.height, 2);
  EXPECT_TRUE(layout.topDown);
  EXPECT_EQ(layout.bitCount, 8);
  EXPECT_EQ(layout.colourTableOffset, 40u);
  EXPECT_EQ(layout.colourCount, 2u);
  EXPECT_EQ(layout.pixelOffset, 48u);
  EXPECT_EQ(layout.stride, 4u);

  ASSERT_TRUE(format::ReadDibLayout(CoreHeaderDib(), layout));
  EXPECT_EQ(layout.width, 16);
  EXPECT_FALSE(layout.topDown);
  EXPECT_EQ(layout.colourEntrySize, 3u);
  EXPECT_EQ(layout.pixelOffset, 18u);

  ASSERT_TRUE(format::ReadDibLayout(MaskedDib(0xFF0000, 0), layout));
  EXPECT_EQ(layout.colourTableOffset, 52u);
  EXPECT_EQ(layout.colourCount, 0u);
  EXPECT_EQ(layout.stride, 8u);
}

struct RefusedCase {
  const char* name;
  size_t offset;  // a 32-bit field of the palette DIB to change
  uint32_t value;
};

TEST(ReadDibLayout, RefusesWhatCouldBeReadBeyondItsEnd) {
  const RefusedCase cases[] = {
      {"unknown header size", 0, 20},
      {"header longer than the bytes", 0, 124},
      {"no width", 4, 0},
      {"negative width", 4, 0xFFFFFFFD},
      {"no height", 8, 0},
      {"rows beyond the end", 8, 3},
      {"run-length compressed", 16, 1},
      {"more colours than 8 bits index", 32, 257},
      {"colour table beyond the end", 32, 200},
  };
  for (const RefusedCase& c : cases) {
    DibBytes dib = TopDownPaletteDib();
    for (int i = 0; i < 4; ++i) dib[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    format::DibLayout layout;
    EXPECT_FALSE(format::ReadDibLayout(dib, layout)) << c.name;
  }
  DibBytes bits = TopDownPaletteDib();
  bits[14] = 7;
  format::DibLayout layout;
  EXPECT_FALSE(format::ReadDibLayout(bits, layout)) << "7 bits per pixel";
  DibBytes cut = TopDownPaletteDib();
  cut.pop_back();
  EXPECT_FALSE(format::ReadDibLayout(cut, layout)) << "last row short by its padding";
  EXPECT_FALSE(format::ReadDibLayout(DibBytes(), layout));
}

TEST(HasAlphaChannel, ThirtyTwoBitsWithStandardMasksAndSomeAlpha) {
  format::DibLayout layout;
  DibBytes blended = MaskedDib(0xFF0000, 0x80);
  ASSERT_TRUE(format::ReadDibLayout(blended, layout));
  EXPECT_TRUE(HasAlphaChannel(blended, layout));

  DibBytes noAlpha = MaskedDib(0xFF0000, 0);
  ASSERT_TRUE(format::ReadDibLayout(noAlpha, layout));
  EXPECT_FALSE(HasAlphaChannel(noAlpha, layout)) << "every alpha byte zero: an opaque picture";

  DibBytes otherMasks = MaskedDib(0xFF000000, 0x80);
  ASSERT_TRUE(format::ReadDibLayout(otherMasks, layout));
  EXPECT_FALSE(HasAlphaChannel(otherMasks, layout)) << "the fourth byte is not alpha";

  DibBytes palette = TopDownPaletteDib();
  ASSERT_TRUE(format::ReadDibLayout(palette, layout));
  EXPECT_FALSE(HasAlphaChannel(palette, layout));
}

}  // namespace
}  // namespace palisade
