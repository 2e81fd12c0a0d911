#include "builder/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace palisade::builder {

MappedFile::~MappedFile() {
  if (size_ > 0) munmap(const_cast<uint8_t*>(data_), size_);
}

bool MappedFile::Open(const std::filesystem::path& path, std::string& problem) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    problem = "cannot read \"" + path.string() + "\": " + (fd < 0 ? std::strerror(errno) : "not a regular file");
    if (fd >= 0) close(fd);
    return false;
  }
  bool mapped = Map(fd, static_cast<std::size_t>(info.st_size), problem);
  close(fd);
  if (!mapped) problem = "cannot read \"" + path.string() + "\": " + problem;
  return mapped;
}

bool MappedFile::Map(int fd, std::size_t size, std::string& problem) {
  if (size == 0) return true;
  void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) {
    problem = std::strerror(errno);
    return false;
  }
  data_ = static_cast<const uint8_t*>(data);
  size_ = size;
  return true;
}

}  // namespace palisade::builder
