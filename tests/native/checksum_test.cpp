#include "format/checksum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::Hex;

struct ChecksumCase {
  const char* name;
  const char* bytes;
  uint32_t expected;
};

TEST(Checksum, AddsWordsSignExtendedTailAndLength) {
  const ChecksumCase cases[] = {
      {"empty is the seed", "", 0x79E2BC9D},
      {"one byte", "01", 0x79E2BC9F},
      {"positive byte", "7f", 0x79E2BD1D},
      {"negative byte is sign-extended", "80", 0x79E2BC1E},
      {"minus one cancels the length", "ff", 0x79E2BC9D},
      {"two bytes", "ff 80", 0x79E2BC1E},
      {"three bytes", "ff 7f 80", 0x79E2BC9E},
      {"one word little-endian", "01 02 03 04", 0x7DE5BEA2},
      {"word wraps around", "ff ff ff ff", 0x79E2BCA0},
      {"word and one byte", "01 02 03 04 05", 0x7DE5BEA8},
      {"word and three bytes", "01 02 03 04 ff 80 7f", 0x7DE5BEA3},
      {"two words wrap", "ff ff ff ff ff ff ff ff", 0x79E2BCA3},
  };
  for (const ChecksumCase& c : cases) {
    EXPECT_EQ(Checksum(Hex(c.bytes)), c.expected) << c.name;
  }
}

// Decoded bytes arrive in windows whose edges fall anywhere in a word.
TEST(ChecksumAccumulator, PiecesOfAnySizesGiveTheChecksumOfTheWhole) {
  const std::vector<uint8_t> data = Hex("01 02 03 04 ff 80 7f 05 86 07 88");
  for (std::size_t first = 0; first <= data.size(); ++first) {
    for (std::size_t second = first; second <= data.size(); ++second) {
      ChecksumAccumulator sum;
      sum.Add(std::span(data).first(first));
      sum.Add(std::span(data).subspan(first, second - first));
      sum.Add(std::span(data).subspan(second));
      EXPECT_EQ(sum.Value(), Checksum(data)) << "cut at " << first << " and " << second;
    }
  }
}

TEST(ChecksumAccumulator, EqualPiecesGiveTheWholeChecksum) {
  std::vector<uint8_t> data = test_bytes::Noise(1001, 3);
  for (std::size_t piece : {1u, 2u, 3u, 5u, 64u, 1001u}) {
    ChecksumAccumulator accumulator;
    for (std::size_t at = 0; at < data.size(); at += piece) {
      accumulator.Add(std::span(data).subspan(at, std::min(piece, data.size() - at)));
    }
    EXPECT_EQ(accumulator.Value(), Checksum(data)) << piece;
  }
  EXPECT_EQ(ChecksumAccumulator().Value(), kChecksumSeed);
}

struct ClampCase {
  const char* name;
  std::size_t offset;
  std::size_t count;
  std::size_t expectedOffset;
  std::size_t expectedCount;
};

TEST(Checksum, OffsetAndCountAreClampedToTheData) {
  const std::vector<uint8_t> data = Hex("01 02 03 04 05 86 07 88");
  const std::size_t all = std::numeric_limits<std::size_t>::max();
  const ClampCase cases[] = {
      {"inside", 2, 3, 2, 3},
      {"count past the end", 5, 100, 5, 3},
      {"offset past the end", 100, 5, 8, 0},
      {"everything", 0, all, 0, 8},
      {"offset at the end", 8, 1, 8, 0},
  };
  for (const ClampCase& c : cases) {
    std::span<const uint8_t> expected = std::span(data).subspan(c.expectedOffset, c.expectedCount);
    EXPECT_EQ(Checksum(data, c.offset, c.count), Checksum(expected)) << c.name;
  }
}

}  // namespace
}  // namespace palisade::format
