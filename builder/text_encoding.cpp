#include "builder/text_encoding.h"

#include <array>
#include <cstdint>
#include <vector>

namespace palisade::builder {
namespace {

// Code page 1252 bytes 0x80-0x9F; the five unassigned bytes map to the C1
// control of the same value, as Windows does.
constexpr std::array<char32_t, 32> kCp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one character at `i`, advancing it; nothing for a malformed,
// overlong or surrogate sequence.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& i) {
  auto byte = [&](std::size_t at) { return static_cast<uint8_t>(text[at]); };
  uint8_t lead = byte(i);
  int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra)) return std::nullopt;
  char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    uint8_t next = byte(i + static_cast<std::size_t>(k));
    if ((next & 0xC0) != 0x80) return std::nullopt;
    code = code << 6 | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
  i += static_cast<std::size_t>(extra) + 1;
  return code;
}

std::vector<char32_t> CodePoints(std::string_view utf8) {
  std::vector<char32_t> codes;
  for (std::size_t i = 0; i < utf8.size();) {
    std::optional<char32_t> code = NextCodePoint(utf8, i);
    if (!code) return codes;
    codes.push_back(*code);
  }
  return codes;
}

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | code >> 6));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | code >> 12));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | code >> 18));
    out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

char32_t Cp1252CodePoint(uint8_t byte) { return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte; }

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (!NextCodePoint(text, i)) return false;
  }
  return true;
}

std::string EscapeInvalidUtf8(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t start = i;
    if (NextCodePoint(text, i)) {
      out += text.substr(start, i - start);
    } else {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      uint8_t byte = static_cast<uint8_t>(text[i++]);
      out += std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0xF];
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  for (char32_t code : CodePoints(utf8)) {
    if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = utf16[i];
    bool pair =
        code >= 0xD800 && code < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000;
    if (pair) code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    AppendUtf8(code, out);
  }
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  for (char32_t code : CodePoints(utf8)) {
    bool found = false;
    for (int byte = 0; byte < 256 && !found; ++byte) {
      if (Cp1252CodePoint(static_cast<uint8_t>(byte)) != code) continue;
      out.push_back(static_cast<char>(byte));
      found = true;
    }
    if (!found) return std::nullopt;
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  for (char c : cp1252) AppendUtf8(Cp1252CodePoint(static_cast<uint8_t>(c)), out);
  return out;
}

}  // namespace palisade::builder
