// One file record with the entry size the header's table gives it. A record
// that reads must write back to the bytes it was read from.
#include <cstdlib>

#include "format/file_record.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  std::span<const uint8_t> input(data, size);
  std::span<const uint8_t> bytes = fuzz::After(input, 4);
  format::FileRecord record;
  if (format::ReadFileRecord(bytes, static_cast<int32_t>(fuzz::LittleEndian32(input)), record) != format::Error::kNone) {
    return 0;
  }
  std::vector<uint8_t> written;
  if (!format::WriteFileRecord(record, written)) std::abort();
  format::FileRecord again;
  if (format::ReadFileRecord(written, static_cast<int32_t>(record.data.size()), again) != format::Error::kNone ||
      !(again == record)) {
    std::abort();
  }
  return 0;
}
