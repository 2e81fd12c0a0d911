#pragma once
// The tables and keys a project file may hold, with the kind of each value.
// The project reader reports every key not listed here as unknown, and
// `palisade schema` writes the same list as a JSON Schema for editors, so
// the two cannot disagree.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/words.h"

namespace palisade::builder {

enum class ValueKind {
  kText,
  kBool,
  kInteger,         // from `min` to `max`
  kNumber,          // from `min` to `max`, fractions allowed
  kWord,            // one of `words`
  kWordList,        // one of `words`, or an array of them
  kTextList,        // a text, or an array of texts
  kColor,           // "#RRGGBB"
  kVersion,         // a version the installer can order, or ""
  kVersionOrTable,  // a version, or the table `section` that says where to read it
  kHex,             // `max` bytes as hexadecimal digits
  kTextOrBool,
  kTextOrInteger,
  kTable,       // the table `section`
  kTableArray,  // an array of `section` tables: [[name]]
  kRefused,     // a key the reader refuses with a message of its own
};

struct KeyShape {
  std::string name;
  ValueKind kind = ValueKind::kText;
  WordTable words = {};
  double min = 0;  // kInteger, kNumber; kHex: `max` is the number of bytes
  double max = 0;
  std::string section = {};               // the dotted name of a table value's shape
  std::optional<bool> defaultValue = {};  // of a switch
  bool required = false;
};

struct SectionShape {
  std::string name;  // dotted, as the reader names the table: "wizard.page-styles"; "" for the file
  std::vector<KeyShape> keys = {};
  // Keys beyond `keys` that the reader takes one by one (languages,
  // message numbers): their shape, with a pattern of their names or an
  // empty one for any name.
  std::optional<KeyShape> otherKeys = {};
};

// The shape of the table at `dotted` ("" for the whole file,
// "messages.German", "files.shortcut" for a [[files]] entry's shortcut);
// null for a table the project file has no place for.
const SectionShape* ShapeOfTable(std::string_view dotted);

// The JSON Schema (draft 7) of a project file, indented, ending in a newline.
std::string ProjectSchema();

}  // namespace palisade::builder
