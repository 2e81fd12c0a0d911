// The pages' templates come out of the packed resource by name, each the
// template that ui/page_dialogs.rc declares under that name.
#include "ui/page_templates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "byte_assembly.h"

namespace palisade {
namespace {

struct ExtendedHeader {  // the head of a DLGTEMPLATEEX
  uint16_t version;
  uint16_t signature;
  uint32_t helpId;
  uint32_t extendedStyle;
  uint32_t style;
  uint16_t controls;
  int16_t x, y, width, height;
};

TEST(PageTemplate, EachNameGivesItsOwnTemplate) {
  struct Case {
    const wchar_t* name;
    int16_t width, height;  // as ui/page_dialogs.rc declares them
  };
  const Case cases[] = {
      {L"GREETINGDLG", 280, 202},   {L"GreetingDlg3", 280, 176},  // names in any case
      {L"ProgressDlg2", 235, 111},  {L"PROGRESSDLG3", 255, 137},  {L"SummaryDlg2", 280, 154},
      {L"EnterPassword", 269, 78},  {L"MustUninstall", 269, 61},  {L"SupportOffer", 269, 73},
  };
  for (const Case& c : cases) {
    const DLGTEMPLATE* found = PageTemplate(GetModuleHandleW(nullptr), c.name);
    ASSERT_NE(found, nullptr) << c.name;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(found) % 4, 0u) << c.name;
    ExtendedHeader header;
    std::memcpy(&header, found, sizeof header);
    EXPECT_EQ(header.version, 1) << c.name;
    EXPECT_EQ(header.signature, 0xFFFF) << c.name;
    EXPECT_EQ(header.width, c.width) << c.name;
    EXPECT_EQ(header.height, c.height) << c.name;
  }
}

// The unpacked layout, assembled by hand: a name whose padding is two
// bytes, then one that needs none, each followed by its length and bytes.
TEST(PageTemplate, HandAssembledPackIsReadEntryByEntry) {
  format::test_bytes::Assembly pack;
  pack.Wide(u"ABC")               // name "ABC" and its NUL: 8 bytes, no padding
      .U32(6)                     // template length
      .Raw("first!").U16(0)       // the template, padded to 8 bytes
      .Wide(u"LONGER")            // name "LONGER" and its NUL: 14 bytes
      .U16(0)                     // padded to 16
      .U32(4)                     // template length
      .Raw("2nd.");               // the template, already 4-aligned
  std::vector<uint8_t> bytes(pack.bytes().begin(), pack.bytes().end());
  const struct {
    const wchar_t* name;
    long offset;  // of the template in the pack; -1 for none
  } cases[] = {{L"abc", 12}, {L"Longer", 40}, {L"ab", -1}, {L"LONGERS", -1}};
  for (const auto& c : cases) {
    const DLGTEMPLATE* found = FindPackedTemplate(bytes, c.name);
    long offset = found ? static_cast<long>(reinterpret_cast<const uint8_t*>(found) - bytes.data()) : -1;
    EXPECT_EQ(offset, c.offset) << c.name;
  }
  bytes.resize(bytes.size() - 1);  // the last template one byte short
  EXPECT_EQ(FindPackedTemplate(bytes, L"LONGER"), nullptr);
  EXPECT_NE(FindPackedTemplate(bytes, L"ABC"), nullptr);
}

// The crash dialog stays a plain resource; no other name is in the pack.
TEST(PageTemplate, NamesOutsideThePackGiveNull) {
  HINSTANCE module = GetModuleHandleW(nullptr);
  for (const wchar_t* name : {L"ExceptionDlg", L"GreetingDlg5", L"", L"GREETING"}) {
    EXPECT_EQ(PageTemplate(module, name), nullptr) << name;
  }
  EXPECT_NE(FindResourceW(module, L"EXCEPTIONDLG", MAKEINTRESOURCEW(5)), nullptr);
}

}  // namespace
}  // namespace palisade
