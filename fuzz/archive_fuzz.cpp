// The archive's chunk framing and the record stream across chunks, then
// the end-of-archive checks.
#include "format/archive.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  std::span<const uint8_t> input(data, size);
  fuzz::Coding coding = fuzz::CodingOf(input);
  format::ArchiveReader reader(fuzz::After(input, fuzz::kCodingPrefixSize), coding.Chunks());
  std::vector<uint8_t> record;
  // Each record takes at least its four length bytes, so the input bounds
  // the count of records that can be read.
  while (reader.NextRecord(record) == format::Error::kNone && !record.empty()) {
  }
  reader.Finish();
  return 0;
}
