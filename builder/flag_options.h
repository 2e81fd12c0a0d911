#pragma once
// Every named option bit and the project-file option that controls it. The
// parser reads the boolean options from this table, `inspect` prints each
// option's value from the stored bits, and the tests check each mapping.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace palisade::builder {

enum class FlagWord { kLow, kHigh, kSecond };  // `ProductFlags` low and high halves, `ProductFlags2`

struct FlagWords {
  uint32_t low = 0;
  uint32_t high = 0;
  uint32_t second = 0;

  uint32_t& operator[](FlagWord word);
  uint32_t operator[](FlagWord word) const;
};

struct FlagOption {
  std::string_view table;  // dotted: "batches.pre-install"
  std::string_view key;
  FlagWord word;
  uint32_t bit;
  bool inverted;      // the option is true when the bit is clear
  bool defaultValue;  // the option's value when the project leaves it out
  // Set by an option that is not a plain boolean (a table's presence, a text
  // or a boolean); the parser handles it on its own.
  bool derived = false;
};

std::span<const FlagOption> FlagOptions();

// The option at `table` and `key`; it must be in the table.
const FlagOption& FindOption(std::string_view table, std::string_view key);

// "table.key", as the documentation and `inspect` name the option.
std::string OptionPath(const FlagOption& option);

void SetOption(FlagWords& words, const FlagOption& option, bool value);
bool OptionValue(const FlagWords& words, const FlagOption& option);

}  // namespace palisade::builder
