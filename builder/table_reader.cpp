#include "builder/table_reader.h"

#include <algorithm>
#include <cctype>

#include "format/version_order.h"

namespace palisade::builder {
namespace {

std::string KindOf(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string:
      return "a text";
    case toml::node_type::integer:
      return "a number";
    case toml::node_type::floating_point:
      return "a fractional number";
    case toml::node_type::boolean:
      return "true or false";
    case toml::node_type::array:
      return "an array";
    case toml::node_type::table:
      return "a table";
    default:
      return "a date or time";
  }
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::optional<uint32_t> ParseColor(std::string_view text) {
  bool valid = text.size() == 7 && text[0] == '#' && std::all_of(text.begin() + 1, text.end(), IsHexDigit);
  if (!valid) return std::nullopt;
  uint32_t rgb = static_cast<uint32_t>(std::stoul(std::string(text.substr(1)), nullptr, 16));
  return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

int LineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

TableReader::TableReader(const toml::table* table, std::string label, int line, Diagnostics& diagnostics,
                         const SectionShape* shape)
    : table_(table), label_(std::move(label)), line_(line), diagnostics_(diagnostics), shape_(shape) {}

const toml::node* TableReader::Find(std::string_view key) {
  if (std::find(asked_.begin(), asked_.end(), key) == asked_.end()) asked_.emplace_back(key);
  return table_ != nullptr ? table_->get(key) : nullptr;
}

const toml::node* TableReader::Node(std::string_view key) { return Find(key); }

int TableReader::LineOf(std::string_view key) const {
  const toml::node* node = table_ != nullptr ? table_->get(key) : nullptr;
  return node != nullptr ? builder::LineOf(*node) : line_;
}

void TableReader::Report(std::string_view key, std::string message, std::string hint) {
  diagnostics_.Report(LineOf(key), std::move(message), std::move(hint));
}

void TableReader::Warn(std::string_view key, std::string message, std::string hint) {
  diagnostics_.Warn(LineOf(key), std::move(message), std::move(hint));
}

void TableReader::ReportType(std::string_view key, std::string_view expected) {
  const toml::node* node = table_ != nullptr ? table_->get(key) : nullptr;
  Report(key, Quoted(key) + " in " + label_ + " must be " + std::string(expected),
         node != nullptr ? "found " + KindOf(*node) : std::string());
}

std::optional<std::string> TableReader::String(std::string_view key) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  std::optional<std::string> value = node->value_exact<std::string>();
  if (!value) {
    ReportType(key, "a text");
    return std::nullopt;
  }
  if (value->find('\0') != std::string::npos) {
    Report(key, Quoted(key) + " in " + label_ + " holds a NUL character", "remove the \\u0000 from the text");
    return std::nullopt;
  }
  return value;
}

std::string TableReader::String(std::string_view key, std::string_view fallback) {
  return String(key).value_or(std::string(fallback));
}

std::string TableReader::Required(std::string_view key, std::string_view example) {
  bool given = table_ != nullptr && table_->get(key) != nullptr;
  std::optional<std::string> value = String(key);
  if (value && !value->empty()) return *value;
  if (!given) {
    Report(key, "missing key " + Quoted(key) + " in " + label_, "add " + std::string(example));
  } else if (value) {
    Report(key, Quoted(key) + " in " + label_ + " is empty", "write " + std::string(example));
  }
  return {};
}

std::optional<bool> TableReader::Bool(std::string_view key) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  std::optional<bool> value = node->value_exact<bool>();
  if (!value) ReportType(key, "true or false");
  return value;
}

bool TableReader::Bool(std::string_view key, bool fallback) { return Bool(key).value_or(fallback); }

std::optional<int64_t> TableReader::Integer(std::string_view key, int64_t min, int64_t max) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  std::optional<int64_t> value = node->value_exact<int64_t>();
  if (!value) {
    ReportType(key, "a whole number");
    return std::nullopt;
  }
  if (*value < min || *value > max) {
    Report(key,
           Quoted(key) + " in " + label_ + " is " + std::to_string(*value) + ", outside " + std::to_string(min) +
               " to " + std::to_string(max),
           "use a number from " + std::to_string(min) + " to " + std::to_string(max));
    return std::nullopt;
  }
  return value;
}

std::optional<double> TableReader::Float(std::string_view key, double min, double max) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  std::optional<double> value = node->is_integer() ? std::optional<double>(static_cast<double>(*node->value<int64_t>()))
                                                   : node->value_exact<double>();
  if (!value) {
    ReportType(key, "a number");
    return std::nullopt;
  }
  if (!(*value >= min && *value <= max)) {
    Report(key, Quoted(key) + " in " + label_ + " is outside " + std::to_string(min) + " to " + std::to_string(max),
           "use a number in that range");
    return std::nullopt;
  }
  return value;
}

