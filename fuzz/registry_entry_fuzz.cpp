// One line of the [Registry2] text, as the installation and the uninstaller
// read it, and the bytes its value would be stored as.
#include <cstdlib>
#include <string_view>

#include "actions/registry_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  const ts::WText line = ts::WideFromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  const RegistryEntry entry = ParseRegistryEntry(line);
  if (entry.kind != RegistryEntry::Kind::kValue) return 0;
  std::vector<uint8_t> bytes;
  const bool stored = RegistryValueData(entry.type, entry.data, bytes);
  // Binary data is whole pairs of hexadecimal digits, blanks aside.
  if (stored && entry.type == registry_type::kBinary) {
    size_t digits = 0;
    for (wchar_t c : entry.data) digits += c != L' ' && c != L'\t';
    if (digits != 2 * bytes.size()) std::abort();
  }
  RemovedAtUninstall(entry.action);
  return 0;
}
