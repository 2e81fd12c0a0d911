#pragma once
// An output file that appears whole or not at all: the bytes go to a
// temporary file beside it, which Commit() renames over the target and the
// destructor removes when the build did not get that far.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace palisade::builder {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool Open(const std::filesystem::path& target, std::string& problem);
  bool Write(std::span<const uint8_t> bytes, std::string& problem);
  bool Commit(std::string& problem);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_ = -1;
};

// Writes `text` as the whole of `target`, which appears whole or not at all.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view text, std::string& problem);

// A temporary file, or an emptied folder, that goes when its user is done
// however that user returns.
struct TemporaryPath {
  std::filesystem::path path;
  ~TemporaryPath() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

}  // namespace palisade::builder
