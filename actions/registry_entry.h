#pragma once
// The lines of the [Registry2] text and the bytes of their values: text
// only, so that the uninstaller and the tests read them as the installation
// does, and damaged lines can be tried on any system.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/ts_text.h"

namespace palisade {

// The fifth field of a value line: what the installation and the
// uninstaller do with the value.
namespace registry_action {
inline constexpr uint32_t kSetAndKeep = 1;
inline constexpr uint32_t kDeleteAtUninstall = 2;  // nothing at installation
inline constexpr uint32_t kSet = 3;
inline constexpr uint32_t kDelete = 4;
inline constexpr uint32_t kDeleteNowAndAtUninstall = 5;
inline constexpr uint32_t kSetIfMissing = 6;  // a value the user has is left alone
}  // namespace registry_action

// The third field of a value line: how its data is stored.
namespace registry_type {
inline constexpr uint32_t kText = 1;
inline constexpr uint32_t kExpandableText = 2;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kNumber = 4;
inline constexpr uint32_t kLongNumber = 11;  // 64 bits
}  // namespace registry_type

// One line of the [Registry2] text: comma-separated fields, a key path
// alone or a key path, value name, type, data and action.
struct RegistryEntry {
  enum class Kind { kKey, kValue, kIllegal };
  Kind kind = Kind::kIllegal;
  ts::WText keyPath;
  ts::WText valueName;
  uint32_t type = 0;  // one of registry_type, or any other number as given
  ts::WText data;
  uint32_t action = 0;
};

RegistryEntry ParseRegistryEntry(std::wstring_view line);

// The value's bytes as they are stored for its type: a text with its
// closing NUL, hexadecimal pairs (blanks between them ignored) as bytes, a
// decimal number in 4 or 8 bytes, nothing for any other type. False for
// binary data that is not whole pairs of hexadecimal digits.
bool RegistryValueData(uint32_t type, const ts::WText& data, std::vector<uint8_t>& bytes);

// Whether the uninstaller deletes the value of a line with this action.
bool RemovedAtUninstall(uint32_t action);

}  // namespace palisade
