#include "payload/record_prefetch.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace palisade {
namespace {

// A spooled file: larger than the engine keeps in memory.
constexpr size_t kLargeFile = 9 << 20;

struct SampleFiles {
  std::vector<std::vector<uint8_t>> contents;
  std::vector<std::vector<uint8_t>> records;
  std::vector<int32_t> entrySizes;
};

// Files of sizes from none to a few hundred KiB, each filled from its index,
// with one large file at `largeAt`.
SampleFiles MakeFiles(size_t largeAt) {
  SampleFiles files;
  for (size_t i = 0; i < 40; ++i) {
    size_t size = i == largeAt ? kLargeFile : (i * 7919) % 300000;
    std::vector<uint8_t> bytes(size);
    for (size_t b = 0; b < size; ++b) bytes[b] = static_cast<uint8_t>(i + b / 4093);
    format::FileRecord record;
    record.name = "file" + std::to_string(i);
    record.textA = "1.0." + std::to_string(i);
    record.data = bytes;
    std::vector<uint8_t> stored;
    EXPECT_TRUE(format::WriteFileRecord(record, stored));
    files.records.push_back(std::move(stored));
    files.entrySizes.push_back(static_cast<int32_t>(size));
    files.contents.push_back(std::move(bytes));
  }
  return files;
}

// Stored as they are, in chunks of 100,000 bytes of the record stream.
std::vector<uint8_t> ArchiveOf(const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> archive;
  format::RecordStreamWriter writer(100000, [&](std::vector<uint8_t> chunk) { format::AppendChunk(chunk, archive); });
  for (const std::vector<uint8_t>& record : records) writer.AddRecord(record);
  writer.Finish();
  return archive;
}

std::vector<uint8_t> Collected(const FileContents& contents) {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(contents.ForEachPiece([&](std::span<const uint8_t> piece) -> DWORD {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
    return ERROR_SUCCESS;
  }), static_cast<DWORD>(ERROR_SUCCESS));
  return bytes;
}

struct PrefetchCase {
  const char* name;
  size_t largeAt;  // the index of the large file, or none
  size_t queueLimit;
  std::function<void(SampleFiles& files)> changeFiles;
  std::function<void(std::vector<uint8_t>& archive)> damageArchive;
  size_t filesDelivered;
  format::Error error;  // where the files stop, or at the end
};

TEST(RecordPrefetch, HandsOverTheFilesInOrderThenTheReadersVerdict) {
  auto same = [](SampleFiles&) {};
  auto intact = [](std::vector<uint8_t>&) {};
  const PrefetchCase cases[] = {
      {"queue smaller than a record", 99, 1000, same, intact, 40, format::Error::kNone},
      {"large queue", 99, 64 << 20, same, intact, 40, format::Error::kNone},
      // The 40 chunks before the damaged one hold the first 32 records whole.
      {"damaged chunk in the middle", 99, 1000, same, [](auto& a) { a[40 * 100008 + 100] ^= 1; }, 32,
       format::Error::kChunkChecksum},
      {"chunk after the last record", 99, 1000, same,
       [](auto& a) { format::AppendChunk(std::vector<uint8_t>{1}, a); }, 40, format::Error::kArchiveBytesLeft},
      {"a large file among small ones", 5, 1000, same, intact, 40, format::Error::kNone},
      {"a large file's byte changed", 5, 1000, [](SampleFiles& f) { f.records[5][5000000] ^= 0x10; }, intact, 5,
       format::Error::kFileChecksum},
      {"a large file's checksum changed", 5, 1000, [](SampleFiles& f) { f.records[5].back() ^= 0x10; }, intact, 5,
       format::Error::kFileChecksum},
      {"a large file's entry size one short", 5, 1000, [](SampleFiles& f) { --f.entrySizes[5]; }, intact, 5,
       format::Error::kFileChecksum},
      {"a large file with an empty name", 5, 1000, [](SampleFiles& f) { f.records[5][0] = 0; }, intact, 5,
       format::Error::kEmptyFileName},
  };
  for (const PrefetchCase& c : cases) {
    SCOPED_TRACE(c.name);
    SampleFiles files = MakeFiles(c.largeAt);
    const SampleFiles original = files;
    c.changeFiles(files);
    std::vector<uint8_t> archive = ArchiveOf(files.records);
    c.damageArchive(archive);
    format::MemoryArchiveSource source(archive);
    RecordPrefetch prefetch(source, {}, files.entrySizes, c.queueLimit);
    size_t delivered = 0;
    format::Error error = format::Error::kNone;
    format::FileRecord record;
    FileContents contents;
    while (delivered < files.entrySizes.size() &&
           (error = prefetch.NextFile(record, contents)) == format::Error::kNone) {
      EXPECT_EQ(record.name, "file" + std::to_string(delivered));
      EXPECT_EQ(record.textA, "1.0." + std::to_string(delivered));
      ASSERT_TRUE(Collected(contents) == original.contents[delivered]) << "file " << delivered;
      ++delivered;
    }
    if (error == format::Error::kNone) error = prefetch.Finish();
    EXPECT_EQ(delivered, c.filesDelivered);
    EXPECT_EQ(error, c.error);
  }
}

TEST(RecordPrefetch, StopsReadingAheadWhenLeftEarly) {
  const SampleFiles files = MakeFiles(99);
  std::vector<uint8_t> archive = ArchiveOf(files.records);
  format::MemoryArchiveSource source(archive);
  format::FileRecord record;
  FileContents contents;
  {
    RecordPrefetch prefetch(source, {}, files.entrySizes, 1000);
    ASSERT_EQ(prefetch.NextFile(record, contents), format::Error::kNone);
  }  // must return while its thread waits for room
  EXPECT_EQ(record.name, "file0");
}

}  // namespace
}  // namespace palisade
