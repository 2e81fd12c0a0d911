#include "format/installer_image.h"

#include <utility>

#include "format/byte_order.h"
#include "format/checks.h"
#include "format/checksum.h"

namespace palisade::format {

InstallerSeal::InstallerSeal(PayloadLayout layout)
    : layout_(std::move(layout)), checksum_(layout_.section.peHeader) {
  checksum_.Add(layout_.stub);
}

bool InstallerSeal::SealHeader(PayloadHeader header, std::string& problem) {
  header.stubChecksum = StubChecksum(layout_.stub, layout_.section);
  header_.clear();
  if (!WritePayloadHeader(header, header_)) {
    problem = "the payload header cannot be stored (a NUL in the engine version or too many files)";
    return false;
  }
  checksum_.Add(header_);
  return true;
}

void InstallerSeal::Finish() {
  uint64_t sectionEnd = static_cast<uint64_t>(layout_.section.rawOffset) + layout_.section.rawSize;
  padding_ = sectionEnd > checksum_.length() ? sectionEnd - checksum_.length() : 0;
  checksum_.AddZeros(padding_);
  StoreLe32(layout_.stub.data() + PeChecksumOffset(layout_.section.peHeader), checksum_.Value());
}

namespace {

bool CheckSizes(const PayloadHeader& header, std::span<const uint8_t> scriptBlock, std::span<const uint8_t> archive,
                std::string& problem) {
  if (Check(kScriptBlockSizeRule, static_cast<int64_t>(scriptBlock.size())) != Error::kNone) {
    problem = "the compressed setup script is larger than an installer can carry";
    return false;
  }
  if (archive.size() > static_cast<size_t>(INT32_MAX) - ArchiveStart(header) - scriptBlock.size()) {
    problem = "the archive is larger than an installer can carry (2 GiB)";
    return false;
  }
  return true;
}

}  // namespace

bool WriteInstallerImage(std::span<const uint8_t> engine, PayloadHeader header, std::span<const uint8_t> scriptBlock,
                         std::span<const uint8_t> archive, std::vector<uint8_t>& out, std::string& problem) {
  if (!CheckSizes(header, scriptBlock, archive, problem)) return false;
  header.scriptBlockSize = static_cast<int32_t>(scriptBlock.size());
  header.archiveLength = static_cast<int32_t>(archive.size());
  header.archiveChecksum = Checksum(archive);
  header.archiveEnd = static_cast<int32_t>(ArchiveStart(header) + archive.size());
  PayloadLayout layout;
  if (!LayOutPayloadSection(engine, static_cast<uint64_t>(header.archiveEnd), layout, problem)) return false;
  InstallerSeal seal(std::move(layout));
  if (!seal.SealHeader(header, problem)) return false;
  seal.Add(scriptBlock);
  seal.Add(archive);
  seal.Finish();
  out = seal.stub();
  out.insert(out.end(), seal.header().begin(), seal.header().end());
  out.insert(out.end(), scriptBlock.begin(), scriptBlock.end());
  out.insert(out.end(), archive.begin(), archive.end());
  out.resize(out.size() + seal.padding(), 0);
  return true;
}

}  // namespace palisade::format
