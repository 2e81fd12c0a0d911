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

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Digits from `at` on, added to `number` as it is read; the count of them.
int ReadDigits(std::wstring_view text, size_t& at, double& number) {
  int count = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at, ++count) number = number * 10 + (text[at] - L'0');
  return count;
}

// The exponent after the number's digits, or 0 when what follows is none.
int ReadExponent(std::wstring_view text, size_t at) {
  if (at >= text.size() || (text[at] != L'e' && text[at] != L'E')) return 0;
  ++at;
  bool negative = at < text.size() && text[at] == L'-';
  if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) ++at;
  double exponent = 0;
  if (ReadDigits(text, at, exponent) == 0) return 0;
  // Far beyond any double's range, so that the scaling below stays short.
  constexpr double kLargest = 400;
  return static_cast<int>(negative ? -std::min(exponent, kLargest) : std::min(exponent, kLargest));
}

}  // namespace

bool ReadDecimal(std::wstring_view text, double& value) {
  size_t at = 0;
  while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r'))) ++at;
  bool negative = at < text.size() && text[at] == L'-';
  if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) ++at;
  double number = 0;
  int digits = ReadDigits(text, at, number);
  int scale = 0;
  if (at < text.size() && text[at] == L'.') {
    ++at;
    scale = -ReadDigits(text, at, number);
    digits -= scale;
  }
  if (digits == 0) return false;
  scale += ReadExponent(text, at);
  // Powers of ten up to 10^22 are exact, so a number as "%g" writes it is
  // read back to the nearest double.
  double power = 1;
  for (int i = 0; i < (scale < 0 ? -scale : scale); ++i) power *= 10;
  number = scale < 0 ? number / power : number * power;
  value = negative ? -number : number;
  return true;
}

}  // namespace ts
