#pragma once
// A file's bytes mapped read-only into memory: the installers the builder
// reads stay in the page cache instead of being copied onto the heap.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace palisade::builder {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const std::filesystem::path& path, std::string& problem);
  std::span<const uint8_t> bytes() const { return {data_, size_}; }

 private:
  bool Map(int fd, std::size_t size, std::string& problem);

  const uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace palisade::builder
