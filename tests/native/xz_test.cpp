#include "format/xz.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::Bytes;
using test_bytes::Noise;

std::vector<uint8_t> Compress(const std::vector<uint8_t>& plain, const XzEncodeOptions& options = {}) {
  std::vector<uint8_t> packed;
  EXPECT_TRUE(XzEncode(plain, options, packed));
  return packed;
}

// Text that compresses well, so that a small input decodes into many
// 16 KiB output windows.
std::vector<uint8_t> Repetitive(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>("palisade "[i % 9]);
  return bytes;
}

TEST(Xz, RoundTripsAcrossPieceAndWindowSizes) {
  struct Case {
    std::vector<uint8_t> plain;
    XzEncodeOptions options;
  };
  const Case cases[] = {
      {{}, {}},
      {Bytes("x"), {}},
      {Noise(16384, 1), {}},
      {Noise(16385, 2), {0, false, XzCheck::kCrc32}},
      {Noise(100000, 3), {9, true, XzCheck::kSha256}},
      {Repetitive(1 << 20), {1, false, XzCheck::kNone}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(XzDecode(Compress(c.plain, c.options), decoded)) << c.plain.size() << " bytes";
    EXPECT_EQ(decoded, c.plain) << c.plain.size() << " bytes";
  }
}

// The dictionary the first block's header names: what a decoder allocates.
uint32_t NamedDictionary(const std::vector<uint8_t>& packed) {
  constexpr std::size_t kStreamHeaderSize = 12;
  lzma_filter filters[LZMA_FILTERS_MAX + 1];
  lzma_block block{};
  block.check = LZMA_CHECK_CRC64;
  block.filters = filters;
  block.header_size = lzma_block_header_size_decode(packed.at(kStreamHeaderSize));
  if (lzma_block_header_decode(&block, nullptr, packed.data() + kStreamHeaderSize) != LZMA_OK) return 0;
  std::unique_ptr<lzma_options_lzma, void (*)(void*)> lzma(static_cast<lzma_options_lzma*>(filters[0].options),
                                                           &free);
  return filters[0].id == LZMA_FILTER_LZMA2 ? lzma->dict_size : 0;
}

TEST(Xz, DictionaryIsNoLargerThanTheInputNeeds) {
  const struct {
    std::size_t size;
    XzEncodeOptions options;
    uint32_t dictionary;
  } cases[] = {
      {1, {6, false, XzCheck::kCrc64, 0}, 4096},            // the smallest a header names
      {10000, {9, false, XzCheck::kCrc64, 0}, 12 * 1024},    // 2^n + 2^(n-1) fits more closely than 16 KiB
      {40000, {0, false, XzCheck::kCrc64, 0}, 48 * 1024},    // the preset's 256 KiB cut to the input
      {100000, {6, false, XzCheck::kCrc64, 64 * 1024}, 64 * 1024},  // asked for, smaller than the input
      {5000, {6, false, XzCheck::kCrc64, 4096}, 4096},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> plain = Noise(c.size, 7);
    const std::vector<uint8_t> packed = Compress(plain, c.options);
    EXPECT_EQ(NamedDictionary(packed), c.dictionary) << c.size << " bytes";
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(XzDecode(packed, decoded)) << c.size << " bytes";
    EXPECT_EQ(decoded, plain);
  }
}

TEST(Xz, EncodingIsDeterministic) {
  const std::vector<uint8_t> plain = Noise(50000, 4);
  EXPECT_EQ(Compress(plain), Compress(plain));
}

TEST(Xz, ConcatenatedStreamsDecodeAsOne) {
  const std::vector<uint8_t> first = Noise(20000, 5);
  const std::vector<uint8_t> second = Repetitive(30000);
  std::vector<uint8_t> joined = Compress(first);
  std::vector<uint8_t> packedSecond = Compress(second);
  joined.insert(joined.end(), packedSecond.begin(), packedSecond.end());

  std::vector<uint8_t> expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  std::vector<uint8_t> decoded;
  ASSERT_TRUE(XzDecode(joined, decoded));
  EXPECT_EQ(decoded, expected);
}

TEST(Xz, RejectsDamagedInput) {
  const std::vector<uint8_t> packed = Compress(Noise(40000, 6));
  std::vector<uint8_t> truncated(packed.begin(), packed.end() - 1);
  std::vector<uint8_t> flipped = packed;
  flipped[packed.size() / 2] ^= 0x10;
  std::vector<uint8_t> trailingGarbage = packed;
  trailingGarbage.push_back(0x42);
  const struct {
    const char* name;
    std::vector<uint8_t> input;
  } cases[] = {
      {"empty", {}},
      {"not xz", Noise(100, 7)},
      {"truncated", truncated},
      {"flipped byte", flipped},
      {"trailing garbage", trailingGarbage},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> decoded = Bytes("stale");
    EXPECT_FALSE(XzDecode(c.input, decoded)) << c.name;
  }
}

TEST(Xz, StartsAsXzOnlyForTheStreamsMagic) {
  const std::vector<uint8_t> packed = Compress(Bytes("picture"));
  const struct {
    const char* name;
    std::vector<uint8_t> data;
    bool xz;
  } cases[] = {
      {"an xz stream", packed, true},
      {"its magic alone", {0xFD, '7', 'z', 'X', 'Z', 0x00}, true},
      {"the magic cut short", {0xFD, '7', 'z', 'X', 'Z'}, false},
      {"the magic with its last byte changed", {0xFD, '7', 'z', 'X', 'Z', 0x01, 0x00}, false},
      {"a DIB's header", {40, 0, 0, 0, 2, 0, 0, 0}, false},
      {"empty", {}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(StartsAsXz(c.data), c.xz) << c.name;
}

TEST(Xz, RejectsUnknownPreset) {
  std::vector<uint8_t> packed;
  EXPECT_FALSE(XzEncode(Bytes("data"), {10, false, XzCheck::kCrc64}, packed));
}

struct Report {
  uint32_t time;
  uint64_t consumed;
  uint64_t total;
  uint64_t outputBits;
};

// A clock that moves 50 ms each time it is read, starting at `start`.
XzProgress RecordingProgress(uint32_t start, std::vector<Report>& reports, bool stop) {
  auto now = std::make_shared<uint32_t>(start);
  XzProgress progress;
  progress.clock = [now] { return *now += 50; };
  progress.report = [now, &reports, stop](uint64_t consumed, uint64_t total, uint64_t outputBits) {
    reports.push_back({*now, consumed, total, outputBits});
    return stop;
  };
  return progress;
}

TEST(XzProgress, ReportsAtMostEvery200Milliseconds) {
  const std::vector<uint8_t> plain = Repetitive(4 << 20);
  const std::vector<uint8_t> packed = Compress(plain);
  std::vector<Report> reports;
  XzProgress progress = RecordingProgress(1000, reports, false);
  std::vector<uint8_t> decoded;
  ASSERT_TRUE(XzDecode(packed, decoded, &progress));
  EXPECT_EQ(decoded, plain);
  ASSERT_GE(reports.size(), 2u);
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_GE(reports[i].time - (i == 0 ? 1000 : reports[i - 1].time), 200u) << "report " << i;
    EXPECT_EQ(reports[i].total, packed.size());
    EXPECT_LE(reports[i].consumed, packed.size());
    EXPECT_EQ(reports[i].outputBits % 8, 0u);
    EXPECT_LE(reports[i].outputBits, 8 * plain.size());
    if (i > 0) {
      EXPECT_GT(reports[i].outputBits, reports[i - 1].outputBits);
    }
  }
}

TEST(XzProgress, ClockWrapAroundKeepsTheInterval) {
  const uint32_t start = 0xFFFFFFF0;
  std::vector<Report> reports;
  XzProgress progress = RecordingProgress(start, reports, false);
  std::vector<uint8_t> decoded;
  ASSERT_TRUE(XzDecode(Compress(Repetitive(4 << 20)), decoded, &progress));
  ASSERT_GE(reports.size(), 2u);
  EXPECT_LT(reports[0].time, start) << "the first report comes after the clock wrapped";
  EXPECT_GE(reports[0].time - start, 200u);
  EXPECT_LT(reports[0].time - start, 400u);
}

TEST(XzProgress, ReturningTrueStopsDecodingAsFailure) {
  std::vector<Report> reports;
  XzProgress progress = RecordingProgress(0, reports, true);
  std::vector<uint8_t> decoded;
  EXPECT_FALSE(XzDecode(Compress(Repetitive(4 << 20)), decoded, &progress));
  EXPECT_EQ(reports.size(), 1u);
}

}  // namespace
}  // namespace palisade::format
