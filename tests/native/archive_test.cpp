#include "format/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "byte_assembly.h"
#include "format/byte_order.h"
#include "format/checksum.h"
#include "format/file_record.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::Assembly;
using test_bytes::Bytes;
using test_bytes::Hex;
using test_bytes::Noise;

const PayloadCipher& TestCipher() {
  static const PayloadCipher cipher = *PayloadCipher::Create(Hex("0f1e2d3c4b5a6978"));
  return cipher;
}

struct Coding {
  const char* name;
  ChunkCoding coding;
};

// The archive holds the two records "abc" and "de" and nothing after them.
void ExpectAbcThenDe(ArchiveReader& reader) {
  std::vector<uint8_t> record;
  ASSERT_EQ(reader.NextRecord(record), Error::kNone);
  EXPECT_EQ(record, Bytes("abc"));
  ASSERT_EQ(reader.NextRecord(record), Error::kNone);
  EXPECT_EQ(record, Bytes("de"));
  EXPECT_EQ(reader.Finish(), Error::kNone);
}

const Coding kCodings[] = {
    {"plain", {false, nullptr}},
    {"compressed", {true, nullptr}},
    {"enciphered", {false, &TestCipher()}},
    {"compressed and enciphered", {true, &TestCipher()}},
};

// The builder's road: records cut into chunks, each chunk encoded on its own
// and framed in order.
std::vector<uint8_t> BuildArchive(const std::vector<std::vector<uint8_t>>& records, std::size_t chunkSize,
                                  const ChunkCoding& coding) {
  std::vector<uint8_t> archive;
  RecordStreamWriter writer(chunkSize, [&](std::vector<uint8_t> plain) {
    std::vector<uint8_t> stored;
    EXPECT_TRUE(EncodeChunk(plain, coding, {.preset = 0}, stored));
    EXPECT_TRUE(AppendChunk(stored, archive));
  });
  for (const std::vector<uint8_t>& record : records) EXPECT_TRUE(writer.AddRecord(record));
  writer.Finish();
  return archive;
}

// Records of a few bytes, and one of many chunks unless the chunks are large.
std::vector<std::vector<uint8_t>> SampleRecords(std::size_t chunkSize) {
  std::vector<std::vector<uint8_t>> records;
  for (std::size_t size : {0u, 1u, 3u, 4u, 5u, 100u}) records.push_back(Noise(size, 17 + size));
  records.insert(records.begin() + 3, Noise(std::min<std::size_t>(300 * chunkSize, 70000), 16));
  return records;
}

TEST(RecordStream, RoundTripsForEveryCodingAndChunkSize) {
  for (const Coding& c : kCodings) {
    for (std::size_t chunkSize : {1u, 2u, 3u, 5u, 8u, 13u, 64u, 4096u, 1u << 20}) {
      SCOPED_TRACE(::testing::Message() << c.name << ", chunks of " << chunkSize);
      const std::vector<std::vector<uint8_t>> records = SampleRecords(chunkSize);
      std::vector<uint8_t> archive = BuildArchive(records, chunkSize, c.coding);
      ArchiveReader reader(archive, c.coding);
      for (const std::vector<uint8_t>& expected : records) {
        std::vector<uint8_t> record = Bytes("stale");
        ASSERT_EQ(reader.NextRecord(record), Error::kNone);
        EXPECT_EQ(record, expected);
      }
      EXPECT_EQ(reader.Finish(), Error::kNone);
    }
  }
}

TEST(RecordStream, ChunksAreFullExceptTheLast) {
  std::vector<std::size_t> sizes;
  RecordStreamWriter writer(10, [&](std::vector<uint8_t> chunk) { sizes.push_back(chunk.size()); });
  ASSERT_TRUE(writer.AddRecord(Noise(13, 1)));  // 4 + 13 bytes
  ASSERT_TRUE(writer.AddRecord(Noise(2, 2)));   // 4 + 2 bytes
  EXPECT_EQ(sizes, (std::vector<std::size_t>{10, 10})) << "full chunks leave at once";
  writer.Finish();
  EXPECT_EQ(sizes, (std::vector<std::size_t>{10, 10, 3}));
}

