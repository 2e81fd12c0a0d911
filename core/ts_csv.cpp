#include "core/ts_csv.h"

namespace ts {
namespace {

constexpr char kQuote = '"';
constexpr std::string_view kBlanks = " \t";

bool NeedsQuotes(std::string_view field) {
  if (field.empty()) return false;
  if (field.find_first_of(",\"\t\r\n;|") != std::string_view::npos) return true;
  return field.front() == ' ' || field.front() == '\'' || field.front() == '#' || field.back() == ' ';
}

Text CsvField(std::string_view field) {
  if (!NeedsQuotes(field)) return Text(field);
  Text quoted(1, kQuote);
  for (char c : field) {
    if (c == kQuote) quoted += kQuote;
    quoted += c;
  }
  return quoted + kQuote;
}

std::string_view Trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

// Reads the quoted field that starts at line[at] (its opening quote); text
// after the closing quote up to the next comma belongs to the field too.
size_t ReadQuoted(std::string_view line, size_t at, Text& field) {
  for (++at; at < line.size(); ++at) {
    if (line[at] != kQuote) {
      field += line[at];
    } else if (at + 1 < line.size() && line[at + 1] == kQuote) {
      field += kQuote;
      ++at;
    } else {
      size_t comma = line.find(',', at);
      field += Trimmed(line.substr(at + 1, comma == std::string_view::npos ? std::string_view::npos : comma - at - 1));
      return comma;
    }
  }
  return std::string_view::npos;
}

}  // namespace

Text CsvLine(std::initializer_list<std::string_view> fields) {
  Text line;
  bool first = true;
  for (std::string_view field : fields) {
    if (!first) line += ',';
    first = false;
    line += CsvField(field);
  }
  return line;
}

Vector<Text> CsvFields(std::string_view line) {
  Vector<Text> fields;
  size_t at = 0;
  for (;;) {
    size_t start = line.find_first_not_of(kBlanks, at);
    Text field;
    size_t comma;
    if (start != std::string_view::npos && line[start] == kQuote) {
      comma = ReadQuoted(line, start, field);
    } else {
      comma = line.find(',', at);
      field = Trimmed(line.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
    }
    fields.Add(std::move(field));
    if (comma == std::string_view::npos) return fields;
    at = comma + 1;
  }
}

}  // namespace ts
