#include "format/xz.h"

#include <lzma.h>

#include <algorithm>
#include <chrono>

namespace palisade::format {
namespace {

constexpr std::size_t kPieceSize = 16384;
constexpr uint32_t kProgressIntervalMs = 200;

class ProgressGate {
 public:
  explicit ProgressGate(const XzProgress* progress)
      : progress_(progress != nullptr && progress->report ? progress : nullptr), last_(Now()) {}

  bool ShouldStop(uint64_t consumed, uint64_t total, uint64_t outputBits) {
    if (progress_ == nullptr) return false;
    uint32_t now = Now();
    // Unsigned difference: correct across the clock's wrap-around.
    if (now - last_ < kProgressIntervalMs) return false;
    last_ = now;
    return progress_->report(consumed, total, outputBits);
  }

 private:
  uint32_t Now() const {
    if (progress_ == nullptr) return 0;
    if (progress_->clock) return progress_->clock();
    auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
  }

  const XzProgress* progress_;
  uint32_t last_;
};

void FlushWindow(lzma_stream& stream, uint8_t* window, std::vector<uint8_t>& output) {
  output.insert(output.end(), window, window + (kPieceSize - stream.avail_out));
  stream.next_out = window;
  stream.avail_out = kPieceSize;
}

bool RunDecoder(lzma_stream& stream, std::span<const uint8_t> input, std::vector<uint8_t>& output,
                ProgressGate& progress) {
  uint8_t window[kPieceSize];
  stream.next_out = window;
  stream.avail_out = kPieceSize;
  std::size_t fed = 0;
  for (;;) {
    if (stream.avail_in == 0 && fed < input.size()) {
      std::size_t piece = std::min(kPieceSize, input.size() - fed);
      stream.next_in = input.data() + fed;
      stream.avail_in = piece;
      fed += piece;
    }
    // Concatenated streams only report their end once told no more input comes.
    lzma_ret result = lzma_code(&stream, fed == input.size() ? LZMA_FINISH : LZMA_RUN);
    if (stream.avail_out == 0 || result == LZMA_STREAM_END) FlushWindow(stream, window, output);
    if (result == LZMA_STREAM_END) return true;
    if (result != LZMA_OK) return false;
    if (progress.ShouldStop(stream.total_in, input.size(), 8 * stream.total_out)) return false;
  }
}

lzma_check ToLzmaCheck(XzCheck check) {
  switch (check) {
    case XzCheck::kNone:
      return LZMA_CHECK_NONE;
    case XzCheck::kCrc32:
      return LZMA_CHECK_CRC32;
    case XzCheck::kCrc64:
      return LZMA_CHECK_CRC64;
    case XzCheck::kSha256:
      return LZMA_CHECK_SHA256;
  }
  return LZMA_CHECK_CRC64;
}

// The smallest dictionary the stream can name (2^n or 2^n + 2^(n-1) bytes,
// at least 4 KiB) that holds `inputSize` bytes, but never more than `wanted`.
uint32_t DictionaryFor(std::size_t inputSize, uint32_t wanted) {
  for (uint64_t power = LZMA_DICT_SIZE_MIN; power < wanted; power *= 2) {
    if (power >= inputSize) return static_cast<uint32_t>(power);
    if (power + power / 2 >= inputSize) return static_cast<uint32_t>(std::min<uint64_t>(power + power / 2, wanted));
  }
  return wanted;
}

}  // namespace

bool XzDecode(std::span<const uint8_t> input, std::vector<uint8_t>& output, const XzProgress* progress) {
  output.clear();
  output.reserve(3 * input.size() + 1024);
  ProgressGate gate(progress);
  lzma_stream stream = LZMA_STREAM_INIT;
  bool decoded = lzma_stream_decoder(&stream, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK &&
                 RunDecoder(stream, input, output, gate);
  lzma_end(&stream);
  return decoded;
}

bool XzEncode(std::span<const uint8_t> input, const XzEncodeOptions& options, std::vector<uint8_t>& output) {
  lzma_options_lzma lzma;
  if (lzma_lzma_preset(&lzma, options.preset | (options.extreme ? LZMA_PRESET_EXTREME : 0))) return false;
  lzma.dict_size = DictionaryFor(input.size(), options.dictionarySize != 0 ? options.dictionarySize : lzma.dict_size);
  lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &lzma}, {LZMA_VLI_UNKNOWN, nullptr}};
  output.resize(lzma_stream_buffer_bound(input.size()));
  std::size_t written = 0;
  lzma_ret result = lzma_stream_buffer_encode(filters, ToLzmaCheck(options.check), nullptr, input.data(),
                                              input.size(), output.data(), &written, output.size());
  output.resize(result == LZMA_OK ? written : 0);
  return result == LZMA_OK;
}

}  // namespace palisade::format
