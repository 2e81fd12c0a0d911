#pragma once
// The standard texts for sizes, durations and dates.
#include <cstdint>

#include "core/ts_text.h"

struct _SYSTEMTIME;

namespace ts {

// "1023 bytes", "1.50 KB", "2.00 GB": units of 1024, two decimals.
Text SizeText(uint64_t bytes);

// "99 seconds", "1 minute, 40 seconds", "1 day, 1 hour". With omitZero a
// second number of 0 is left out ("1 hour").
Text DurationText(int64_t seconds, bool omitZero);

// Letters: yy/y year (four digits / two), mm/m month, dd/d day, HH/H hour of
// the 24-hour clock, hh/h of the 12-hour clock, ii/i minutes, ss/s seconds
// (the doubled letter pads to two digits), AP "a.m."/"p.m.", ap "a"/"p",
// MM/M month name / its first three letters, WW/W weekday name / its first
// three letters. Names come from the user's locale. Every other character is
// copied.
Text DateText(const _SYSTEMTIME& time, const char* format);

}  // namespace ts