TEST(RecordStream, RecordLengthSplitAcrossChunks) {
  std::vector<std::vector<uint8_t>> chunks;
  RecordStreamWriter writer(9, [&](std::vector<uint8_t> chunk) { chunks.push_back(std::move(chunk)); });
  ASSERT_TRUE(writer.AddRecord(Bytes("abc")));
  ASSERT_TRUE(writer.AddRecord(Bytes("de")));
  writer.Finish();
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0], Hex("03000000 616263 0200"));
  EXPECT_EQ(chunks[1], Hex("0000 6465"));

  std::vector<uint8_t> archive;
  for (const std::vector<uint8_t>& chunk : chunks) ASSERT_TRUE(AppendChunk(chunk, archive));
  ArchiveReader reader(archive, {});
  ExpectAbcThenDe(reader);
}

TEST(ArchiveReader, LaterChunksAreDecodedOnlyWhenNeeded) {
  std::vector<uint8_t> archive;
  ASSERT_TRUE(AppendChunk(Hex("01000000 61"), archive));
  ASSERT_TRUE(AppendChunk(Hex("01000000 62"), archive));
  archive.back() ^= 0xFF;  // the second chunk fails its checksum
  ArchiveReader reader(archive, {});
  std::vector<uint8_t> record;
  ASSERT_EQ(reader.NextRecord(record), Error::kNone);
  EXPECT_EQ(record, Bytes("a"));
  EXPECT_EQ(reader.NextRecord(record), Error::kChunkChecksum);
}

// Records are decoded a window at a time and chunks deciphered a piece at a
// time: records far larger than either, in one chunk and across chunks.
TEST(ArchiveReader, RecordsLargerThanTheDecodingWindowComeThroughWhole) {
  const std::vector<std::vector<uint8_t>> records = {Noise(600000, 5), Bytes("tail"), Noise(300001, 6)};
  for (const Coding& c : kCodings) {
    for (std::size_t chunkSize : {std::size_t{1} << 21, std::size_t{199999}}) {
      SCOPED_TRACE(::testing::Message() << c.name << ", chunks of " << chunkSize);
      std::vector<uint8_t> archive = BuildArchive(records, chunkSize, c.coding);
      ArchiveReader reader(archive, c.coding);
      for (const std::vector<uint8_t>& expected : records) {
        std::vector<uint8_t> record;
        ASSERT_EQ(reader.NextRecord(record), Error::kNone);
        EXPECT_TRUE(record == expected);
      }
      EXPECT_EQ(reader.Finish(), Error::kNone);
    }
  }
}

// The records are decoded before the chunk's xz data has ended, so a chunk
// cut short after them is found only at the end.
TEST(ArchiveReader, LastChunkCutAfterItsRecordsIsNotDecoded) {
  Assembly plain;
  plain.U32(3);  // record length
  plain.Raw("abc");
  std::vector<uint8_t> stored;
  ASSERT_TRUE(XzEncode(plain.bytes(), {.preset = 0}, stored));
  stored.resize(stored.size() - 12);  // the stream footer
  std::vector<uint8_t> archive;
  ASSERT_TRUE(AppendChunk(stored, archive));
  ArchiveReader reader(archive, {true, nullptr});
  std::vector<uint8_t> record;
  ASSERT_EQ(reader.NextRecord(record), Error::kNone);
  EXPECT_EQ(record, Bytes("abc"));
  EXPECT_EQ(reader.Finish(), Error::kChunkNotDecoded);
}

// Two records, "abc" and "de", in two chunks stored as they are, the second
// record's length split across the chunks' boundary.
std::vector<uint8_t> HandFramedArchive() {
  Assembly a;
  a.I32(9);             // chunk 1: stored size
  a.U32(0x7C461F0A);    //          checksum of the 9 stored bytes
  a.U32(3);             //          record 1: length
  a.Raw("abc");         //          record 1: bytes
  a.U16(2);             //          record 2: low half of its length
  a.I32(4);             // chunk 2: stored size
  a.U32(0xDF46BCA1);    //          checksum of the 4 stored bytes
  a.U16(0);             //          record 2: high half of its length
  a.Raw("de");          //          record 2: bytes
  return a.bytes();
}

TEST(ArchiveLayout, ReaderTakesRecordsFromHandFramedChunks) {
  const std::vector<uint8_t> archive = HandFramedArchive();
  ArchiveReader reader(archive, {});
  ExpectAbcThenDe(reader);
}

