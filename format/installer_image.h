#pragma once
// A finished installer: a copy of the engine with the payload section added.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "format/payload_header.h"
#include "format/pe_image.h"

namespace palisade::format {

// The two checksums over a finished installer, worked out before any of it
// is written so that it can be written front to back: the stub checksum
// covers the stub alone and goes into the payload header at the section's
// start; the PE checksum covers the whole file and goes into the stub. The
// file is then the stub, the header, the rest of the payload and padding()
// zeros.
class InstallerSeal {
 public:
  explicit InstallerSeal(PayloadLayout layout);

  // Fills in the header's stub checksum; false with a reason when the
  // header cannot be stored. Comes before Add().
  bool SealHeader(PayloadHeader header, std::string& problem);
  // The payload after its header, in order and in pieces of any size.
  void Add(std::span<const uint8_t> bytes) { checksum_.Add(bytes); }
  // Writes the PE checksum into the stub, with the section's padding
  // counted in.
  void Finish();

  const std::vector<uint8_t>& stub() const { return layout_.stub; }
  const std::vector<uint8_t>& header() const { return header_; }
  uint64_t padding() const { return padding_; }

 private:
  PayloadLayout layout_;
  PeChecksumAccumulator checksum_;
  std::vector<uint8_t> header_;
  uint64_t padding_ = 0;
};

// Joins the header, the script block and the archive into the payload
// section of a copy of the engine, then fills in what depends on the final
// file: the script and archive fields of the header, the stub checksum and
// the executable's checksum. The header's other fields (flags, script
// checksum, entry sizes, key) are the caller's.
bool WriteInstallerImage(std::span<const uint8_t> engine, PayloadHeader header, std::span<const uint8_t> scriptBlock,
                         std::span<const uint8_t> archive, std::vector<uint8_t>& out, std::string& problem);

}  // namespace palisade::format
