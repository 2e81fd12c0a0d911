#include "builder/time_stamps.h"

#include <charconv>
#include <ctime>

namespace palisade::builder {

format::TimeStamp TimeStampFromUnix(int64_t seconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec};
}

std::optional<int64_t> UnixFromTimeStamp(const format::TimeStamp& time) {
  if (time.month == 0) return std::nullopt;
  bool hasTime = time.hour >= 0;
  std::tm utc{};
  utc.tm_year = time.year - 1900;
  utc.tm_mon = time.month - 1;
  utc.tm_mday = time.day;
  utc.tm_hour = hasTime ? time.hour : 0;
  utc.tm_min = hasTime ? time.minute : 0;
  utc.tm_sec = hasTime ? time.second : 0;
  return static_cast<int64_t>(timegm(&utc));
}

std::optional<int64_t> ParseSourceDateEpoch(std::string_view text, bool& valid) {
  valid = true;
  if (text.empty()) return std::nullopt;
  int64_t seconds = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  valid = error == std::errc() && end == text.data() + text.size() && seconds >= 0;
  if (!valid) return std::nullopt;
  return seconds;
}

}  // namespace palisade::builder
