#pragma once
// Where an archive's stored bytes come from: memory that holds them all, or
// (in the engine) the installer file, read a piece at a time so that memory
// stays bounded whatever the archive's size.
#include <cstddef>
#include <cstdint>
#include <span>

namespace palisade::format {

class ArchiveSource {
 public:
  virtual ~ArchiveSource() = default;

  virtual std::size_t size() const = 0;
  // Fills `out` with the bytes from `offset`; offset + out.size() never
  // exceeds size(). A source that cannot deliver ends the run itself: a
  // reader has no way on without the bytes.
  virtual void Read(std::size_t offset, std::span<uint8_t> out) = 0;
};

class MemoryArchiveSource final : public ArchiveSource {
 public:
  explicit MemoryArchiveSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::size_t size() const override { return bytes_.size(); }
  void Read(std::size_t offset, std::span<uint8_t> out) override;

 private:
  std::span<const uint8_t> bytes_;
};

// The checksum of `count` bytes from `offset`, read a piece at a time.
uint32_t ChecksumOf(ArchiveSource& source, std::size_t offset, std::size_t count);

}  // namespace palisade::format
