#pragma once
// Comma-separated lines as the installer's data files store them.
#include <initializer_list>
#include <string_view>

#include "core/ts_text.h"
#include "core/ts_vector.h"

namespace ts {

// The fields joined by ",", without a line end. A field is quoted, with its
// inner double quotes doubled, when a reader could otherwise split it at a
// separator, break it at a line end or lose its outer blanks: when it holds
// a comma, a double quote, a tab, CR, LF, a semicolon or a bar, begins with
// a blank, an apostrophe or a hash sign, or ends with a blank.
Text CsvLine(std::initializer_list<std::string_view> fields);

// The fields of one line, quoted or not. Blanks and tabs around an unquoted
// field are dropped; a quote that is never closed runs to the end of the
// line. Never fails: an empty line is one empty field.
Vector<Text> CsvFields(std::string_view line);

}  // namespace ts
