#include "core/ts_text.h"

#include <windows.h>

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
  // The default character only applies to non-UTF-8 code pages. A
  // character without a form of its own becomes "?", never a look-alike:
  // a fullwidth quote would otherwise end a quoted path in a batch file.
  const bool utf8 = codePage == CP_UTF8;
  const char* fallback = utf8 ? nullptr : "?";
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int count = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, fallback, nullptr);
  Text narrow(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), narrow.data(), count, fallback,
                      nullptr);
  return narrow;
}

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

WText WideFromUtf8(std::string_view utf8) { return WideFromCodePage(CP_UTF8, utf8); }
Text Utf8FromWide(std::wstring_view wide) { return CodePageFromWide(CP_UTF8, wide); }
WText WideFromAnsi(std::string_view ansi) { return WideFromCodePage(CP_ACP, ansi); }
Text AnsiFromWide(std::wstring_view wide) { return CodePageFromWide(CP_ACP, wide); }

Text CodePage1252FromWide(std::wstring_view wide) { return CodePageFromWide(1252, wide); }

size_t FindIgnoringCase(std::wstring_view text, std::wstring_view part, size_t from) {
  if (from > text.size()) return WText::npos;
  size_t at = UpperInvariant(text.substr(from)).find(UpperInvariant(part));
  return at == WText::npos ? at : from + at;
}

}  // namespace ts
