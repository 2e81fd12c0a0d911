#pragma once
// A file opened through the system, or a file held in memory, that reports
// its failures as texts: an operation returns false (or 0 bytes) and leaves
// the reason in LastError().
#include <windows.h>

#include <cstdint>

#include "core/ts_text.h"

namespace ts {

inline constexpr int kMaxWritePiece = 0x100000;

class File {
 public:
  enum Access : unsigned { kRead = 1, kWrite = 2 };

  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading; others may read it meanwhile.
  bool OpenForReading(const WText& path);
  // Creates the file, or empties an existing one, for writing.
  bool Create(const WText& path);
  // Creates a new file for writing; fails when the name exists, whoever
  // made it.
  bool CreateNew(const WText& path);
  // Opens the file for reading and writing, creating it when it is missing;
  // what it holds stays.
  bool OpenForUpdate(const WText& path);
  // A file in memory: reads come from data, writes are appended to it.
  void OpenMemory(Text data, unsigned access);
  void Close();

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE || memoryBacked_; }
  bool ReadBlock(void* buffer, int size);
  int ReadSome(void* buffer, int size);
  // Everything the file holds, read from its start.
  bool ReadWhole(Text& data);
  bool WriteBlock(const void* data, int size);
  bool Seek(int64_t position);
  int64_t Size();

  const Text& LastError() const { return lastError_; }
  // The system's error number behind LastError(); 0 when the failure was
  // the file object's own (a read past the end, a closed file).
  DWORD LastErrorCode() const { return lastErrorCode_; }
  const Text& Memory() const { return memory_; }
  HANDLE Handle() const { return handle_; }

 private:
  bool Fail(const char* error);
  bool FailWithSystemError(DWORD error);
  bool OpenHandle(const WText& path, DWORD desiredAccess, DWORD disposition, unsigned access);
  int ReadFromMemory(void* buffer, int size);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool memoryBacked_ = false;
  Text memory_;
  size_t memoryPosition_ = 0;
  unsigned access_ = 0;
  Text lastError_;
  DWORD lastErrorCode_ = 0;
};

// Marks a file opened with DELETE access to be deleted when its last handle
// closes, also when the process is killed, or takes the mark off again.
bool MarkForDeletion(HANDLE file, bool remove);
// Keeps writes through this handle from moving the file's last-write time.
bool HoldLastWriteTime(HANDLE file);

// Whether two paths name one file or one folder, as the file system tells
// it through the opened objects (volume and file number), whatever their
// letter case, short names or links; false when either cannot be opened.
bool IsSameFileObject(const WText& first, const WText& second);

// Sets one key of an ".ini" file such as a folder's "Desktop.ini",
// creating the file and the section when needed.
bool WriteIniValue(const WText& path, const wchar_t* section, const wchar_t* key, const WText& value);

}  // namespace ts
