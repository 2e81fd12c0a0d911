#include "core/ts_text.h"

#include <algorithm>

// The conversions that go through the system's code pages are in
// ts_code_pages.cpp; what is here runs the same on any system.
namespace ts {

WText WideFromCodePage1252(std::string_view text) {
  // Where the code page leaves ISO 8859-1 (bytes 0x80 to 0x9F).
  static constexpr wchar_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
  };
  WText wide(text.size(), L'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    wide[i] = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : static_cast<wchar_t>(byte);
  }
  return wide;
}

WText WithCrLf(std::wstring_view text) {
  WText result;
  result.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) result += L'\r';
    result += text[i];
  }
  return result;
}

WText AsciiLowerCase(std::wstring_view text) {
  WText lower(text);
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return lower;
}

void ReplaceIgnoringCase(WText& text, std::wstring_view part, std::wstring_view value) {
  size_t at = FindIgnoringCase(text, part);
  while (at != WText::npos) {
    text.replace(at, part.size(), value);
    at = FindIgnoringCase(text, part, at + value.size());
  }
}

std::vector<WText> NonBlankLines(std::wstring_view text) {
  std::vector<WText> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find_first_of(L"\r\n", start), text.size());
    std::wstring_view line = text.substr(start, end - start);
    if (line.find_first_not_of(L" \t") != std::wstring_view::npos) lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace ts
