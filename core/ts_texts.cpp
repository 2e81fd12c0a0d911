#include "core/ts_texts.h"

#include <windows.h>

#include "core/ts_format.h"

namespace ts {
namespace {

const char* Plural(int64_t count) { return count == 1 ? "" : "s"; }

Text TwoPartDuration(int64_t first, const char* firstUnit, int64_t second, const char* secondUnit, bool omitZero) {
  if (omitZero && second == 0) return Format("%I64d %s%s", first, firstUnit, Plural(first));
  return Format("%I64d %s%s, %I64d %s%s", first, firstUnit, Plural(first), second, secondUnit, Plural(second));
}

Text LocaleText(LCTYPE item) {
  wchar_t buffer[80];
  int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, 80);
  return length > 1 ? Utf8FromWide(std::wstring_view(buffer, static_cast<size_t>(length - 1))) : Text();
}

Text MonthName(int month) {
  return month >= 1 && month <= 12 ? LocaleText(LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(month - 1)) : Text();
}

// The locale numbers weekdays from Monday; SYSTEMTIME from Sunday.
Text WeekdayName(int dayOfWeek) {
  return LocaleText(LOCALE_SDAYNAME1 + static_cast<LCTYPE>((dayOfWeek + 6) % 7));
}

Text FirstThreeLetters(const Text& utf8) {
  WText wide = WideFromUtf8(utf8);
  return Utf8FromWide(wide.substr(0, 3));
}

int TwelveHour(int hour) { return hour % 12 == 0 ? 12 : hour % 12; }

}  // namespace

Text SizeText(uint64_t bytes) {
  constexpr uint64_t kKilo = 1024;
  if (bytes < kKilo) return Format("%d bytes", static_cast<int>(bytes));
  if (bytes < kKilo * kKilo) return Format("%.2f KB", bytes / 1024.0);
  if (bytes < kKilo * kKilo * kKilo) return Format("%.2f MB", bytes / (1024.0 * 1024.0));
  if (bytes < kKilo * kKilo * kKilo * kKilo) return Format("%.2f GB", bytes / (1024.0 * 1024.0 * 1024.0));
  return Format("%.2f TB", bytes / (1024.0 * 1024.0 * 1024.0 * 1024.0));
}

Text DurationText(int64_t seconds, bool omitZero) {
  if (seconds < 100) return Format("%d seconds", static_cast<int>(seconds));
  if (seconds < 3600) return TwoPartDuration(seconds / 60, "minute", seconds % 60, "second", omitZero);
  int64_t minutes = seconds / 60;
  if (minutes < 1440) return TwoPartDuration(minutes / 60, "hour", minutes % 60, "minute", omitZero);
  int64_t hours = minutes / 60;
  return TwoPartDuration(hours / 24, "day", hours % 24, "hour", omitZero);
}

Text DateText(const SYSTEMTIME& time, const char* format) {
  Text out;
  for (const char* p = format; *p;) {
    char letter = *p;
    bool pair = p[1] == letter;
    auto number = [&](int value) { out += Format(pair ? "%02d" : "%d", value); };
    switch (letter) {
      case 'y': out += pair ? Format("%04d", time.wYear) : Format("%02d", time.wYear % 100); break;
      case 'm': number(time.wMonth); break;
      case 'd': number(time.wDay); break;
      case 'H': number(time.wHour); break;
      case 'h': number(TwelveHour(time.wHour)); break;
      case 'i': number(time.wMinute); break;
      case 's': number(time.wSecond); break;
      case 'M': out += pair ? MonthName(time.wMonth) : FirstThreeLetters(MonthName(time.wMonth)); break;
      case 'W': out += pair ? WeekdayName(time.wDayOfWeek) : FirstThreeLetters(WeekdayName(time.wDayOfWeek)); break;
      case 'A':
      case 'a':
        pair = p[1] == (letter == 'A' ? 'P' : 'p');
        if (!pair) {
          out += letter;
        } else if (letter == 'A') {
          out += time.wHour < 12 ? "a.m." : "p.m.";
        } else {
          out += time.wHour < 12 ? "a" : "p";
        }
        break;
      default:
        out += letter;
        pair = false;
        break;
    }
    p += pair ? 2 : 1;
  }
  return out;
}

}  // namespace ts
