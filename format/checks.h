#pragma once
// The range and marker checks of the payload header and the setup script.
// The engine raises the error when a stored value fails its check; the
// builder applies the same checks so that it never writes such a value.
#include <cstdint>

#include "format/errors.h"

namespace palisade::format {

struct RangeRule {
  int64_t min;
  int64_t max;
  Error error;
};

// The rule's error when `value` lies outside min..max, else Error::kNone.
constexpr Error Check(const RangeRule& rule, int64_t value) {
  return value < rule.min || value > rule.max ? rule.error : Error::kNone;
}

// Payload header.
inline constexpr RangeRule kScriptBlockSizeRule{1, 0x31FFFFF, Error::kScriptBlockSize};
inline constexpr RangeRule kEntrySizeRule{0, 0x40000000, Error::kEntrySize};

// Setup script fields.
inline constexpr RangeRule kMinimumStatusTimeRule{0, 9999, Error::kStatusTimeTooLong};
inline constexpr RangeRule kBitmapSizeRule{0, 100, Error::kBitmapSize};
inline constexpr RangeRule kLicenseCountRule{0, 20, Error::kLicenseCount};
inline constexpr RangeRule kReadmeCountRule{0, 20, Error::kReadmeCount};
inline constexpr RangeRule kAssociationCountRule{0, 1000, Error::kAssociationCount};
inline constexpr RangeRule kShortcutCountRule{0, 1000, Error::kShortcutCount};
inline constexpr RangeRule kRegistrationValueCountRule{0, 1000, Error::kRegistrationValueCount};
inline constexpr RangeRule kLanguageCountRule{1, 200, Error::kLanguageCount};
inline constexpr RangeRule kMessageCountRule{1, 10000, Error::kMessageCount};
// Tested against the rules already in the list before one more is added,
// so the list holds at most 1,001 rules.
inline constexpr RangeRule kConditionalDeleteListRule{0, 1000, Error::kConditionalDeleteCount};
// Tested against the list's length after each rule is added.
inline constexpr RangeRule kCloseRuleListRule{0, 1000, Error::kCloseRuleCount};

// The first text of the record that ends each sentinel list; nothing else
// of that record is stored.
inline constexpr char kConditionalDeleteListEnd[] = "~~THE END~~";
inline constexpr char kCloseRuleListEnd[] = "~~THE~END~~";

// The script's last field; any other value is Error::kEndMarker.
inline constexpr uint32_t kScriptEndMarker = 0xD3E82B97;

}  // namespace palisade::format
