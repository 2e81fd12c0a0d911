#include "sweep/installer_damage.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "builder/text_encoding.h"
#include "format/byte_order.h"
#include "format/checksum.h"
#include "format/file_record.h"
#include "format/installer_image.h"
#include "format/product_flags.h"
#include "format/script_block.h"
#include "format/setup_script.h"

namespace palisade::sweep {
namespace {

constexpr std::size_t kChunkHeadSize = 8;
constexpr uint8_t kMasks[] = {0x01, 0x80, 0xFF};

// What the engine has read and checked before the first file record.
struct OpenedPayload {
  format::SectionLocation place;
  format::PayloadHeader header;
  std::optional<format::PayloadCipher> cipher;
  format::SetupScript script;
  std::span<const uint8_t> archive;
};

std::span<const uint8_t> SectionBytes(std::span<const uint8_t> file, const format::SectionLocation& place) {
  std::size_t offset = std::min<std::size_t>(place.rawOffset, file.size());
  return file.subspan(offset, std::min<std::size_t>(place.rawSize, file.size() - offset));
}

format::Error DecodeScript(std::span<const uint8_t> section, OpenedPayload& payload) {
  const format::PayloadHeader& header = payload.header;
  std::span<const uint8_t> block =
      section.subspan(format::HeaderSize(header), static_cast<std::size_t>(header.scriptBlockSize));
  std::vector<uint8_t> script;
  if (format::Error error = format::DecodeScriptBlock(block, payload.cipher ? &*payload.cipher : nullptr,
                                                      header.scriptChecksum, script);
      error != format::Error::kNone) {
    return error;
  }
  if (format::Checksum(script) != header.scriptChecksum) return format::Error::kScriptChecksum;
  return format::ReadSetupScript(
      script, [](std::string_view ansi) { return builder::Cp1252ToUtf8(ansi); }, payload.script);
}

// The engine reads the stub from its file, which is shorter than the
// section's raw-data offset only when the file is cut.
format::Error CheckStub(std::span<const uint8_t> installer, const OpenedPayload& payload) {
  if (payload.place.rawOffset > installer.size()) return format::Error::kStubUnreadable;
  if ((payload.script.productFlagsHigh & format::product_flags_high::kVerifyStub) == 0) return format::Error::kNone;
  bool matches = format::StubChecksum(installer.first(payload.place.rawOffset), payload.place) ==
                 payload.header.stubChecksum;
  return matches ? format::Error::kNone : format::Error::kStubChecksum;
}

// From the file, only the header's archive length is taken, so that bytes
// appended after it (a signature) are not archive data.
format::Error LocateArchive(std::span<const uint8_t> installer, std::span<const uint8_t> section,
                            OpenedPayload& payload) {
  if (payload.script.archiveFromFile != 0) {
    std::size_t offset = std::min(payload.place.rawOffset + format::ArchiveStart(payload.header), installer.size());
    std::size_t length = std::min(static_cast<std::size_t>(payload.header.archiveLength), installer.size() - offset);
    payload.archive = installer.subspan(offset, length);
  } else if (format::Error error = format::ArchiveInSection(section, payload.header, payload.archive);
             error != format::Error::kNone) {
    return error;
  }
  return format::VerifyArchive(payload.archive, payload.header);
}

ReadOutcome Open(std::span<const uint8_t> installer, OpenedPayload& payload) {
  ReadOutcome outcome;
  format::SectionSearch search = format::FindPayloadSection(installer);
  outcome.error = search.error;
  outcome.noPayload = search.error == format::Error::kNone && !search.found;
  if (outcome.error != format::Error::kNone || outcome.noPayload) return outcome;
  payload.place = search.section;
  std::span<const uint8_t> section = SectionBytes(installer, payload.place);
  format::HeaderReadResult header = format::ReadPayloadHeader(section, payload.header);
  outcome.versionMismatch = header.versionMismatch;
  outcome.error = header.error;
  if (!header.ok()) return outcome;
  payload.cipher = format::HeaderCipher(payload.header);
  outcome.error = DecodeScript(section, payload);
  if (outcome.error == format::Error::kNone) outcome.error = CheckStub(installer, payload);
  if (outcome.error == format::Error::kNone) outcome.error = LocateArchive(installer, section, payload);
  return outcome;
}

// Reads the records of an archive that the header's checks have passed.
void ReadFiles(std::span<const uint8_t> archive, const format::ChunkCoding& coding,
               std::span<const int32_t> entrySizes, ReadOutcome& outcome) {
  auto keep = [&outcome](std::size_t, const format::FileRecord& record) {
    outcome.files.push_back({record.name, Bytes(record.data.begin(), record.data.end())});
  };
  outcome.error = format::ReadFileTable(archive, coding, entrySizes, keep);
}

format::ChunkCoding CodingOf(const format::SetupScript& script, const std::optional<format::PayloadCipher>& cipher) {
  return {(script.productFlagsLow & format::product_flags_low::kArchiveCompressed) != 0, cipher ? &*cipher : nullptr};
}

bool MapChunks(std::span<const uint8_t> installer, std::span<const uint8_t> archive, InstallerLayout& layout,
               std::string& problem) {
  std::size_t archiveOffset = static_cast<std::size_t>(archive.data() - installer.data());
  for (std::size_t position = 0; position < archive.size();) {
    ChunkPlace chunk;
    chunk.head = archiveOffset + position;
    chunk.storedSize = format::LoadLe32(archive.data() + position);
    chunk.plainOffset = layout.streamSize;
    if (!format::DecodeChunk(archive.subspan(position + kChunkHeadSize, chunk.storedSize), layout.coding,
                             chunk.plain)) {
      problem = "a chunk of the sound installer does not decode";
      return false;
    }
    layout.streamSize += chunk.plain.size();
    position += kChunkHeadSize + chunk.storedSize;
    layout.chunks.push_back(std::move(chunk));
  }
  return true;
}

const ChunkPlace* ChunkAtFileOffset(const InstallerLayout& layout, std::size_t offset) {
  for (const ChunkPlace& chunk : layout.chunks) {
    if (offset >= chunk.head && offset < chunk.head + kChunkHeadSize + chunk.storedSize) return &chunk;
  }
  return nullptr;
}

std::size_t ArchiveOffset(const InstallerLayout& layout) {
  return layout.section.rawOffset + format::ArchiveStart(layout.header);
}

void StoreChunkChecksum(Bytes& installer, const ChunkPlace& chunk) {
  std::span<const uint8_t> stored(installer.data() + chunk.head + kChunkHeadSize, chunk.storedSize);
  format::StoreLe32(installer.data() + chunk.head + 4, format::Checksum(stored));
}

// The header is written again whole: only its archive checksum changes, so
// it keeps its size.
void StoreArchiveChecksum(Bytes& installer, const InstallerLayout& layout) {
  format::PayloadHeader header = layout.header;
  std::span<const uint8_t> archive(installer.data() + ArchiveOffset(layout),
                                   static_cast<std::size_t>(header.archiveLength));
  header.archiveChecksum = format::Checksum(archive);
  Bytes bytes;
  format::WritePayloadHeader(header, bytes);
  std::copy(bytes.begin(), bytes.end(), installer.begin() + static_cast<std::ptrdiff_t>(layout.section.rawOffset));
}

// The archive with one byte of the record stream changed: the chunk that
// holds it encoded again, the others as they were.
Bytes ArchiveWithStreamDamage(std::span<const uint8_t> installer, const InstallerLayout& layout,
                              const DamageCase& damage) {
  Bytes archive;
  for (const ChunkPlace& chunk : layout.chunks) {
    std::span<const uint8_t> stored = installer.subspan(chunk.head + kChunkHeadSize, chunk.storedSize);
    if (damage.offset < chunk.plainOffset || damage.offset >= chunk.plainOffset + chunk.plain.size()) {
      format::AppendChunk(stored, archive);
      continue;
    }
    Bytes plain = chunk.plain;
    plain[damage.offset - chunk.plainOffset] ^= damage.mask;
    Bytes encoded;
    format::EncodeChunk(plain, layout.coding, format::XzEncodeOptions{.preset = 0}, encoded);
    format::AppendChunk(encoded, archive);
  }
  return archive;
}

// The installer with its archive replaced: the payload section cut out and
// written again around the new archive, as the builder writes it, with the
// archive's length and checksum, the stub checksum and the executable's
// checksum filled in anew.
Bytes WithArchive(std::span<const uint8_t> installer, const InstallerLayout& layout, std::span<const uint8_t> archive) {
  const format::SectionLocation& place = layout.section;
  Bytes engine = format::StripPayloadSection(installer.first(place.rawOffset),
                                             installer.subspan(place.rawOffset + place.rawSize), place);
  std::span<const uint8_t> scriptBlock = installer.subspan(layout.section.rawOffset + layout.headerSize,
                                                           static_cast<std::size_t>(layout.header.scriptBlockSize));
  Bytes rebuilt;
  std::string problem;
  format::WriteInstallerImage(engine, layout.header, scriptBlock, archive, rebuilt, problem);
  return rebuilt;
}

void AddEveryByte(Region region, std::size_t begin, std::size_t end, std::size_t step, Reseal reseal,
                  std::vector<DamageCase>& cases) {
  for (std::size_t offset = begin; offset < end; offset += step) {
    for (uint8_t mask : kMasks) cases.push_back({region, reseal, offset, mask});
  }
}

// A sample: one mask per byte, taken in turn, so that every mask meets
// every part of the region.
void AddSample(Region region, std::size_t begin, std::size_t end, std::size_t step, Reseal reseal,
               std::vector<DamageCase>& cases) {
  std::size_t turn = 0;
  for (std::size_t offset = begin; offset < end; offset += step) {
    cases.push_back({region, reseal, offset, kMasks[turn++ % std::size(kMasks)]});
  }
}

}  // namespace

ReadOutcome ReadAsTheEngineDoes(std::span<const uint8_t> installer) {
  OpenedPayload payload;
  ReadOutcome outcome = Open(installer, payload);
  if (outcome.error == format::Error::kNone && !outcome.versionMismatch && !outcome.noPayload) {
    ReadFiles(payload.archive, CodingOf(payload.script, payload.cipher), payload.header.entrySizes, outcome);
  }
  return outcome;
}

const char* RegionName(Region region) {
  switch (region) {
    case Region::kHeader: return "payload header";
    case Region::kScriptBlock: return "script block";
    case Region::kChunkHead: return "chunk heads";
    case Region::kChunkBytes: return "chunk bytes";
    case Region::kRecordStream: return "record stream";
  }
  return "?";
}

const char* ResealName(Reseal reseal) {
  switch (reseal) {
    case Reseal::kNone: return "as damaged";
    case Reseal::kArchiveChecksum: return "archive checksum resealed";
    case Reseal::kChunkChecksum: return "chunk and archive checksums resealed";
  }
  return "?";
}

std::string Describe(const DamageCase& damage) {
  char text[160];
  std::snprintf(text, sizeof text, "%s, %s, offset %zu, mask 0x%02X", RegionName(damage.region),
                ResealName(damage.reseal), damage.offset, damage.mask);
  return text;
}

bool MapInstaller(std::span<const uint8_t> installer, InstallerLayout& layout, std::string& problem) {
  OpenedPayload payload;
  ReadOutcome outcome = Open(installer, payload);
  if (outcome.error != format::Error::kNone || outcome.versionMismatch || outcome.noPayload) {
    problem = "the installer does not read clean (error " + std::to_string(format::ErrorCode(outcome.error)) + ")";
    return false;
  }
  layout.section = payload.place;
  layout.header = payload.header;
  layout.headerSize = format::HeaderSize(payload.header);
  layout.cipher = std::move(payload.cipher);
  layout.coding = CodingOf(payload.script, layout.cipher);
  return MapChunks(installer, payload.archive, layout, problem);
}

std::vector<DamageCase> DamageCases(const InstallerLayout& layout, const Density& density) {
  std::vector<DamageCase> cases;
  std::size_t scriptBlock = layout.section.rawOffset + layout.headerSize;
  AddEveryByte(Region::kHeader, layout.section.rawOffset, scriptBlock, density.header, Reseal::kNone, cases);
  AddEveryByte(Region::kScriptBlock, scriptBlock, scriptBlock + static_cast<std::size_t>(layout.header.scriptBlockSize),
               density.scriptBlock, Reseal::kNone, cases);
  for (Reseal reseal : {Reseal::kNone, Reseal::kArchiveChecksum}) {
    for (std::size_t i = 0; i < layout.chunks.size(); i += density.chunkHeads) {
      std::size_t head = layout.chunks[i].head;
      AddEveryByte(Region::kChunkHead, head, head + kChunkHeadSize, 1, reseal, cases);
    }
  }
  for (Reseal reseal : {Reseal::kNone, Reseal::kArchiveChecksum, Reseal::kChunkChecksum}) {
    for (const ChunkPlace& chunk : layout.chunks) {
      std::size_t stored = chunk.head + kChunkHeadSize;
      AddSample(Region::kChunkBytes, stored, stored + chunk.storedSize, density.chunkBytes, reseal, cases);
    }
  }
  AddSample(Region::kRecordStream, 0, layout.streamSize, density.recordStream, Reseal::kChunkChecksum, cases);
  return cases;
}

Bytes DamagedInstaller(std::span<const uint8_t> installer, const InstallerLayout& layout, const DamageCase& damage) {
  if (damage.region == Region::kRecordStream) {
    return WithArchive(installer, layout, ArchiveWithStreamDamage(installer, layout, damage));
  }
  Bytes damaged(installer.begin(), installer.end());
  damaged[damage.offset] ^= damage.mask;
  if (damage.reseal == Reseal::kChunkChecksum) {
    if (const ChunkPlace* chunk = ChunkAtFileOffset(layout, damage.offset)) StoreChunkChecksum(damaged, *chunk);
  }
  if (damage.reseal != Reseal::kNone) StoreArchiveChecksum(damaged, layout);
  return damaged;
}

ReadOutcome ReadDamaged(std::span<const uint8_t> installer, const InstallerLayout& layout, const DamageCase& damage) {
  return ReadAsTheEngineDoes(DamagedInstaller(installer, layout, damage));
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kCorrupt: return "corrupt-installer code";
    case Verdict::kVersionRefused: return "version refused";
    case Verdict::kClean: return "clean, files verified";
    case Verdict::kUnverifiedFile: return "FILE FROM UNVERIFIED BYTES";
    case Verdict::kNoPayload: return "no payload found";
  }
  return "?";
}

Verdict Judge(const ReadOutcome& outcome, const std::vector<FileRead>& sound) {
  for (std::size_t i = 0; i < outcome.files.size(); ++i) {
    if (i >= sound.size() || outcome.files[i].data != sound[i].data) return Verdict::kUnverifiedFile;
  }
  if (outcome.noPayload) return Verdict::kNoPayload;
  if (outcome.versionMismatch) return Verdict::kVersionRefused;
  if (outcome.error != format::Error::kNone) return Verdict::kCorrupt;
  return outcome.files.size() == sound.size() ? Verdict::kClean : Verdict::kUnverifiedFile;
}

}  // namespace palisade::sweep
