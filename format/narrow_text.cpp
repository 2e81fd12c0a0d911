#include "format/narrow_text.h"

#include <algorithm>

namespace palisade::format {
namespace {

constexpr char kUtf8Mark = '|';

}  // namespace

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string EncodeNarrowForm(std::string_view utf8) {
  if (IsAscii(utf8) && (utf8.empty() || utf8.front() != kUtf8Mark)) return std::string(utf8);
  return kUtf8Mark + std::string(utf8);
}

DecodedNarrowText DecodeNarrowForm(std::string_view stored) {
  if (!stored.empty() && stored.front() == kUtf8Mark) return {std::string(stored.substr(1)), true};
  return {std::string(stored), false};
}

}  // namespace palisade::format