std::optional<uint32_t> TableReader::Word(std::string_view key, WordTable words) {
  std::optional<std::string> text = String(key);
  if (!text) return std::nullopt;
  std::optional<uint32_t> value = ValueOfWord(words, *text);
  if (!value) {
    std::vector<std::string_view> choices = WordsOf(words);
    Report(key, "bad value " + Quoted(*text) + " for " + Quoted(key) + " in " + label_, ChoiceHint(*text, choices));
  }
  return value;
}

std::optional<uint32_t> TableReader::WordMask(std::string_view key, WordTable words) {
  std::optional<std::vector<std::string>> list = StringList(key);
  if (!list) return std::nullopt;
  uint32_t mask = 0;
  std::vector<std::string_view> choices = WordsOf(words);
  for (const std::string& text : *list) {
    std::optional<uint32_t> value = ValueOfWord(words, text);
    if (!value) {
      Report(key, "bad value " + Quoted(text) + " in " + Quoted(key) + " of " + label_, ChoiceHint(text, choices));
      return std::nullopt;
    }
    mask |= *value;
  }
  return mask;
}

std::optional<std::vector<std::string>> TableReader::StringList(std::string_view key) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  if (node->is_string()) return std::vector<std::string>{*node->value<std::string>()};
  const toml::array* array = node->as_array();
  std::vector<std::string> list;
  bool texts =
      array != nullptr && std::all_of(array->begin(), array->end(), [](const toml::node& n) { return n.is_string(); });
  if (!texts) {
    ReportType(key, "a text or an array of texts");
    return std::nullopt;
  }
  for (const toml::node& item : *array) list.push_back(*item.value<std::string>());
  return list;
}

std::optional<uint32_t> TableReader::Color(std::string_view key) {
  std::optional<std::string> text = String(key);
  if (!text) return std::nullopt;
  std::optional<uint32_t> color = ParseColor(*text);
  if (!color) {
    Report(key, "bad colour " + Quoted(*text) + " for " + Quoted(key) + " in " + label_,
           "write a colour as \"#RRGGBB\", for example \"#1E3A5F\"");
  }
  return color;
}

std::string TableReader::Version(std::string_view key) {
  std::string text = String(key, "");
  return CheckVersion(key, text) ? text : std::string();
}

bool TableReader::CheckVersion(std::string_view key, std::string_view text) {
  if (text.empty() || format::IsOrderableVersion(text)) return true;
  Report(key, Quoted(key) + " in " + label_ + " is " + Quoted(text) + ", a version the installer cannot order",
         "write one to four numbers from 0 to 65535 separated by dots, optionally followed by one letter, such as "
         "\"2.1.0\" or \"2.1b\"");
  return false;
}

const toml::table* TableReader::Table(std::string_view key) {
  const toml::node* node = Find(key);
  if (node == nullptr) return nullptr;
  if (!node->is_table()) ReportType(key, "a table");
  return node->as_table();
}

const toml::array* TableReader::TableArray(std::string_view key) {
  const toml::node* node = Find(key);
  if (node == nullptr) return nullptr;
  if (!node->is_array_of_tables()) {
    ReportType(key, "an array of tables, written [[" + std::string(key) + "]]");
    return nullptr;
  }
  return node->as_array();
}

// The listed keys, and where the shape leaves further keys to the reader
// (the languages of [messages], message numbers), those it asked for.
std::vector<std::string_view> TableReader::KnownKeys() const {
  std::vector<std::string_view> known;
  if (shape_ == nullptr) return known;
  for (const KeyShape& key : shape_->keys) known.push_back(key.name);
  if (shape_->otherKeys) known.insert(known.end(), asked_.begin(), asked_.end());
  return known;
}

void TableReader::Finish() {
  if (table_ == nullptr) return;
  std::vector<std::string_view> known = KnownKeys();
  for (const auto& [key, node] : *table_) {
    if (std::find(known.begin(), known.end(), key.str()) != known.end()) continue;
    std::string closest = ClosestWord(key.str(), known);
    std::string hint = closest.empty() ? "see docs/project-file.md for the keys of " + label_
                                       : "did you mean " + Quoted(closest) + "?";
    diagnostics_.Report(static_cast<int>(key.source().begin.line), "unknown key " + Quoted(key.str()) + " in " + label_,
                        hint);
  }
}

}  // namespace palisade::builder
