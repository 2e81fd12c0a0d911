// One comma-separated line of the uninstall record. Three fields taken from
// the input, written as a line and read back, are the same three fields.
#include <cstdlib>
#include <string_view>

#include "core/ts_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  ts::CsvFields(input);

  // The fields are cut at NUL bytes, which a line never carries.
  const size_t first = input.find('\0');
  const size_t second = first == input.npos ? input.npos : input.find('\0', first + 1);
  const std::string_view a = input.substr(0, first);
  const std::string_view b = first == input.npos ? "" : input.substr(first + 1, second - first - 1);
  const std::string_view c = second == input.npos ? "" : input.substr(second + 1);
  if (c.find('\0') != c.npos) return 0;
  const ts::Vector<ts::Text> read = ts::CsvFields(ts::CsvLine({a, b, c}));
  if (read.Count() != 3 || read[0] != a || read[1] != b || read[2] != c) std::abort();
  return 0;
}
