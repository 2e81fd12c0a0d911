#include "payload/record_prefetch.h"

#include <utility>

#include "format/byte_order.h"
#include "format/checksum.h"

namespace palisade {
namespace {

constexpr uint32_t kChecksumSize = 4;
// Files from this size on wait in a spool file rather than in memory.
constexpr int32_t kSpoolFrom = 8 << 20;

}  // namespace

RecordPrefetch::RecordPrefetch(format::ArchiveSource& archive, const format::ChunkCoding& coding,
                               std::span<const int32_t> entrySizes, std::size_t queueLimit)
    : reader_(archive, coding), entrySizes_(entrySizes), queueLimit_(queueLimit) {
  thread_.Start(Main, this);
}

RecordPrefetch::~RecordPrefetch() {
  monitor_.Lock();
  stopping_ = true;
  monitor_.NotifyAll();
  monitor_.Unlock();
  thread_.Join();
}

DWORD WINAPI RecordPrefetch::Main(void* self) {
  static_cast<RecordPrefetch*>(self)->ReadAhead();
  return 0;
}

// The file's bytes go to the spool as they are decoded, counted into their
// checksum, so that the file is handed over only once they have all
// verified.
format::Error RecordPrefetch::SpoolFile(uint32_t length, int32_t entrySize, File& file) {
  const uint32_t tail = static_cast<uint32_t>(entrySize) + kChecksumSize;
  if (format::Error error = reader_.Take(length - tail, file.bytes); error != format::Error::kNone) return error;
  if (format::Error error = format::ReadRecordFields(file.bytes, entrySize, file.record);
      error != format::Error::kNone) {
    return error;
  }
  format::ChecksumAccumulator sum;
  format::Error error = reader_.TakeInPieces(static_cast<std::size_t>(entrySize), [&](std::span<const uint8_t> piece) {
    sum.Add(piece);
    file.spooled.Spool(piece);
  });
  if (error != format::Error::kNone) return error;
  std::vector<uint8_t> stored;
  if (format::Error error = reader_.Take(kChecksumSize, stored); error != format::Error::kNone) return error;
  file.isSpooled = true;
  return format::LoadLe32(stored.data()) == sum.Value() ? format::Error::kNone : format::Error::kFileChecksum;
}

format::Error RecordPrefetch::ReadFile(std::size_t index, File& file) {
  uint32_t length = 0;
  if (format::Error error = reader_.NextRecordLength(length); error != format::Error::kNone) return error;
  const int32_t entrySize = entrySizes_[index];
  // A record too short for its file bytes cannot be spooled; read whole, it
  // fails its checks as it should.
  bool large = entrySize >= kSpoolFrom && length >= static_cast<uint32_t>(entrySize) + kChecksumSize;
  if (large && file.spooled.StartSpool()) return SpoolFile(length, entrySize, file);
  if (format::Error error = reader_.TakeRecord(length, file.bytes); error != format::Error::kNone) return error;
  return format::ReadFileRecord(file.bytes, entrySize, file.record);
}

bool RecordPrefetch::WaitForRoom() {
  while (!stopping_ && !queue_.empty() && queuedBytes_ >= queueLimit_) monitor_.Wait();
  return !stopping_;
}

void RecordPrefetch::Conclude(format::Error error) {
  monitor_.Lock();
  concluded_ = true;
  result_ = error;
  monitor_.NotifyAll();
  monitor_.Unlock();
}

void RecordPrefetch::ReadAhead() {
  for (std::size_t i = 0; i < entrySizes_.size(); ++i) {
    File file;
    if (format::Error error = ReadFile(i, file); error != format::Error::kNone) return Conclude(error);
    monitor_.Lock();
    if (!WaitForRoom()) return monitor_.Unlock();
    queuedBytes_ += file.bytes.size();
    queue_.push_back(std::move(file));
    monitor_.NotifyAll();
    monitor_.Unlock();
  }
  Conclude(reader_.Finish());
}

void RecordPrefetch::HandOver(File& file, format::FileRecord& record, FileContents& contents) {
  record = file.record;
  contents = file.isSpooled ? std::move(file.spooled) : FileContents(file.record.data);
}

format::Error RecordPrefetch::NextFile(format::FileRecord& record, FileContents& contents) {
  if (!thread_.Running()) {
    current_ = File{};
    if (format::Error error = ReadFile(nextIndex_++, current_); error != format::Error::kNone) return error;
    HandOver(current_, record, contents);
    return format::Error::kNone;
  }
  monitor_.Lock();
  while (queue_.empty() && !concluded_) monitor_.Wait();
  format::Error error = result_;
  if (!queue_.empty()) {
    current_ = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= current_.bytes.size();
    error = format::Error::kNone;
    monitor_.NotifyAll();
  }
  monitor_.Unlock();
  if (error == format::Error::kNone) HandOver(current_, record, contents);
  return error;
}

format::Error RecordPrefetch::Finish() {
  if (!thread_.Running()) return reader_.Finish();
  monitor_.Lock();
  while (!concluded_) monitor_.Wait();
  format::Error error = result_;
  monitor_.Unlock();
  return error;
}

}  // namespace palisade
