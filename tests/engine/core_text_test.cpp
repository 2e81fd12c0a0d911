#include <gtest/gtest.h>

#include "core/ts_text.h"

namespace {

struct CodePageCase {
  const char* bytes;
  const wchar_t* text;
};

TEST(WideFromCodePage1252, MapsTheWesternCodePageOnAnyMachine) {
  const CodePageCase cases[] = {
      {"plain ASCII\r\n", L"plain ASCII\r\n"},
      {"caf\xE9", L"caf\u00e9"},
      {"\x80 5", L"\u20ac 5"},
      {"\x85", L"\u2026"},
      {"\x91quoted\x92", L"\u2018quoted\u2019"},
      {"\x96\x97", L"\u2013\u2014"},
      {"\x8A\x9A\x8C\x9C\x8E\x9E\x9F", L"\u0160\u0161\u0152\u0153\u017d\u017e\u0178"},
      {"\x99\x83\x89", L"\u2122\u0192\u2030"},
      {"\x81\x8D\x8F\x90\x9D", L"\u0081\u008d\u008f\u0090\u009d"},
      {"\xA0\xC4\xDF\xFF", L"\u00a0\u00c4\u00df\u00ff"},
      {"", L""},
  };
  for (const CodePageCase& c : cases) EXPECT_EQ(ts::WideFromCodePage1252(c.bytes), c.text) << c.bytes;
}

TEST(NonBlankLines, BlankLinesAndEveryLineEndSkipped) {
  EXPECT_EQ(ts::NonBlankLines(L"a,1\r\n\r\n  \r\nb\nc\r\t\r\n"), (std::vector<ts::WText>{L"a,1", L"b", L"c"}));
  EXPECT_TRUE(ts::NonBlankLines(L"").empty());
}

}  // namespace
