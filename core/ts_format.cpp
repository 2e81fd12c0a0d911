#include "core/ts_format.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace ts {
namespace {

enum class Size { kDefault, kChar, kShort, kLong, kLongLong, kPointer, kInt32, kLongDouble };

struct Conversion {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  bool zero = false;
  int width = 0;
  int precision = -1;
  Size size = Size::kDefault;
  bool wideString = false;  // for %s and %c, decided by the size and the format's width
  char type = 0;
};

template <typename Char>
struct Formatter {
  const Char* cursor;
  va_list& args;
  std::basic_string<Char> out;

  Formatter(const Char* format, va_list& arguments) : cursor(format), args(arguments) {}

  int ReadNumberOrStar() {
    if (*cursor == '*') {
      ++cursor;
      return va_arg(args, int);
    }
    int value = 0;
    while (*cursor >= '0' && *cursor <= '9') value = value * 10 + (*cursor++ - '0');
    return value;
  }

  bool Accept(const char* word) {
    const Char* p = cursor;
    for (; *word; ++word, ++p) {
      if (*p != static_cast<Char>(*word)) return false;
    }
    cursor = p;
    return true;
  }

  void ReadFlags(Conversion& c) {
    for (;; ++cursor) {
      switch (*cursor) {
        case '-': c.left = true; continue;
        case '+': c.plus = true; continue;
        case ' ': c.space = true; continue;
        case '#': c.alternate = true; continue;
        case '0': c.zero = true; continue;
        default: return;
      }
    }
  }

  void ReadSize(Conversion& c) {
    constexpr bool kWideFormat = sizeof(Char) > 1;
    c.wideString = kWideFormat;
    if (Accept("I64") || Accept("ll") || Accept("j")) {
      c.size = Size::kLongLong;
    } else if (Accept("I32")) {
      c.size = Size::kInt32;
    } else if (Accept("hh")) {
      c.size = Size::kChar;
    } else if (Accept("h")) {
      c.size = Size::kShort;
      c.wideString = false;
    } else if (Accept("l") || Accept("w")) {
      c.size = Size::kLong;
      c.wideString = true;
    } else if (Accept("I") || Accept("z") || Accept("t")) {
      c.size = Size::kPointer;
    } else if (Accept("L")) {
      c.size = Size::kLongDouble;
    }
  }

  // Returns false for an unknown conversion, which is then copied as it stands.
  bool ReadConversion(Conversion& c) {
    ReadFlags(c);
    c.width = ReadNumberOrStar();
    if (c.width < 0) {
      c.left = true;
      c.width = -c.width;
    }
    if (*cursor == '.') {
      ++cursor;
      c.precision = ReadNumberOrStar();
    }
    ReadSize(c);
    if (*cursor == 'S' || *cursor == 'C') c.wideString = sizeof(Char) == 1;
    c.type = static_cast<char>(*cursor);
    if (!*cursor) return false;
    ++cursor;
    return true;
  }

  void Pad(size_t length, const Conversion& c, Char fill) {
    for (size_t i = length; i < static_cast<size_t>(c.width); ++i) out += fill;
  }

  void Emit(const std::basic_string<Char>& text, const Conversion& c) {
    if (!c.left) Pad(text.size(), c, ' ');
    out += text;
    if (c.left) Pad(text.size(), c, ' ');
  }

  static std::basic_string<Char> FromUtf8(const Text& text) {
    if constexpr (sizeof(Char) == 1) {
      return text;
    } else {
      return WideFromUtf8(text);
    }
  }

  static std::basic_string<Char> FromWide(const wchar_t* text, size_t length) {
    if constexpr (sizeof(Char) == 1) {
      return Utf8FromWide(std::wstring_view(text, length));
    } else {
      return std::wstring(text, length);
    }
  }

  void EmitString(const Conversion& c) {
    const void* pointer = va_arg(args, const void*);
    std::basic_string<Char> text;
    if (!pointer) {
      text = FromUtf8("(null)");
    } else if (c.wideString) {
      auto* wide = static_cast<const wchar_t*>(pointer);
      size_t length = 0;
      while (wide[length] && (c.precision < 0 || length < static_cast<size_t>(c.precision))) ++length;
      text = FromWide(wide, length);
    } else {
      auto* narrow = static_cast<const char*>(pointer);
      size_t length = 0;
      while (narrow[length] && (c.precision < 0 || length < static_cast<size_t>(c.precision))) ++length;
      text = FromUtf8(Text(narrow, length));
    }
    Emit(text, c);
  }

  void EmitCharacter(const Conversion& c) {
    int value = va_arg(args, int);
    if (c.wideString) {
      wchar_t wide = static_cast<wchar_t>(value);
      Emit(FromWide(&wide, 1), c);
    } else {
      Emit(FromUtf8(Text(1, static_cast<char>(value))), c);
    }
  }

