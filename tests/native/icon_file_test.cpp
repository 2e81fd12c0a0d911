// An .ico file assembled by hand from its layout, and the icon group that
// the executable's resources get for it, assembled by hand from theirs.
#include <gtest/gtest.h>

#include "byte_assembly.h"
#include "format/icon_file.h"

namespace palisade::format {
namespace {

using test_bytes::Assembly;
using namespace std::string_view_literals;

// Two pictures: 16x16 in 4 bits of 5 bytes, 256x256 (stored as 0) in 32
// bits of 3 bytes, the second stored before the first.
Assembly TwoPictureIcon() {
  return Assembly()
      .U16(0)       // reserved
      .U16(1)       // type: icon
      .U16(2)       // picture count
      .U8(16)       // picture 1: width
      .U8(16)       //   height
      .U8(16)       //   colour count
      .U8(0)        //   reserved
      .U16(1)       //   planes
      .U16(4)       //   bits per pixel
      .U32(5)       //   bytes
      .U32(41)      //   offset: after the second picture
      .U8(0)        // picture 2: width 256
      .U8(0)        //   height 256
      .U8(0)        //   colour count
      .U8(0)        //   reserved
      .U16(1)       //   planes
      .U16(32)      //   bits per pixel
      .U32(3)       //   bytes
      .U32(38)      //   offset: right after the entries
      .Raw("BIG"sv)     // picture 2's bytes
      .Raw("small"sv);  // picture 1's bytes
}

TEST(IconFile, ThePicturesBecomeImagesNamedByTheGroup) {
  const Assembly expectedGroup = Assembly()
                                     .U16(0)   // reserved
                                     .U16(1)   // type: icon
                                     .U16(2)   // picture count
                                     .U8(16)   // picture 1: width
                                     .U8(16)   //   height
                                     .U8(16)   //   colour count
                                     .U8(0)    //   reserved
                                     .U16(1)   //   planes
                                     .U16(4)   //   bits per pixel
                                     .U32(5)   //   bytes
                                     .U16(7)   //   its image's resource id
                                     .U8(0)    // picture 2: width 256
                                     .U8(0)    //   height 256
                                     .U8(0)    //   colour count
                                     .U8(0)    //   reserved
                                     .U16(1)   //   planes
                                     .U16(32)  //   bits per pixel
                                     .U32(3)   //   bytes
                                     .U16(8);  //   its image's resource id
  IconResources resources;
  ASSERT_TRUE(IconResourcesOf(TwoPictureIcon().bytes(), 7, resources));
  EXPECT_EQ(resources.group, expectedGroup.bytes());
  ASSERT_EQ(resources.images.size(), 2u);
  EXPECT_EQ(resources.images[0], std::vector<uint8_t>({'s', 'm', 'a', 'l', 'l'}));
  EXPECT_EQ(resources.images[1], std::vector<uint8_t>({'B', 'I', 'G'}));
}

struct BadIcon {
  const char* name;
  std::vector<uint8_t> bytes;
};

TEST(IconFile, WhatIsNoIconFileIsRefused) {
  std::vector<uint8_t> good = TwoPictureIcon().bytes();
  std::vector<uint8_t> cursor = good, none = good, cut = good, pastEnd = good;
  cursor[2] = 2;  // type: cursor
  none[4] = 0;    // no picture
  cut.resize(30);  // the entries end early
  pastEnd.pop_back();  // picture 1 runs one byte past the end
  const BadIcon cases[] = {{"empty", {}}, {"a cursor", cursor}, {"no picture", none}, {"entries cut short", cut},
                           {"picture past the end", pastEnd}, {"a bitmap", {'B', 'M', 0, 0, 0, 0, 0, 0}}};
  for (const BadIcon& c : cases) {
    IconResources resources;
    resources.group = {9};
    EXPECT_FALSE(IconResourcesOf(c.bytes, 1, resources)) << c.name;
    EXPECT_EQ(resources.group, std::vector<uint8_t>({9})) << c.name << ": left as it was";
  }
}

}  // namespace
}  // namespace palisade::format