TEST(ArchiveLayout, WriterFramesTheSameChunks) {
  EXPECT_EQ(BuildArchive({Bytes("abc"), Bytes("de")}, 9, {}), HandFramedArchive());
}

// The plain stream of HandFramedArchive in one chunk, compressed and
// enciphered by the format's helpers, framed by hand.
TEST(ArchiveLayout, CodedChunkIsFramedByItsStoredBytes) {
  for (const Coding& c : kCodings) {
    SCOPED_TRACE(c.name);
    Assembly plain;
    plain.U32(3);       // record 1: length
    plain.Raw("abc");   // record 1: bytes
    plain.U32(2);       // record 2: length
    plain.Raw("de");    // record 2: bytes
    std::vector<uint8_t> stored;
    ASSERT_TRUE(EncodeChunk(plain.bytes(), c.coding, {.preset = 0}, stored));
    Assembly archive;
    archive.I32(static_cast<int32_t>(stored.size()));  // stored size
    archive.U32(Checksum(stored));                     // checksum of the stored bytes
    archive.Raw(stored);                               // stored bytes
    EXPECT_EQ(BuildArchive({Bytes("abc"), Bytes("de")}, 1 << 20, c.coding), archive.bytes());

    ArchiveReader reader(archive.bytes(), c.coding);
    ExpectAbcThenDe(reader);
  }
}

// A damaged or forged length must not claim memory: the engine would end
// for want of it, before it could say that the installer is corrupt.
TEST(ArchiveReader, RecordLongerThanTheArchiveEndsItWithoutReservingTheLength) {
  for (uint32_t claimed : {0x10000000u, 0x80000000u, 0xFFFFFFFFu}) {
    for (const Coding& c : kCodings) {
      SCOPED_TRACE(::testing::Message() << std::hex << claimed << ", " << c.name);
      Assembly plain;
      plain.U32(claimed);              // record length
      plain.Raw("the only record bytes");
      std::vector<uint8_t> stored;
      ASSERT_TRUE(EncodeChunk(plain.bytes(), c.coding, {.preset = 0}, stored));
      std::vector<uint8_t> archive;
      ASSERT_TRUE(AppendChunk(stored, archive));
      ArchiveReader reader(archive, c.coding);
      std::vector<uint8_t> record;
      EXPECT_EQ(reader.NextRecord(record), Error::kChunkPastEnd);
      EXPECT_LT(record.capacity(), 4096u);
    }
  }
}

TEST(AppendChunk, FramesSizeChecksumAndBytes) {
  std::vector<uint8_t> archive;
  ASSERT_TRUE(AppendChunk(Bytes("xyz"), archive));
  EXPECT_EQ(archive, Hex("03000000 0bbee279 78797a"));
  EXPECT_FALSE(AppendChunk({}, archive)) << "an empty chunk would read as error 61";
  EXPECT_EQ(archive.size(), 11u);
}

// A file table as the builder writes it, and what the engine is told.
struct FileTable {
  std::vector<std::vector<uint8_t>> files;  // the file bytes
  std::vector<std::vector<uint8_t>> records;
  std::vector<int32_t> entrySizes;
  std::size_t chunkSize = 64;
  ChunkCoding written;
  ChunkCoding read;
  std::function<void(std::vector<uint8_t>&)> patchArchive = [](std::vector<uint8_t>&) {};
};

FileTable SampleTable(const ChunkCoding& coding) {
  FileTable table;
  table.files = {Bytes("hello, world"), Noise(300, 3), {}};
  const char* names[] = {"readme.txt", "bin\\tool.exe", "empty"};
  for (std::size_t i = 0; i < table.files.size(); ++i) {
    FileRecord record;
    record.name = names[i];
    record.data = table.files[i];
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(WriteFileRecord(record, bytes));
    table.records.push_back(bytes);
    table.entrySizes.push_back(static_cast<int32_t>(table.files[i].size()));
  }
  table.written = coding;
  table.read = coding;
  return table;
}

Error ReadTable(const FileTable& table, std::vector<std::vector<uint8_t>>& files) {
  std::vector<uint8_t> archive = BuildArchive(table.records, table.chunkSize, table.written);
  table.patchArchive(archive);
  return ReadFileTable(archive, table.read, table.entrySizes, [&](std::size_t index, const FileRecord& record) {
    EXPECT_EQ(index, files.size());
    files.emplace_back(record.data.begin(), record.data.end());
  });
}

