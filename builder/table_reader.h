#pragma once
// Typed access to one table of a project file. Finish() reports the keys
// that the table's shape does not list as unknown, with the closest known
// key as a hint. Bad values are reported at their line and read as
// absent, so parsing goes on and one run shows every mistake.
#include <toml++/toml.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/diagnostics.h"
#include "builder/project_keys.h"
#include "builder/words.h"

namespace palisade::builder {

class TableReader {
 public:
  // `table` may be null: every key is then absent. `label` names the table
  // in messages: "[product]", "[[files]]". `shape` lists its keys (see
  // ShapeOfTable); null for a table that has no place in a project file.
  TableReader(const toml::table* table, std::string label, int line, Diagnostics& diagnostics,
              const SectionShape* shape);

  std::optional<std::string> String(std::string_view key);
  std::string String(std::string_view key, std::string_view fallback);
  // A text that must be given and not be empty; `example` shows how.
  std::string Required(std::string_view key, std::string_view example);
  std::optional<bool> Bool(std::string_view key);
  bool Bool(std::string_view key, bool fallback);
  std::optional<int64_t> Integer(std::string_view key, int64_t min, int64_t max);
  std::optional<double> Float(std::string_view key, double min, double max);
  std::optional<uint32_t> Word(std::string_view key, WordTable words);
  // An array of words, OR-ed together.
  std::optional<uint32_t> WordMask(std::string_view key, WordTable words);
  // One text, or an array of texts.
  std::optional<std::vector<std::string>> StringList(std::string_view key);
  // "#RRGGBB" as a Windows colour value (0x00BBGGRR).
  std::optional<uint32_t> Color(std::string_view key);
  // A version the installer can order ("2.1.0"); empty when absent, and
  // reported and empty when it cannot be ordered.
  std::string Version(std::string_view key);
  // Reports `text`, the value of `key`, unless it is empty or a version the
  // installer can order.
  bool CheckVersion(std::string_view key, std::string_view text);
  const toml::node* Node(std::string_view key);
  // Null when absent or not a table (reported).
  const toml::table* Table(std::string_view key);
  // Null when absent or not an array of tables (reported).
  const toml::array* TableArray(std::string_view key);

  bool present() const { return table_ != nullptr; }
  int LineOf(std::string_view key) const;
  int line() const { return line_; }
  const std::string& label() const { return label_; }
  Diagnostics& diagnostics() { return diagnostics_; }
  void Report(std::string_view key, std::string message, std::string hint);
  void Warn(std::string_view key, std::string message, std::string hint);
  // A value of the wrong kind: "must be <expected>".
  void ReportType(std::string_view key, std::string_view expected);

  // Reports every key that the shape does not list.
  void Finish();

 private:
  const toml::node* Find(std::string_view key);
  std::vector<std::string_view> KnownKeys() const;

  const toml::table* table_;
  std::string label_;
  int line_;
  Diagnostics& diagnostics_;
  const SectionShape* shape_;
  std::vector<std::string> asked_;  // keys the reader chose, where the shape leaves that to it
};

int LineOf(const toml::node& node);

// "#RRGGBB" as a Windows colour value (0x00BBGGRR); nothing for other text.
std::optional<uint32_t> ParseColor(std::string_view text);

}  // namespace palisade::builder
