#include "payload/file_contents.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/ts_deferred.h"

namespace palisade {
namespace {

constexpr size_t kPiece = 1 << 20;

}  // namespace

FileContents::~FileContents() { Close(); }

FileContents::FileContents(FileContents&& other) noexcept { *this = std::move(other); }

FileContents& FileContents::operator=(FileContents&& other) noexcept {
  if (this != &other) {
    Close();
    bytes_ = other.bytes_;
    spoolFolder_ = std::move(other.spoolFolder_);
    spool_ = std::exchange(other.spool_, INVALID_HANDLE_VALUE);
    size_ = std::exchange(other.size_, 0);
    spoolError_ = other.spoolError_;
  }
  return *this;
}

void FileContents::Close() {
  if (spool_ != INVALID_HANDLE_VALUE) CloseHandle(spool_);
  spool_ = INVALID_HANDLE_VALUE;
  spoolFolder_.Remove();
}

bool FileContents::StartSpool() {
  Close();
  bytes_ = {};
  size_ = 0;
  spoolError_ = ERROR_SUCCESS;
  if (spoolFolder_.Create() != ERROR_SUCCESS) return false;
  ts::WText name = ts::MakeTemporaryFileName(spoolFolder_.Path());
  if (name.empty()) return false;
  spool_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (spool_ == INVALID_HANDLE_VALUE) DeleteFileW(name.c_str());
  return spool_ != INVALID_HANDLE_VALUE;
}

void FileContents::Spool(std::span<const uint8_t> piece) {
  size_ += piece.size();
  if (spoolError_ != ERROR_SUCCESS) return;
  DWORD written = 0;
  if (!WriteFile(spool_, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) ||
      written != piece.size()) {
    spoolError_ = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
  }
}

DWORD FileContents::ForEachPiece(const std::function<DWORD(std::span<const uint8_t> piece)>& use) const {
  if (spool_ == INVALID_HANDLE_VALUE) {
    for (size_t done = 0; done < bytes_.size(); done += kPiece) {
      if (DWORD error = use(bytes_.subspan(done, std::min(kPiece, bytes_.size() - done)))) return error;
    }
    return ERROR_SUCCESS;
  }
  if (spoolError_ != ERROR_SUCCESS) return spoolError_;
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(spool_, start, nullptr, FILE_BEGIN)) return GetLastError();
  std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(kPiece, size_)));
  for (uint64_t done = 0; done < size_;) {
    DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(kPiece, size_ - done)), read = 0;
    if (!ReadFile(spool_, piece.data(), wanted, &read, nullptr)) return GetLastError();
    if (read != wanted) return ERROR_HANDLE_EOF;
    if (DWORD error = use(std::span<const uint8_t>(piece).first(read))) return error;
    done += read;
  }
  return ERROR_SUCCESS;
}

}  // namespace palisade