TEST(FileTable, ReadsEveryFileInOrder) {
  for (const Coding& c : kCodings) {
    FileTable table = SampleTable(c.coding);
    std::vector<std::vector<uint8_t>> files;
    EXPECT_EQ(ReadTable(table, files), Error::kNone) << c.name;
    EXPECT_EQ(files, table.files) << c.name;
  }
}

TEST(FileTable, NoEntriesAndNoArchiveIsEmpty) {
  int calls = 0;
  EXPECT_EQ(ReadFileTable({}, {}, {}, [&](std::size_t, const FileRecord&) { ++calls; }), Error::kNone);
  EXPECT_EQ(calls, 0);
}

void PutI32(std::vector<uint8_t>& bytes, std::size_t offset, int32_t value) {
  StoreLe32(bytes.data() + offset, static_cast<uint32_t>(value));
}

struct ArchiveFault {
  const char* name;
  std::function<void(FileTable&)> change;
  Error error;
};

TEST(FileTable, EachFaultStopsWithItsError) {
  const ArchiveFault faults[] = {
      {"chunk is not xz", [](FileTable& t) {
         t.written.compressed = false;
         t.read.compressed = true;
       },
       Error::kChunkNotDecoded},
      {"chunk is not enciphered",
       [](FileTable& t) {
         t.written.cipher = nullptr;
         t.read.cipher = &TestCipher();
         t.chunkSize = 61;  // not whole cipher blocks
       },
       Error::kChunkNotDecoded},
      {"stored size 0", [](FileTable& t) { t.patchArchive = [](auto& a) { PutI32(a, 0, 0); }; }, Error::kChunkSize},
      {"stored size negative", [](FileTable& t) { t.patchArchive = [](auto& a) { PutI32(a, 0, -8); }; },
       Error::kChunkSize},
      {"stored byte changed", [](FileTable& t) { t.patchArchive = [](auto& a) { a[9] ^= 0x04; }; },
       Error::kChunkChecksum},
      {"checksum changed", [](FileTable& t) { t.patchArchive = [](auto& a) { a[4] ^= 0x04; }; },
       Error::kChunkChecksum},
      {"stored size past the archive",
       [](FileTable& t) { t.patchArchive = [](auto& a) { PutI32(a, 0, static_cast<int32_t>(a.size()) - 7); }; },
       Error::kChunkPastEnd},
      {"archive cut inside the last chunk", [](FileTable& t) { t.patchArchive = [](auto& a) { a.pop_back(); }; },
       Error::kChunkPastEnd},
      {"archive cut inside a chunk head", [](FileTable& t) { t.entrySizes.push_back(0); }, Error::kChunkPastEnd},
      {"empty file name", [](FileTable& t) { t.records[1][0] = 0; }, Error::kEmptyFileName},
      {"entry size negative", [](FileTable& t) { t.entrySizes[1] = -1; }, Error::kNegativeEntrySize},
      {"entry size above 1 GiB", [](FileTable& t) { t.entrySizes[1] = 0x40000001; }, Error::kEntrySizeTooLarge},
      {"file byte changed", [](FileTable& t) { t.records[1][t.records[1].size() - 50] ^= 0x80; },
       Error::kFileChecksum},
      {"entry size one more than the file", [](FileTable& t) { t.entrySizes[0] += 1; }, Error::kFileChecksum},
      {"chunk left after the last record",
       [](FileTable& t) {
         t.entrySizes.pop_back();
         t.chunkSize = 4 + t.records[0].size() + 4 + t.records[1].size();
       },
       Error::kArchiveBytesLeft},
      {"bytes left after the last record",
       [](FileTable& t) {
         t.entrySizes.pop_back();
         t.chunkSize = 1 << 20;
       },
       Error::kRecordBytesLeft},
  };
  for (const ArchiveFault& fault : faults) {
    for (const Coding& c : {kCodings[0], kCodings[3]}) {
      SCOPED_TRACE(::testing::Message() << fault.name << ", " << c.name);
      FileTable table = SampleTable(c.coding);
      fault.change(table);
      std::vector<std::vector<uint8_t>> files;
      EXPECT_EQ(ReadTable(table, files), fault.error);
    }
  }
}

}  // namespace
}  // namespace palisade::format
