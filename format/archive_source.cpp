#include "format/archive_source.h"

#include <algorithm>
#include <vector>

#include "format/checksum.h"

namespace palisade::format {
namespace {

// A whole number of checksum words.
constexpr std::size_t kChecksumPiece = 256 * 1024;

}  // namespace

void MemoryArchiveSource::Read(std::size_t offset, std::span<uint8_t> out) {
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

uint32_t ChecksumOf(ArchiveSource& source, std::size_t offset, std::size_t count) {
  ChecksumAccumulator sum;
  std::vector<uint8_t> piece(std::min(count, kChecksumPiece));
  for (std::size_t done = 0; done < count;) {
    std::span<uint8_t> next = std::span<uint8_t>(piece).first(std::min(count - done, kChecksumPiece));
    source.Read(offset + done, next);
    sum.Add(next);
    done += next.size();
  }
  return sum.Value();
}

}  // namespace palisade::format
