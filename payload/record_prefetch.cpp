#include "payload/record_prefetch.h"

#include <utility>

namespace palisade {

RecordPrefetch::RecordPrefetch(format::ArchiveSource& archive, const format::ChunkCoding& coding, std::size_t count,
                               std::size_t queueLimit)
    : reader_(archive, coding), count_(count), queueLimit_(queueLimit) {
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
  for (std::size_t i = 0; i < count_; ++i) {
    std::vector<uint8_t> record;
    if (format::Error error = reader_.NextRecord(record); error != format::Error::kNone) return Conclude(error);
    monitor_.Lock();
    if (!WaitForRoom()) return monitor_.Unlock();
    queuedBytes_ += record.size();
    queue_.push_back(std::move(record));
    monitor_.NotifyAll();
    monitor_.Unlock();
  }
  Conclude(reader_.Finish());
}

format::Error RecordPrefetch::NextRecord(std::vector<uint8_t>& record) {
  if (!thread_.Running()) return reader_.NextRecord(record);
  monitor_.Lock();
  while (queue_.empty() && !concluded_) monitor_.Wait();
  format::Error error = result_;
  if (!queue_.empty()) {
    record = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= record.size();
    error = format::Error::kNone;
    monitor_.NotifyAll();
  }
  monitor_.Unlock();
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
