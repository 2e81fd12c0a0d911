#include "builder/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace palisade::builder {
namespace {

std::string SystemError() { return std::strerror(errno); }

}  // namespace

AtomicFile::~AtomicFile() {
  if (fd_ < 0) return;
  close(fd_);
  unlink(temporary_.c_str());
}

bool AtomicFile::Open(const std::filesystem::path& target, std::string& problem) {
  target_ = target;
  // A release job names its output folder before anything has made it.
  std::error_code error;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
  if (error) {
    problem = "cannot create the folder \"" + target.parent_path().string() + "\": " + error.message();
    return false;
  }
  std::string pattern = target.string() + ".tmp-XXXXXX";
  fd_ = mkstemp(pattern.data());
  if (fd_ < 0) {
    problem = "cannot create a file beside \"" + target.string() + "\": " + SystemError();
    return false;
  }
  temporary_ = pattern;
  // mkstemp makes the file private; an installer is for sharing.
  fchmod(fd_, 0644);
  return true;
}

bool AtomicFile::Write(std::span<const uint8_t> bytes, std::string& problem) {
  while (!bytes.empty()) {
    ssize_t written = write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      problem = "cannot write \"" + temporary_.string() + "\": " + SystemError();
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

bool AtomicFile::Commit(std::string& problem) {
  bool ok = fsync(fd_) == 0;
  ok = close(fd_) == 0 && ok;
  fd_ = -1;
  if (ok && rename(temporary_.c_str(), target_.c_str()) == 0) return true;
  problem = "cannot write \"" + target_.string() + "\": " + SystemError();
  unlink(temporary_.c_str());
  return false;
}

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view text, std::string& problem) {
  AtomicFile file;
  return file.Open(target, problem) &&
         file.Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), problem) &&
         file.Commit(problem);
}

}  // namespace palisade::builder
