#pragma once
// Decodes the archive's records on a thread of its own, ahead of the file
// phase that writes them, so that decompressing and writing overlap. The
// records wait in order in a queue of bounded size.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/ts_thread.h"
#include "format/archive.h"

namespace palisade {

class RecordPrefetch final : public format::RecordSource {
 public:
  // Reads `count` records and then the archive's end. Records wait until
  // they hold `queueLimit` bytes between them (a larger record still goes
  // through, alone).
  RecordPrefetch(format::ArchiveSource& archive, const format::ChunkCoding& coding, std::size_t count,
                 std::size_t queueLimit);
  ~RecordPrefetch() override;
  RecordPrefetch(const RecordPrefetch&) = delete;
  RecordPrefetch& operator=(const RecordPrefetch&) = delete;

  // The records in order, then the reader's first error in its place; read
  // on the calling thread when no thread could be started.
  format::Error NextRecord(std::vector<uint8_t>& record) override;
  format::Error Finish() override;

 private:
  static DWORD WINAPI Main(void* self);
  void ReadAhead();
  // Waits, with the lock held, for room in the queue; false when told to stop.
  bool WaitForRoom();
  // Ends the reading with `error` (kNone when the archive ended cleanly).
  void Conclude(format::Error error);

  format::ArchiveReader reader_;
  const std::size_t count_;
  const std::size_t queueLimit_;
  ts::Monitor monitor_;
  std::deque<std::vector<uint8_t>> queue_;
  std::size_t queuedBytes_ = 0;
  bool concluded_ = false;  // no more records come; `result_` says why
  format::Error result_ = format::Error::kNone;
  bool stopping_ = false;
  ts::Thread thread_;
};

}  // namespace palisade
