#include <gtest/gtest.h>
#include <windows.h>

#include "core/ts_texts.h"

namespace {

struct SizeCase {
  uint64_t bytes;
  const char* text;
};

TEST(SizeText, UsesUnitsOf1024WithTwoDecimals) {
  const SizeCase cases[] = {
      {0, "0 bytes"},
      {1023, "1023 bytes"},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1048575, "1024.00 KB"},
      {1048576, "1.00 MB"},
      {1073741824ULL, "1.00 GB"},
      {1099511627776ULL, "1.00 TB"},
      {5ULL * 1099511627776ULL / 2, "2.50 TB"},
  };
  for (const SizeCase& c : cases) EXPECT_EQ(ts::SizeText(c.bytes), c.text) << c.bytes;
}

struct DurationCase {
  int64_t seconds;
  bool omitZero;
  const char* text;
};

TEST(DurationText, PicksTheTwoLargestUnits) {
  const DurationCase cases[] = {
      {0, false, "0 seconds"},
      {99, false, "99 seconds"},
      {100, false, "1 minute, 40 seconds"},
      {121, false, "2 minutes, 1 second"},
      {3599, false, "59 minutes, 59 seconds"},
      {3600, false, "1 hour, 0 minutes"},
      {3600, true, "1 hour"},
      {7260, false, "2 hours, 1 minute"},
      {86399, false, "23 hours, 59 minutes"},
      {86400, true, "1 day"},
      {90000, false, "1 day, 1 hour"},
      {180000, false, "2 days, 2 hours"},
      {120, true, "2 minutes"},
  };
  for (const DurationCase& c : cases) EXPECT_EQ(ts::DurationText(c.seconds, c.omitZero), c.text) << c.seconds;
}

SYSTEMTIME Moment(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  FileTimeToSystemTime(&file, &time);  // fills in the weekday
  return time;
}

struct DateCase {
  const char* format;
  const char* text;
};

TEST(DateText, ReadsLetterPairsAndSingleLetters) {
  const SYSTEMTIME morning = Moment(2026, 12, 7, 9, 5, 3);
  const DateCase cases[] = {
      {"yy/mm/dd HH:ii:ss", "2026/12/07 09:05:03"},
      {"m/d/y h:ii:ssap", "12/7/26 9:05:03a"},
      {"H:i:s", "9:5:3"},
      {"hh AP", "09 a.m."},
      {"A a x-", "A a x-"},
      {"M W", "Dec Mon"},
      {"MM WW", "December Monday"},
  };
  for (const DateCase& c : cases) EXPECT_EQ(ts::DateText(morning, c.format), c.text) << c.format;
}

TEST(DateText, TwelveHourClockAroundNoonAndMidnight) {
  EXPECT_EQ(ts::DateText(Moment(2026, 1, 2, 0, 0, 0), "h:iiap"), "12:00a");
  EXPECT_EQ(ts::DateText(Moment(2026, 1, 2, 12, 30, 0), "h:iiAP"), "12:30p.m.");
  EXPECT_EQ(ts::DateText(Moment(2026, 1, 2, 23, 59, 0), "hh:ii ap HH"), "11:59 p 23");
}

}  // namespace
