#include "payload/record_prefetch.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace palisade {
namespace {

// Records of sizes from none to a few hundred KiB, each filled from its index.
std::vector<std::vector<uint8_t>> SampleRecords() {
  std::vector<std::vector<uint8_t>> records;
  for (size_t i = 0; i < 40; ++i) records.emplace_back((i * 7919) % 300000, static_cast<uint8_t>(i));
  return records;
}

// Stored as they are, in chunks of 100,000 bytes of the record stream.
std::vector<uint8_t> ArchiveOf(const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> archive;
  format::RecordStreamWriter writer(100000, [&](std::vector<uint8_t> chunk) { format::AppendChunk(chunk, archive); });
  for (const std::vector<uint8_t>& record : records) writer.AddRecord(record);
  writer.Finish();
  return archive;
}

struct PrefetchCase {
  const char* name;
  size_t queueLimit;
  std::function<void(std::vector<uint8_t>& archive)> damage;
  size_t recordsDelivered;
  format::Error error;  // where the records stop, or at the end
};

TEST(RecordPrefetch, HandsOverTheRecordsInOrderThenTheReadersVerdict) {
  const std::vector<std::vector<uint8_t>> records = SampleRecords();
  const PrefetchCase cases[] = {
      {"whole archive, queue smaller than a record", 1000, [](auto&) {}, records.size(), format::Error::kNone},
      {"whole archive, large queue", 64 << 20, [](auto&) {}, records.size(), format::Error::kNone},
      // The 40 chunks before the damaged one hold the first 32 records whole.
      {"damaged chunk in the middle", 1000, [](auto& a) { a[40 * 100008 + 100] ^= 1; }, 32,
       format::Error::kChunkChecksum},
      {"chunk after the last record", 1000, [](auto& a) { format::AppendChunk(std::vector<uint8_t>{1}, a); },
       records.size(), format::Error::kArchiveBytesLeft},
  };
  for (const PrefetchCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> archive = ArchiveOf(records);
    c.damage(archive);
    format::MemoryArchiveSource source(archive);
    RecordPrefetch prefetch(source, {}, records.size(), c.queueLimit);
    size_t delivered = 0;
    format::Error error = format::Error::kNone;
    std::vector<uint8_t> record;
    while (delivered < records.size() && (error = prefetch.NextRecord(record)) == format::Error::kNone) {
      ASSERT_TRUE(record == records[delivered]) << "record " << delivered;
      ++delivered;
    }
    if (error == format::Error::kNone) error = prefetch.Finish();
    EXPECT_EQ(delivered, c.recordsDelivered);
    EXPECT_EQ(error, c.error);
  }
}

TEST(RecordPrefetch, StopsReadingAheadWhenLeftEarly) {
  const std::vector<std::vector<uint8_t>> records = SampleRecords();
  std::vector<uint8_t> archive = ArchiveOf(records);
  format::MemoryArchiveSource source(archive);
  std::vector<uint8_t> record;
  {
    RecordPrefetch prefetch(source, {}, records.size(), 1000);
    ASSERT_EQ(prefetch.NextRecord(record), format::Error::kNone);
  }  // must return while its thread waits for room
  EXPECT_TRUE(record == records[0]);
}

}  // namespace
}  // namespace palisade
