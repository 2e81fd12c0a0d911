// The pages' templates come out of the packed resource by name, each the
// template that ui/page_dialogs.rc declares under that name.
#include "ui/page_templates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

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
