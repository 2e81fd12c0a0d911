#pragma once
// printf-style formatting into text values. Besides the C conversions it
// takes the Windows sizes "%I64d", "%I32d" and "%Id", and the C99 sizes
// "%zu", "%zX", "%lld". As on Windows, "%s" and "%c" take the format's own
// character width ("%hs" is always narrow, "%ls" and "%ws" always wide, "%S"
// the other width); narrow strings are UTF-8.
#include <cstdarg>

#include "core/ts_text.h"

namespace ts {

Text Format(const char* format, ...);
WText Format(const wchar_t* format, ...);
Text FormatV(const char* format, va_list args);
WText FormatV(const wchar_t* format, va_list args);

}  // namespace ts