  long long SignedArgument(Size size) {
    switch (size) {
      case Size::kLongLong: return va_arg(args, long long);
      case Size::kPointer: return va_arg(args, intptr_t);
      case Size::kLong: return va_arg(args, long);
      case Size::kShort: return static_cast<short>(va_arg(args, int));
      case Size::kChar: return static_cast<signed char>(va_arg(args, int));
      default: return va_arg(args, int);
    }
  }

  unsigned long long UnsignedArgument(Size size) {
    switch (size) {
      case Size::kLongLong: return va_arg(args, unsigned long long);
      case Size::kPointer: return va_arg(args, uintptr_t);
      case Size::kLong: return va_arg(args, unsigned long);
      case Size::kShort: return static_cast<unsigned short>(va_arg(args, unsigned));
      case Size::kChar: return static_cast<unsigned char>(va_arg(args, unsigned));
      default: return va_arg(args, unsigned);
    }
  }

  void EmitInteger(const Conversion& c, bool negative, unsigned long long magnitude, unsigned base, bool upper) {
    const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string digits;
    for (unsigned long long v = magnitude; v; v /= base) digits.insert(digits.begin(), digitSet[v % base]);
    if (c.precision < 0 && digits.empty()) digits = "0";
    while (c.precision >= 0 && digits.size() < static_cast<size_t>(c.precision)) digits.insert(digits.begin(), '0');
    std::string prefix;
    if (negative) {
      prefix = "-";
    } else if (c.plus && (c.type == 'd' || c.type == 'i')) {
      prefix = "+";
    } else if (c.space && (c.type == 'd' || c.type == 'i')) {
      prefix = " ";
    }
    if (c.alternate && magnitude != 0 && base == 16) prefix += upper ? "0X" : "0x";
    if (c.alternate && base == 8 && (digits.empty() || digits[0] != '0')) digits.insert(digits.begin(), '0');
    if (c.zero && !c.left && c.precision < 0) {
      while (prefix.size() + digits.size() < static_cast<size_t>(c.width)) digits.insert(digits.begin(), '0');
    }
    Emit(FromUtf8(prefix + digits), c);
  }

  void EmitFloat(const Conversion& c) {
    double value = c.size == Size::kLongDouble ? static_cast<double>(va_arg(args, long double)) : va_arg(args, double);
    char conversion[32];
    snprintf(conversion, sizeof conversion, "%%%s%s%s%s%s*.*%c", c.left ? "-" : "", c.plus ? "+" : "", c.space ? " " : "",
             c.alternate ? "#" : "", c.zero ? "0" : "", c.type);
    char buffer[512];
    snprintf(buffer, sizeof buffer, conversion, c.width, c.precision < 0 ? 6 : c.precision, value);
    out += FromUtf8(buffer);
  }

  void EmitConversion(const Conversion& c) {
    switch (c.type) {
      case 'd':
      case 'i': {
        long long value = SignedArgument(c.size);
        unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
        EmitInteger(c, value < 0, magnitude, 10, false);
        break;
      }
      case 'u': EmitInteger(c, false, UnsignedArgument(c.size), 10, false); break;
      case 'o': EmitInteger(c, false, UnsignedArgument(c.size), 8, false); break;
      case 'x': EmitInteger(c, false, UnsignedArgument(c.size), 16, false); break;
      case 'X': EmitInteger(c, false, UnsignedArgument(c.size), 16, true); break;
      case 'p': {
        Conversion pointer = c;
        pointer.precision = static_cast<int>(sizeof(void*) * 2);
        EmitInteger(pointer, false, reinterpret_cast<uintptr_t>(va_arg(args, void*)), 16, true);
        break;
      }
      case 's':
      case 'S': EmitString(c); break;
      case 'c':
      case 'C': EmitCharacter(c); break;
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': EmitFloat(c); break;
      case 'n': va_arg(args, void*); break;  // never written through: a format must not write memory
      case '%': out += '%'; break;
    }
  }

  static bool IsKnownType(char type) {
    for (const char* known = "diuoxXpsScCfFeEgGaAn%"; *known; ++known) {
      if (*known == type) return true;
    }
    return false;
  }

  std::basic_string<Char> Run() {
    while (*cursor) {
      if (*cursor != '%') {
        out += *cursor++;
        continue;
      }
      const Char* start = cursor++;
      Conversion c;
      if (!ReadConversion(c) || !IsKnownType(c.type)) {
        out.append(start, cursor);
        continue;
      }
      EmitConversion(c);
    }
    return out;
  }
};

}  // namespace

Text FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  Text result = Formatter<char>(format, copy).Run();
  va_end(copy);
  return result;
}

WText FormatV(const wchar_t* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  WText result = Formatter<wchar_t>(format, copy).Run();
  va_end(copy);
  return result;
}

Text Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Text result = FormatV(format, args);
  va_end(args);
  return result;
}

WText Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WText result = FormatV(format, args);
  va_end(args);
  return result;
}

}  // namespace ts
