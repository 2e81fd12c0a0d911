// Pictures as the installer carries them: where the parts of a DIB lie, what
// the engine refuses to draw, and the DIB inside a .bmp file, proven against
// pictures assembled field by field.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bitmap_file.h"
#include "dib_fixtures.h"
#include "format/dib_layout.h"

namespace palisade::format {
namespace {

using Bytes = std::vector<uint8_t>;
using test_bytes::BitmapFile;
using test_bytes::BitmapShape;
using test_bytes::CoreHeaderDib;
using test_bytes::MaskedDib;
using test_bytes::PackedDib;
using test_bytes::TopDownPaletteDib;

struct OffsetCase {
  const char* name;
  Bytes dib;
  uint32_t pixelOffset;
};

TEST(DibPixelOffset, HeaderMasksAndColourTable) {
  const OffsetCase cases[] = {
      {"palette of the colours used", TopDownPaletteDib(), 40 + 2 * 4},
      {"core header with three-byte colours", CoreHeaderDib(), 12 + 2 * 3},
      {"masks after a plain header", MaskedDib(0xFF0000, 0), 40 + 12},
      {"bytes that are no DIB", {'B', 'M', 1}, 3},
  };
  for (const OffsetCase& c : cases) EXPECT_EQ(DibPixelOffset(c.dib), c.pixelOffset) << c.name;
}

TEST(ReadDibLayout, WhereThePartsLie) {
  DibLayout layout;
  ASSERT_TRUE(ReadDibLayout(TopDownPaletteDib(), layout));
  EXPECT_EQ(layout.width, 3);
  EXPECT_EQ(layout.height, 2);
  EXPECT_TRUE(layout.topDown);
  EXPECT_EQ(layout.bitCount, 8);
  EXPECT_EQ(layout.colourTableOffset, 40u);
  EXPECT_EQ(layout.colourCount, 2u);
  EXPECT_EQ(layout.pixelOffset, 48u);
  EXPECT_EQ(layout.stride, 4u);

  ASSERT_TRUE(ReadDibLayout(CoreHeaderDib(), layout));
  EXPECT_EQ(layout.width, 16);
  EXPECT_FALSE(layout.topDown);
  EXPECT_EQ(layout.colourEntrySize, 3u);
  EXPECT_EQ(layout.pixelOffset, 18u);

  ASSERT_TRUE(ReadDibLayout(MaskedDib(0xFF0000, 0), layout));
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
    Bytes dib = TopDownPaletteDib();
    for (int i = 0; i < 4; ++i) dib[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    DibLayout layout;
    EXPECT_FALSE(ReadDibLayout(dib, layout)) << c.name;
  }
  Bytes bits = TopDownPaletteDib();
  bits[14] = 7;
  DibLayout layout;
  EXPECT_FALSE(ReadDibLayout(bits, layout)) << "7 bits per pixel";
  Bytes cut = TopDownPaletteDib();
  cut.pop_back();
  EXPECT_FALSE(ReadDibLayout(cut, layout)) << "last row short by its padding";
  EXPECT_FALSE(ReadDibLayout(Bytes(), layout));
}

struct FaultCase {
  const char* name;
  BitmapShape shape;
  DibFault fault;
};

// What the engine draws, and what keeps its bit count for the message.
TEST(CheckDib, TellsAPictureNotDrawnFromADamagedOne) {
  const FaultCase cases[] = {
      {"24 bits", {}, DibFault::kNone},
      {"a palette of 16", {.bitsPerPixel = 4, .colours = 16}, DibFault::kNone},
      {"a later header", {.headerSize = 124, .bitsPerPixel = 32}, DibFault::kNone},
      {"2 bits", {.bitsPerPixel = 2, .colours = 4}, DibFault::kNotDrawn},
      {"run-length compressed", {.bitsPerPixel = 8, .compression = 1, .colours = 2}, DibFault::kNotDrawn},
      {"48 bits", {.bitsPerPixel = 48}, DibFault::kNotDrawn},
      {"no width", {.width = 0}, DibFault::kMalformed},
  };
  for (const FaultCase& c : cases) {
    DibLayout layout;
    EXPECT_EQ(CheckDib(PackedDib(c.shape), layout), c.fault) << c.name;
    EXPECT_EQ(layout.bitCount, c.shape.bitsPerPixel) << c.name;
  }
  DibLayout layout;
  EXPECT_EQ(CheckDib(Bytes{1, 2, 3}, layout), DibFault::kMalformed) << "no header";
}

struct FileCase {
  const char* name;
  BitmapShape shape;
};

// The pixels come from where the file header says, and follow the colour
// table in the DIB.
TEST(DibFromBitmapFile, TakesThePixelsFromTheirOffset) {
  const FileCase cases[] = {
      {"pixels right after the header", {}},
      {"a gap before the pixels", {.gap = 5}},
      {"a colour table and a gap", {.bitsPerPixel = 8, .colours = 3, .gap = 2}},
      {"a later header and a gap", {.headerSize = 108, .bitsPerPixel = 16, .gap = 20}},
  };
  for (const FileCase& c : cases) {
    Bytes dib;
    ASSERT_TRUE(DibFromBitmapFile(BitmapFile(c.shape), dib)) << c.name;
    EXPECT_EQ(dib, PackedDib(c.shape)) << c.name;
  }
}

TEST(DibFromBitmapFile, RefusesAPixelOffsetOutsideTheFile) {
  Bytes beyond = BitmapFile({}), inside = BitmapFile({.bitsPerPixel = 8, .colours = 2});
  beyond[10] = static_cast<uint8_t>(beyond.size() + 1);  // one past the end
  inside[10] = 14 + 40 + 4;                              // within the colour table
  Bytes dib;
  EXPECT_FALSE(DibFromBitmapFile(beyond, dib));
  EXPECT_FALSE(DibFromBitmapFile(inside, dib));
  EXPECT_FALSE(DibFromBitmapFile(Bytes(20, 0), dib)) << "no \"BM\"";
  EXPECT_FALSE(DibFromBitmapFile(Bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), dib)) << "nothing after it";
}

}  // namespace
}  // namespace palisade::format
