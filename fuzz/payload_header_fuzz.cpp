// The payload section as the engine finds it: the header, then what the
// header says about the script block and the archive.
#include "format/payload_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade::format;
  std::span<const uint8_t> section(data, size);
  PayloadHeader header;
  if (!ReadPayloadHeader(section, header).ok()) return 0;
  HeaderCipher(header);
  std::span<const uint8_t> archive;
  if (ArchiveInSection(section, header, archive) == Error::kNone) VerifyArchive(archive, header);
  return 0;
}
