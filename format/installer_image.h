#pragma once
// A finished installer: a copy of the engine with the payload section added.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "format/payload_header.h"

namespace palisade::format {

// Joins the header, the script block and the archive into the payload
// section of a copy of the engine, then fills in what depends on the final
// file: the script and archive fields of the header, the stub checksum and
// the executable's checksum. The header's other fields (flags, script
// checksum, entry sizes, key) are the caller's.
bool WriteInstallerImage(std::span<const uint8_t> engine, PayloadHeader header, std::span<const uint8_t> scriptBlock,
                         std::span<const uint8_t> archive, std::vector<uint8_t>& out, std::string& problem);

}  // namespace palisade::format
