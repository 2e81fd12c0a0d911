#include "actions/registry_entry.h"

#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "core/ts_csv.h"

namespace palisade {
namespace {

uint32_t Decimal(const ts::Text& text) { return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10)); }

void AppendLittleEndian(std::vector<uint8_t>& bytes, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool HexPairs(const ts::WText& data, std::vector<uint8_t>& bytes) {
  ts::WText digits;
  for (wchar_t c : data) {
    if (c == L' ' || c == L'\t') continue;
    if (!std::iswxdigit(c) || c > 0x7F) return false;
    digits += c;
  }
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::wcstoul(digits.substr(i, 2).c_str(), nullptr, 16)));
  }
  return true;
}

}  // namespace

RegistryEntry ParseRegistryEntry(std::wstring_view line) {
  ts::Vector<ts::Text> fields = ts::CsvFields(ts::Utf8FromWide(line));
  RegistryEntry entry;
  if (fields.Count() == 1) {
    entry.kind = RegistryEntry::Kind::kKey;
    entry.keyPath = ts::WideFromUtf8(fields[0]);
  } else if (fields.Count() == 5) {
    entry.kind = RegistryEntry::Kind::kValue;
    entry.keyPath = ts::WideFromUtf8(fields[0]);
    entry.valueName = ts::WideFromUtf8(fields[1]);
    entry.type = Decimal(fields[2]);
    entry.data = ts::WideFromUtf8(fields[3]);
    entry.action = Decimal(fields[4]);
  }
  return entry;
}

bool RegistryValueData(uint32_t type, const ts::WText& data, std::vector<uint8_t>& bytes) {
  bytes.clear();
  switch (type) {
    case registry_type::kText:
    case registry_type::kExpandableText:
      for (wchar_t c : data) AppendLittleEndian(bytes, c, 2);
      AppendLittleEndian(bytes, 0, 2);
      return true;
    case registry_type::kBinary: return HexPairs(data, bytes);
    case registry_type::kNumber:
      AppendLittleEndian(bytes, static_cast<uint64_t>(std::wcstoll(data.c_str(), nullptr, 10)), 4);
      return true;
    case registry_type::kLongNumber:
      AppendLittleEndian(bytes, static_cast<uint64_t>(std::wcstoll(data.c_str(), nullptr, 10)), 8);
      return true;
    default: return true;
  }
}

bool RemovedAtUninstall(uint32_t action) {
  return action == registry_action::kSet || action == registry_action::kDeleteAtUninstall ||
         action == registry_action::kDeleteNowAndAtUninstall;
}

}  // namespace palisade
