#include <gtest/gtest.h>

#include <cmath>

#include "core/ts_format.h"
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

// Sizes are stored as "%g" writes them and read back by ReadDecimal.
TEST(ReadDecimal, ReadsTheNumberAtTheStartAndTellsWhenThereIsNone) {
  struct Case {
    const wchar_t* text;
    bool read;
    double value;  // what `value` holds after the call; it starts at 7
  };
  const Case cases[] = {
      {L"1", true, 1},
      {L"1.5", true, 1.5},
      {L"1.1", true, 1.1},
      {L"-2", true, -2},
      {L"+0.25", true, 0.25},
      {L" \t1e+06", true, 1e6},
      {L"2.5E-3", true, 0.0025},
      {L"1e-05", true, 1e-5},
      {L".5", true, 0.5},
      {L"5.", true, 5},
      {L"1.5cm", true, 1.5},         // what follows the number is left
      {L"3e", true, 3},              // an exponent without digits is not one
      {L"1e999", true, HUGE_VAL},    // beyond a double, as the C library reads it
      {L"0x10", true, 0},            // no hexadecimal form
      {L"", false, 7},
      {L"size", false, 7},
      {L".", false, 7},
      {L"-", false, 7},
      {L"inf", false, 7},
      {L"- 1", false, 7},
  };
  for (const Case& c : cases) {
    double value = 7;
    EXPECT_EQ(ts::ReadDecimal(c.text, value), c.read) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(ReadDecimal, ReadsBackWhatPercentGWrites) {
  for (double value : {0.1, 12.5, 0.001, 1e-05, 123457.0, 2.71828, 1e+20, -0.75}) {
    double read = 0;
    ASSERT_TRUE(ts::ReadDecimal(ts::Format(L"%g", value), read)) << value;
    EXPECT_EQ(read, value) << value;
  }
}
