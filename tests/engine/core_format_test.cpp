#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "core/ts_format.h"

namespace {

TEST(Format, WindowsAndC99IntegerSizes) {
  EXPECT_EQ(ts::Format("%zu", static_cast<size_t>(4294967295u)), "4294967295");
  EXPECT_EQ(ts::Format("%zX", static_cast<size_t>(0xBEEF)), "BEEF");
  EXPECT_EQ(ts::Format("0x%08zX", static_cast<size_t>(0x1F)), "0x0000001F");
  EXPECT_EQ(ts::Format("%I64d", static_cast<int64_t>(-9007199254740993LL)), "-9007199254740993");
  EXPECT_EQ(ts::Format("%I64u", static_cast<uint64_t>(ULLONG_MAX)), "18446744073709551615");
  EXPECT_EQ(ts::Format("%lld|%I32d|%Id", -5LL, 7, static_cast<intptr_t>(-3)), "-5|7|-3");
  EXPECT_EQ(ts::Format("%d %i", INT_MIN, INT_MAX), "-2147483648 2147483647");
  EXPECT_EQ(ts::Format("%hd %hhu", 65537, 257), "1 1");
}

TEST(Format, FlagsWidthAndPrecision) {
  EXPECT_EQ(ts::Format("[%5d][%-5d][%05d][%+d][% d]", 42, 42, -42, 7, 7), "[   42][42   ][-0042][+7][ 7]");
  EXPECT_EQ(ts::Format("[%.3d][%#x][%#o][%*d][%-*d]", 5, 255, 8, 4, 1, 3, 2), "[005][0xff][010][   1][2  ]");
  EXPECT_EQ(ts::Format("[%.2f][%8.3f][%e]", 1.005, -3.14159, 12345.678), "[1.00][  -3.142][1.234568e+04]");
  EXPECT_EQ(ts::Format("[%.0d]", 0), "[]");
}

TEST(Format, StringsTakeTheFormatsOwnWidth) {
  EXPECT_EQ(ts::Format("%s|%ls|%S|%.2s|%6s|%-4s|", "ab", L"cd", L"ef", "xyz", "r", "l"), "ab|cd|ef|xy|     r|l   |");
  EXPECT_EQ(ts::Format(L"%s|%hs|%S|%c%C", L"wide", "narrow", "other", L'W', 'n'), L"wide|narrow|other|Wn");
  EXPECT_EQ(ts::Format("%s", static_cast<const char*>(nullptr)), "(null)");
}

TEST(Format, NarrowStringsAreUtf8InWideFormats) {
  EXPECT_EQ(ts::Format(L"%hs", "gr\xC3\xBC\xC3\x9F"), L"gr\u00FC\u00DF");
  EXPECT_EQ(ts::Format("%ls", L"\u00E9t\u00E9"), "\xC3\xA9t\xC3\xA9");
}

TEST(Format, PercentSignsAndUnknownConversions) {
  EXPECT_EQ(ts::Format("100%% %y %"), "100% %y %");
  EXPECT_EQ(ts::Format(L"%d%%", 5), L"5%");
}

TEST(Format, PercentNWritesNothing) {
  int untouched = 17;
  EXPECT_EQ(ts::Format("a%nb", &untouched), "ab");
  EXPECT_EQ(untouched, 17);
}

}  // namespace
