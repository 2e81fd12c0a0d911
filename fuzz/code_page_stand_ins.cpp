// What the engine's texts take from Windows, for the fuzz tree on Linux:
// UTF-8 conversion as the system does it (a broken sequence becomes
// U+FFFD), code page 1252 standing in for the ANSI code page, case folded
// for ASCII letters only, and an index fault that aborts, so that the
// fuzzer reports it. Wide texts hold UTF-16 units, as on Windows, although
// wchar_t is wider here.
#include <cstdio>
#include <cstdlib>

#include "core/ts_text.h"
#include "core/ts_vector.h"

namespace ts {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The length of the sequence a lead byte opens and the bits it carries; 0
// for a byte that cannot lead.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead < 0xF5) return 4;
  return 0;
}

// One code point at `at`, moving `at` past it; U+FFFD for a broken sequence,
// which then covers the lead byte only.
char32_t NextCodePoint(std::string_view utf8, size_t& at) {
  const unsigned char lead = static_cast<unsigned char>(utf8[at++]);
  const int length = SequenceLength(lead);
  if (length == 1) return lead;
  if (length == 0 || at + length - 1 > utf8.size()) return kReplacement;
  char32_t value = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(utf8[at + i - 1]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    value = value << 6 | (next & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return kReplacement;
  at += length - 1;
  return value;
}

void AppendUtf8(Text& out, char32_t c) {
  if (c >= 0xD800 && c < 0xE000) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

WText WideFromUtf8(std::string_view utf8) {
  WText wide;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, at);
    if (c < 0x10000) {
      wide += static_cast<wchar_t>(c);
    } else {
      wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return wide;
}

// A pair of surrogates is one code point; a half alone, or a unit beyond
// 16 bits, becomes U+FFFD.
Text Utf8FromWide(std::wstring_view wide) {
  Text utf8;
  for (size_t i = 0; i < wide.size(); ++i) {
    const auto unit = static_cast<char32_t>(wide[i]);
    const bool high = unit >= 0xD800 && unit < 0xDC00;
    const bool pairs = high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
    if (pairs) {
      AppendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(wide[++i]) - 0xDC00));
    } else {
      AppendUtf8(utf8, unit > 0xFFFF ? kReplacement : unit);
    }
  }
  return utf8;
}

Text CodePage1252FromWide(std::wstring_view wide) {
  static const WText kCodePage = [] {
    Text everyByte(256, '\0');
    for (int byte = 0; byte < 256; ++byte) everyByte[byte] = static_cast<char>(byte);
    return WideFromCodePage1252(everyByte);
  }();
  Text narrow;
  for (wchar_t c : wide) {
    size_t byte = kCodePage.find(c);
    narrow += byte == WText::npos ? '?' : static_cast<char>(byte);
  }
  return narrow;
}

WText WideFromAnsi(std::string_view ansi) { return WideFromCodePage1252(ansi); }
Text AnsiFromWide(std::wstring_view wide) { return CodePage1252FromWide(wide); }

size_t FindIgnoringCase(std::wstring_view text, std::wstring_view part, size_t from) {
  if (from > text.size()) return WText::npos;
  WText upperText(text.substr(from)), upperPart(part);
  for (WText* t : {&upperText, &upperPart}) {
    for (wchar_t& c : *t) {
      if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
  }
  size_t at = upperText.find(upperPart);
  return at == WText::npos ? at : from + at;
}

void FatalIndexError(const char* signature, int index, int count) {
  std::fprintf(stderr, "index fault: %s [%d], max_index = %d\n", signature, index, count - 1);
  std::abort();
}

}  // namespace ts
