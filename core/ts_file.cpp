#include "core/ts_file.h"

#include <climits>
#include <cstring>

#include "core/ts_format.h"
#include "core/ts_system.h"

namespace ts {

File::~File() { Close(); }

bool File::Fail(const char* error) {
  lastError_ = error;
  lastErrorCode_ = 0;
  return false;
}

bool File::FailWithSystemError(DWORD error) {
  lastError_ = SystemErrorText(error);
  lastErrorCode_ = error;
  return false;
}

bool File::OpenHandle(const WText& path, DWORD desiredAccess, DWORD disposition, unsigned access) {
  Close();
  handle_ = CreateFileW(path.c_str(), desiredAccess, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return FailWithSystemError(GetLastError());
  access_ = access;
  return true;
}

bool File::OpenForReading(const WText& path) { return OpenHandle(path, GENERIC_READ, OPEN_EXISTING, kRead); }
bool File::Create(const WText& path) { return OpenHandle(path, GENERIC_WRITE, CREATE_ALWAYS, kWrite); }
bool File::CreateNew(const WText& path) { return OpenHandle(path, GENERIC_WRITE, CREATE_NEW, kWrite); }
bool File::OpenForUpdate(const WText& path) {
  return OpenHandle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, kRead | kWrite);
}

void File::OpenMemory(Text data, unsigned access) {
  Close();
  memoryBacked_ = true;
  memory_ = std::move(data);
  memoryPosition_ = 0;
  access_ = access;
}

void File::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  memoryBacked_ = false;
  access_ = 0;
}

int File::ReadFromMemory(void* buffer, int size) {
  size_t left = memory_.size() - memoryPosition_;
  size_t count = static_cast<size_t>(size) < left ? static_cast<size_t>(size) : left;
  std::memcpy(buffer, memory_.data() + memoryPosition_, count);
  memoryPosition_ += count;
  return static_cast<int>(count);
}

bool File::ReadBlock(void* buffer, int size) {
  if (size == 0) return true;
  if (size < 0) {
    lastError_ = Format("Illegal block size %d", size);
    return false;
  }
  if (!buffer) return Fail("read(NULL)");
  if (!(access_ & kRead)) return Fail(IsOpen() ? "Read access denied" : "File not open");
  if (memoryBacked_) {
    if (memory_.size() - memoryPosition_ < static_cast<size_t>(size)) return Fail("Read past end of file");
    ReadFromMemory(buffer, size);
    return true;
  }
  DWORD read = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &read, nullptr)) return FailWithSystemError(GetLastError());
  if (read != static_cast<DWORD>(size)) return Fail("Read past end of file");
  return true;
}

int File::ReadSome(void* buffer, int size) {
  if (size <= 0) {
    lastError_ = Format("Illegal block size %d", size);
    return 0;
  }
  if (!buffer) {
    Fail("NULL block pointer");
    return 0;
  }
  if (!(access_ & kRead)) {
    Fail(IsOpen() ? "Read access denied" : "File not open");
    return 0;
  }
  if (memoryBacked_) return ReadFromMemory(buffer, size);
  DWORD read = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &read, nullptr)) {
    FailWithSystemError(GetLastError());
    return 0;
  }
  return static_cast<int>(read);
}

bool File::ReadWhole(Text& data) {
  int64_t size = Size();
  if (size < 0) return false;
  if (size > INT_MAX) return Fail("File too large");
  if (!Seek(0)) return false;
  data.assign(static_cast<size_t>(size), '\0');
  return ReadBlock(data.data(), static_cast<int>(size));
}

bool File::WriteBlock(const void* data, int size) {
  if (size == 0) return true;
  if (size < 0) return Fail("Illegal write size");
  if (!(access_ & kWrite)) return Fail(IsOpen() ? "Write access denied" : "File not open");
  if (memoryBacked_) {
    memory_.append(static_cast<const char*>(data), static_cast<size_t>(size));
    return true;
  }
  const char* bytes = static_cast<const char*>(data);
  for (int done = 0; done < size;) {
    DWORD piece = static_cast<DWORD>(size - done < kMaxWritePiece ? size - done : kMaxWritePiece);
    DWORD written = 0;
    if (!WriteFile(handle_, bytes + done, piece, &written, nullptr)) return FailWithSystemError(GetLastError());
    if (written != piece) return Fail("Not all data could be written");
    done += static_cast<int>(piece);
  }
  return true;
}

bool File::Seek(int64_t position) {
  if (memoryBacked_) {
    if (position < 0 || static_cast<uint64_t>(position) > memory_.size()) return Fail("Seek past end of file");
    memoryPosition_ = static_cast<size_t>(position);
    return true;
  }
  if (handle_ == INVALID_HANDLE_VALUE) return Fail("File not open");
  LARGE_INTEGER distance;
  distance.QuadPart = position;
  if (!SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN)) return FailWithSystemError(GetLastError());
  return true;
}

int64_t File::Size() {
  if (memoryBacked_) return static_cast<int64_t>(memory_.size());
  LARGE_INTEGER size;
  if (handle_ == INVALID_HANDLE_VALUE) {
    Fail("File not open");
    return -1;
  }
  if (!GetFileSizeEx(handle_, &size)) {
    FailWithSystemError(GetLastError());
    return -1;
  }
  return size.QuadPart;
}

bool WriteIniValue(const WText& path, const wchar_t* section, const wchar_t* key, const WText& value) {
  return WritePrivateProfileStringW(section, key, value.c_str(), path.c_str()) != 0;
}

bool MarkForDeletion(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(remove)};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// All ones is the system's value for "leave this time alone from now on".
bool HoldLastWriteTime(HANDLE file) {
  FILETIME held = {0xFFFFFFFF, 0xFFFFFFFF};
  return SetFileTime(file, nullptr, nullptr, &held);
}

namespace {

// Folders open only with backup semantics; reading attributes needs no
// access to the contents, and every kind of sharing leaves others alone.
bool FileObjectNumber(const WText& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return known;
}

}  // namespace

bool IsSameFileObject(const WText& first, const WText& second) {
  BY_HANDLE_FILE_INFORMATION a, b;
  if (!FileObjectNumber(first, a) || !FileObjectNumber(second, b)) return false;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace ts
