// Pictures as the script carries them (a DIB) and as the uninstaller keeps
// them (a .bmp file), proven against DIBs assembled field by field.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dib_fixtures.h"
#include "ui/bitmap_file.h"

namespace palisade {
namespace {

using format::test_bytes::MaskedDib;
using format::test_bytes::TopDownPaletteDib;

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

// The file the uninstaller keeps gives back the picture the script carried.
TEST(DibFromBitmapFile, ReadsTheFileTheEngineWrites) {
  DibBytes dib = TopDownPaletteDib();
  DibBytes read;
  ASSERT_TRUE(format::DibFromBitmapFile(BitmapFileFromDib(dib), read));
  EXPECT_EQ(read, dib);
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
