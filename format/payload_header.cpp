#include "format/payload_header.h"

#include <algorithm>
#include <limits>

#include "format/byte_stream.h"
#include "format/checks.h"
#include "format/checksum.h"
#include "format/product_flags.h"

namespace palisade::format {
namespace {

// Magic, then eight 32-bit fields after the version text.
constexpr std::size_t kFixedFieldsSize = 4 + 8 * 4;

Error ReadCounts(ByteReader& reader, PayloadHeader& header, int32_t& entryCount) {
  header.productFlags2 = reader.U32();
  header.scriptBlockSize = reader.I32();
  if (Error error = Check(kScriptBlockSizeRule, header.scriptBlockSize); error != Error::kNone) return error;
  header.scriptChecksum = reader.U32();
  header.stubChecksum = reader.U32();
  header.archiveEnd = reader.I32();
  if (header.archiveEnd < 0) return Error::kArchiveEnd;
  entryCount = reader.I32();
  if (entryCount < 0) return Error::kEntryCount;
  header.archiveLength = reader.I32();
  if (header.archiveLength < 0) return Error::kArchiveLength;
  header.archiveChecksum = reader.U32();
  return Error::kNone;
}

Error ReadEntrySizes(ByteReader& reader, int32_t entryCount, PayloadHeader& header) {
  // Tested before anything is allocated for the table.
  if (static_cast<uint64_t>(entryCount) * 4 > reader.remaining()) return Error::kEntryCount;
  header.entrySizes.resize(static_cast<std::size_t>(entryCount));
  for (int32_t& size : header.entrySizes) {
    size = reader.I32();
    if (Error error = Check(kEntrySizeRule, size); error != Error::kNone) return error;
  }
  return Error::kNone;
}

}  // namespace

bool PayloadHeader::enciphered() const { return (productFlags2 & product_flags2::kEnciphered) != 0; }

std::size_t HeaderSize(const PayloadHeader& header) {
  return kFixedFieldsSize + header.engineVersion.size() + 1 + 4 * header.entrySizes.size() +
         (header.enciphered() ? kPayloadKeySize : 0);
}

std::size_t ArchiveStart(const PayloadHeader& header) {
  return HeaderSize(header) + static_cast<std::size_t>(std::max(header.scriptBlockSize, 0));
}

bool WritePayloadHeader(const PayloadHeader& header, std::vector<uint8_t>& out) {
  if (header.entrySizes.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return false;
  std::vector<uint8_t> bytes;
  ByteWriter writer(bytes);
  writer.U32(kPayloadMagic);
  if (!writer.NarrowText(header.engineVersion)) return false;
  writer.U32(header.productFlags2);
  writer.I32(header.scriptBlockSize);
  writer.U32(header.scriptChecksum);
  writer.U32(header.stubChecksum);
  writer.I32(header.archiveEnd);
  writer.I32(static_cast<int32_t>(header.entrySizes.size()));
  writer.I32(header.archiveLength);
  writer.U32(header.archiveChecksum);
  for (int32_t size : header.entrySizes) writer.I32(size);
  if (header.enciphered()) writer.Bytes(header.cipherKey);
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

HeaderReadResult ReadPayloadHeader(std::span<const uint8_t> section, PayloadHeader& header) {
  header = PayloadHeader{};
  ByteReader reader(section);
  if (reader.U32() != kPayloadMagic) return {Error::kBadMagic};
  header.engineVersion = reader.NarrowText();
  if (header.engineVersion != kEngineVersion) return {Error::kNone, true};
  int32_t entryCount = 0;
  if (Error error = ReadCounts(reader, header, entryCount); error != Error::kNone) return {error};
  if (Error error = ReadEntrySizes(reader, entryCount, header); error != Error::kNone) return {error};
  if (header.enciphered()) reader.Read(header.cipherKey);
  if (reader.remaining() < static_cast<std::size_t>(header.scriptBlockSize)) return {Error::kScriptBlockSize};
  return {};
}

std::optional<PayloadCipher> HeaderCipher(const PayloadHeader& header) {
  if (!header.enciphered()) return std::nullopt;
  return PayloadCipher::Create(header.cipherKey);
}

Error ArchiveInSection(std::span<const uint8_t> section, const PayloadHeader& header,
                       std::span<const uint8_t>& archive) {
  archive = {};
  if (header.archiveEnd < 0 || static_cast<std::size_t>(header.archiveEnd) < ArchiveStart(header)) {
    return Error::kArchiveLengthMismatch;
  }
  std::size_t start = std::min(ArchiveStart(header), section.size());
  std::size_t end = std::clamp(static_cast<std::size_t>(header.archiveEnd), start, section.size());
  archive = section.subspan(start, end - start);
  return Error::kNone;
}

Error VerifyArchive(ArchiveSource& archive, const PayloadHeader& header) {
  if (archive.size() != static_cast<std::size_t>(header.archiveLength)) return Error::kArchiveLengthMismatch;
  if (ChecksumOf(archive, 0, archive.size()) != header.archiveChecksum) return Error::kArchiveChecksum;
  return Error::kNone;
}

Error VerifyArchive(std::span<const uint8_t> archive, const PayloadHeader& header) {
  MemoryArchiveSource source(archive);
  return VerifyArchive(source, header);
}

}  // namespace palisade::format
