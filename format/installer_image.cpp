#include "format/installer_image.h"

#include <algorithm>

#include "format/checks.h"
#include "format/checksum.h"
#include "format/pe_image.h"

namespace palisade::format {
namespace {

std::vector<uint8_t> PayloadBytes(const PayloadHeader& header, std::span<const uint8_t> scriptBlock,
                                  std::span<const uint8_t> archive) {
  std::vector<uint8_t> payload;
  WritePayloadHeader(header, payload);
  payload.insert(payload.end(), scriptBlock.begin(), scriptBlock.end());
  payload.insert(payload.end(), archive.begin(), archive.end());
  return payload;
}

}  // namespace

bool WriteInstallerImage(std::span<const uint8_t> engine, PayloadHeader header, std::span<const uint8_t> scriptBlock,
                         std::span<const uint8_t> archive, std::vector<uint8_t>& out, std::string& problem) {
  if (Check(kScriptBlockSizeRule, static_cast<int64_t>(scriptBlock.size())) != Error::kNone) {
    problem = "the compressed setup script is larger than an installer can carry";
    return false;
  }
  if (archive.size() > static_cast<size_t>(INT32_MAX) - ArchiveStart(header) - scriptBlock.size()) {
    problem = "the archive is larger than an installer can carry (2 GiB)";
    return false;
  }
  header.scriptBlockSize = static_cast<int32_t>(scriptBlock.size());
  header.archiveLength = static_cast<int32_t>(archive.size());
  header.archiveChecksum = Checksum(archive);
  header.archiveEnd = static_cast<int32_t>(ArchiveStart(header) + archive.size());
  header.stubChecksum = 0;
  if (!AddPayloadSection(engine, PayloadBytes(header, scriptBlock, archive), out, problem)) return false;

  // The stub checksum covers the headers that now name the section, so it is
  // computed on the final file and written into the header in place.
  SectionSearch search = FindPayloadSection(out);
  header.stubChecksum = StubChecksum(out, search.section);
  std::vector<uint8_t> headerBytes;
  WritePayloadHeader(header, headerBytes);
  std::copy(headerBytes.begin(), headerBytes.end(), out.begin() + search.section.rawOffset);
  WritePeChecksum(out, search.section.peHeader);
  return true;
}

}  // namespace palisade::format
