#pragma once
// File times in the payload's 24-byte block. Palisade stores UTC, so an
// installer built in any time zone carries the same bytes.
#include <cstdint>
#include <optional>
#include <string_view>

#include "format/byte_stream.h"

namespace palisade::builder {

format::TimeStamp TimeStampFromUnix(int64_t seconds);

// Nothing for a block without a date; a block without a time is midnight.
std::optional<int64_t> UnixFromTimeStamp(const format::TimeStamp& time);

// The SOURCE_DATE_EPOCH convention of reproducible builds: nothing when the
// text is empty, and an error (nothing, with `valid` false) when it is not a
// decimal number of seconds.
std::optional<int64_t> ParseSourceDateEpoch(std::string_view text, bool& valid);

}  // namespace palisade::builder
