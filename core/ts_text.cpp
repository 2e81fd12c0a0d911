#include "core/ts_text.h"

#include <windows.h>

#include <algorithm>

namespace ts {
namespace {

WText WideFromCodePage(UINT codePage, std::string_view narrow) {
  if (narrow.empty()) return {};
  int count = MultiByteToWideChar(codePage, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
  WText wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(codePage, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(), count);
  return wide;
}

Text CodePageFromWide(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return {};
  // The default character only applies to non-UTF-8 code pages.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  int count = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, fallback, nullptr);
  Text narrow(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), count, fallback, nullptr);
  return narrow;
}

}  // namespace

WText WideFromUtf8(std::string_view utf8) { return WideFromCodePage(CP_UTF8, utf8); }
Text Utf8FromWide(std::wstring_view wide) { return CodePageFromWide(CP_UTF8, wide); }
WText WideFromAnsi(std::string_view ansi) { return WideFromCodePage(CP_ACP, ansi); }
Text AnsiFromWide(std::wstring_view wide) { return CodePageFromWide(CP_ACP, wide); }

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

Text CodePage1252FromWide(std::wstring_view wide) { return CodePageFromWide(1252, wide); }

WText WithCrLf(std::wstring_view text) {
  WText result;
  result.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) result += L'\r';
    result += text[i];
  }
  return result;
}

namespace {

// Upper-case mapping keeps the length, so positions in the mapped text are
// positions in the original.
WText UpperInvariant(std::wstring_view text) {
  WText upper(text);
  if (!upper.empty()) {
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()), upper.data(),
                 static_cast<int>(upper.size()));
  }
  return upper;
}

}  // namespace

WText AsciiLowerCase(std::wstring_view text) {
  WText lower(text);
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return lower;
}

size_t FindIgnoringCase(std::wstring_view text, std::wstring_view part, size_t from) {
  if (from > text.size()) return WText::npos;
  size_t at = UpperInvariant(text.substr(from)).find(UpperInvariant(part));
  return at == WText::npos ? at : from + at;
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
