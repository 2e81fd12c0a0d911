#include "format/icon_block.h"

#include <gtest/gtest.h>

#include "byte_assembly.h"

namespace palisade::format {
namespace {

using test_bytes::Assembly;

// Three records assembled by hand: a kind this engine does not know, the
// desktop folder's icon and the uninstaller's.
std::vector<uint8_t> HandBlock() {
  Assembly block;
  block.U8(9);           // record 1: an unknown kind, passed over
  block.U32(2);          //   length
  block.Raw("??");       //   bytes
  block.U8(3);           // record 2: the desktop folder's icon
  block.U32(6);          //   length
  block.Raw("FOLDER");   //   bytes of the .ico file
  block.U8(2);           // record 3: the uninstaller's icon
  block.U32(4);          //   length
  block.Raw("UNIN");     //   bytes
  return block.bytes();
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(IconOfKind, FoundByKindInAHandAssembledBlock) {
  std::vector<uint8_t> block = HandBlock();
  EXPECT_EQ(IconOfKind(block, icon_kind::kDesktopFolder), Text("FOLDER"));
  EXPECT_EQ(IconOfKind(block, icon_kind::kUninstaller), Text("UNIN"));
  EXPECT_EQ(IconOfKind(block, icon_kind::kProduct), Bytes());
  EXPECT_EQ(IconOfKind({}, icon_kind::kProduct), Bytes());
}

TEST(IconOfKind, ALengthPastTheEndEndsTheList) {
  Assembly block;
  block.U8(3).U32(7).Raw("FOLDER");  // one byte short
  EXPECT_EQ(IconOfKind(block.bytes(), icon_kind::kDesktopFolder), Bytes());
  Assembly cut;
  cut.U8(1).U32(1).Raw("P").U8(3).U8(6);  // a second record cut inside its length
  EXPECT_EQ(IconOfKind(cut.bytes(), icon_kind::kProduct), Text("P"));
  EXPECT_EQ(IconOfKind(cut.bytes(), icon_kind::kDesktopFolder), Bytes());
}

TEST(IconBlock, WritesTheHandAssembledLayout) {
  std::vector<uint8_t> block = HandBlock();
  std::vector<uint8_t> known(block.begin() + 7, block.end());  // without the unknown record
  EXPECT_EQ(IconBlock({{icon_kind::kDesktopFolder, Text("FOLDER")}, {icon_kind::kProduct, {}},
                       {icon_kind::kUninstaller, Text("UNIN")}}),
            known);
}

}  // namespace
}  // namespace palisade::format
