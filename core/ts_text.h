#pragma once
// Narrow and wide texts. Wide texts (UTF-16) carry paths, messages and
// everything shown to the user; narrow texts inside the engine are UTF-8
// unless a caller says otherwise (the ANSI forms exist for batch files and
// other consumers that only understand the system code page).
#include <string>
#include <string_view>
#include <vector>

namespace ts {

using Text = std::string;
using WText = std::wstring;

WText WideFromUtf8(std::string_view utf8);
Text Utf8FromWide(std::wstring_view wide);

// The system's ANSI code page; characters it cannot map become "?".
WText WideFromAnsi(std::string_view ansi);
Text AnsiFromWide(std::wstring_view wide);

// Code page 1252 (Western European), the same on every machine whatever its
// ANSI code page; the five bytes it leaves undefined keep their values.
WText WideFromCodePage1252(std::string_view text);
// Characters that code page 1252 lacks become "?".
Text CodePage1252FromWide(std::wstring_view wide);

// Turns every lone line feed into CR LF, leaving existing CR LF pairs alone.
WText WithCrLf(std::wstring_view text);

// The text with the ASCII letters A to Z in lower case, everything else as
// it is: the comparison key of paths in lists that the system also keeps.
WText AsciiLowerCase(std::wstring_view text);

// Where `part` first occurs in `text` at or after `from`, letters compared
// without regard to case as the invariant locale maps them; npos when nowhere.
size_t FindIgnoringCase(std::wstring_view text, std::wstring_view part, size_t from = 0);

// Replaces every occurrence of `part`, found as FindIgnoringCase finds it,
// by `value`. The value put in is not searched again.
void ReplaceIgnoringCase(WText& text, std::wstring_view part, std::wstring_view value);

// The number that the decimal text at the start of `text` spells, as
// "%g" writes one: white space, a sign, digits with or without a point and
// an exponent ("1.5", "-2", "1e+06"); what follows it is not looked at.
// False, leaving `value` alone, when no digit begins it. Neither infinity,
// nor a NaN, nor a hexadecimal form is read: no stored size is one.
bool ReadDecimal(std::wstring_view text, double& value);

// The lines of a text that hold more than blanks and tabs, without their
// line ends; CR, LF and CR LF all end a line.
std::vector<WText> NonBlankLines(std::wstring_view text);

}  // namespace ts
