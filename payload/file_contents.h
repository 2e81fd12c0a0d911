#pragma once
// A file's verified bytes on their way to the disk: in memory, or, for a
// file too large to hold there, in a temporary spool file that the system
// deletes when its handle closes, also when the run is killed.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>

#include "core/ts_private_folder.h"
#include "core/ts_text.h"

namespace palisade {

class FileContents {
 public:
  FileContents() = default;
  // Implicit: bytes in memory serve wherever contents are asked for.
  FileContents(std::span<const uint8_t> bytes) : bytes_(bytes), size_(bytes.size()) {}
  ~FileContents();
  FileContents(FileContents&& other) noexcept;
  FileContents& operator=(FileContents&& other) noexcept;
  FileContents(const FileContents&) = delete;
  FileContents& operator=(const FileContents&) = delete;

  // Makes the contents an empty spool file in a private folder of its own
  // (nobody else can read or change what the archive holds while it waits
  // there); false when none can be made.
  bool StartSpool();
  // Appends to the spool; a failure is kept and reported by ForEachPiece.
  void Spool(std::span<const uint8_t> piece);

  uint64_t size() const { return size_; }
  // Hands the bytes in order to `use`, at most 1 MiB at a time, and stops at
  // the first piece it refuses: ERROR_SUCCESS, the error `use` returned, or
  // the system's error of the spool file.
  DWORD ForEachPiece(const std::function<DWORD(std::span<const uint8_t> piece)>& use) const;

 private:
  void Close();

  std::span<const uint8_t> bytes_;
  ts::PrivateFolder spoolFolder_;
  HANDLE spool_ = INVALID_HANDLE_VALUE;
  uint64_t size_ = 0;
  DWORD spoolError_ = ERROR_SUCCESS;
};

}  // namespace palisade
