#include "format/file_record.h"

#include <algorithm>
#include <tuple>

#include "format/checks.h"
#include "format/checksum.h"

namespace palisade::format {
namespace {

bool HasShortcutIcon(uint32_t flags) {
  return (flags & (record_flags::kDesktopShortcut | record_flags::kStartMenuShortcut)) != 0;
}

bool WriteFields(const FileRecord& record, ByteWriter& writer) {
  if (!writer.NarrowText(record.name)) return false;
  writer.U32(record.kind);
  writer.U32(record.flags);
  writer.U32(record.attributes);
  writer.Time(record.time);
  if (!writer.NarrowText(record.textA)) return false;
  if (HasShortcutIcon(record.flags) && !writer.WideText(record.textB)) return false;
  if (!writer.NarrowText(record.textC) || !writer.WideText(record.destinationOverride) ||
      !writer.NarrowText(record.textD)) {
    return false;
  }
  if (record.kind == destination_kind::kMsiPackage) writer.U32(record.msiUiLevel);
  return true;
}

void ReadFields(ByteReader& reader, FileRecord& record) {
  record.kind = reader.U32();
  record.flags = reader.U32();
  record.attributes = reader.U32();
  record.time = reader.Time();
  record.textA = reader.NarrowText();
  if (HasShortcutIcon(record.flags)) record.textB = reader.WideText();
  record.textC = reader.NarrowText();
  record.destinationOverride = reader.WideText();
  record.textD = reader.NarrowText();
  if (record.kind == destination_kind::kMsiPackage) record.msiUiLevel = reader.U32();
}

Error ReadFieldsOfRecord(ByteReader& reader, int32_t entrySize, FileRecord& record) {
  record = FileRecord{};
  record.name = reader.NarrowText();
  if (record.name.empty()) return Error::kEmptyFileName;
  ReadFields(reader, record);
  if (entrySize < 0) return Error::kNegativeEntrySize;
  if (entrySize > kEntrySizeRule.max) return Error::kEntrySizeTooLarge;
  return Error::kNone;
}

}  // namespace

bool FileRecord::operator==(const FileRecord& other) const {
  auto fields = [](const FileRecord& r) {
    return std::tie(r.name, r.kind, r.flags, r.attributes, r.time, r.textA, r.textB, r.textC, r.destinationOverride,
                    r.textD, r.msiUiLevel);
  };
  return fields(*this) == fields(other) && std::ranges::equal(data, other.data);
}

bool WriteFileRecord(const FileRecord& record, std::vector<uint8_t>& out) {
  if (record.name.empty() || Check(kEntrySizeRule, static_cast<int64_t>(record.data.size())) != Error::kNone) {
    return false;
  }
  std::vector<uint8_t> bytes;
  ByteWriter writer(bytes);
  if (!WriteFields(record, writer)) return false;
  writer.Bytes(record.data);
  writer.U32(Checksum(record.data));
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

Error ReadFileRecord(std::span<const uint8_t> bytes, int32_t entrySize, FileRecord& record) {
  ByteReader reader(bytes);
  if (Error error = ReadFieldsOfRecord(reader, entrySize, record); error != Error::kNone) return error;
  record.data = reader.View(static_cast<std::size_t>(entrySize));
  uint32_t checksum = reader.U32();
  if (reader.overran() || Checksum(record.data) != checksum) return Error::kFileChecksum;
  return Error::kNone;
}

Error ReadRecordFields(std::span<const uint8_t> fields, int32_t entrySize, FileRecord& record) {
  ByteReader reader(fields);
  if (Error error = ReadFieldsOfRecord(reader, entrySize, record); error != Error::kNone) return error;
  return reader.overran() || reader.remaining() != 0 ? Error::kFileChecksum : Error::kNone;
}

Error ReadFileTable(ArchiveSource& archive, const ChunkCoding& coding, std::span<const int32_t> entrySizes,
                    const FileHandler& onFile) {
  ArchiveReader reader(archive, coding);
  std::vector<uint8_t> bytes;
  FileRecord record;
  for (std::size_t i = 0; i < entrySizes.size(); ++i) {
    if (Error error = reader.NextRecord(bytes); error != Error::kNone) return error;
    if (Error error = ReadFileRecord(bytes, entrySizes[i], record); error != Error::kNone) return error;
    onFile(i, record);
  }
  return reader.Finish();
}

Error ReadFileTable(std::span<const uint8_t> archive, const ChunkCoding& coding, std::span<const int32_t> entrySizes,
                    const FileHandler& onFile) {
  MemoryArchiveSource source(archive);
  return ReadFileTable(source, coding, entrySizes, onFile);
}

}  // namespace palisade::format
