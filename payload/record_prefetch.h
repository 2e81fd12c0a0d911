#pragma once
// Decodes and checks the archive's files on a thread of its own, ahead of
// the file phase that writes them, so that decompressing and writing
// overlap. Files wait in order in a queue of bounded size; a file too large
// to hold in memory waits, verified, in a spool file.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "core/ts_thread.h"
#include "format/archive.h"
#include "format/file_record.h"
#include "payload/file_contents.h"

namespace palisade {

class RecordPrefetch {
 public:
  // Reads one file per entry size and then the archive's end. Records wait
  // until they hold `queueLimit` bytes between them (a larger one still
  // goes through, alone).
  RecordPrefetch(format::ArchiveSource& archive, const format::ChunkCoding& coding,
                 std::span<const int32_t> entrySizes, std::size_t queueLimit);
  ~RecordPrefetch();
  RecordPrefetch(const RecordPrefetch&) = delete;
  RecordPrefetch& operator=(const RecordPrefetch&) = delete;

  // The next file in order: its record, whose texts and data stay valid
  // until the next call, and its verified contents; or, in its place, the
  // first error met. Read on the calling thread when no thread could start.
  format::Error NextFile(format::FileRecord& record, FileContents& contents);
  // After the last file: whether the archive ends where it should.
  format::Error Finish();

 private:
  struct File {
    format::FileRecord record;
    std::vector<uint8_t> bytes;  // the whole record, or its fields when spooled
    FileContents spooled;
    bool isSpooled = false;
  };

  static DWORD WINAPI Main(void* self);
  void ReadAhead();
  format::Error ReadFile(std::size_t index, File& file);
  format::Error SpoolFile(uint32_t length, int32_t entrySize, File& file);
  // Waits, with the lock held, for room in the queue; false when told to stop.
  bool WaitForRoom();
  // Ends the reading with `error` (kNone when the archive ended cleanly).
  void Conclude(format::Error error);
  void HandOver(File& file, format::FileRecord& record, FileContents& contents);

  format::ArchiveReader reader_;
  const std::span<const int32_t> entrySizes_;
  const std::size_t queueLimit_;
  std::size_t nextIndex_ = 0;  // of the file read on the calling thread
  File current_;               // the file handed over last
  ts::Monitor monitor_;
  std::deque<File> queue_;
  std::size_t queuedBytes_ = 0;
  bool concluded_ = false;  // no more files come; `result_` says why
  format::Error result_ = format::Error::kNone;
  bool stopping_ = false;
  ts::Thread thread_;
};

}  // namespace palisade
