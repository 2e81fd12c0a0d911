#pragma once
// The stored form of narrow texts: 7-bit ASCII as it is, anything else as
// "|" followed by UTF-8. A stored text without the bar is in the system's
// ANSI code page, which only the engine can convert.
#include <string>
#include <string_view>

namespace palisade::format {

// True when every byte is 7-bit ASCII: such a text is stored as it is.
bool IsAscii(std::string_view text);

// An ASCII text that itself begins with "|" gets a second bar, so that it
// reads back unchanged.
std::string EncodeNarrowForm(std::string_view utf8);

struct DecodedNarrowText {
  std::string text;
  bool utf8 = false;  // false: `text` is in the ANSI code page
};

DecodedNarrowText DecodeNarrowForm(std::string_view stored);

}  // namespace palisade::format
