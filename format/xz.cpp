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

struct XzStreamDecoder::State {
  lzma_stream stream = LZMA_STREAM_INIT;
  bool started = false;

  ~State() { lzma_end(&stream); }
};

XzStreamDecoder::XzStreamDecoder() : state_(std::make_unique<State>()) {}
XzStreamDecoder::~XzStreamDecoder() = default;

bool XzStreamDecoder::Start() {
  lzma_end(&state_->stream);
  state_->stream = LZMA_STREAM_INIT;
  state_->started = lzma_stream_decoder(&state_->stream, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
  return state_->started;
}

XzStreamDecoder::Step XzStreamDecoder::Decode(std::span<const uint8_t>& input, bool lastInput,
                                              std::span<uint8_t> output, std::size_t& produced) {
  produced = 0;
  if (!state_->started) return Step::kFailed;
  lzma_stream& stream = state_->stream;
  stream.next_in = input.data();
  stream.avail_in = input.size();
  stream.next_out = output.data();
  stream.avail_out = output.size();
  // Concatenated streams only report their end once told no more input comes.
  lzma_ret result = lzma_code(&stream, lastInput ? LZMA_FINISH : LZMA_RUN);
  input = input.subspan(input.size() - stream.avail_in);
  produced = output.size() - stream.avail_out;
  if (result == LZMA_STREAM_END) return Step::kEnd;
  // Nothing more to write after the last input, and no end: the data ends
  // too soon. What was written before that is handed over first.
  bool truncated = lastInput && input.empty() && produced == 0 && stream.avail_out > 0;
  return result == LZMA_OK && !truncated ? Step::kMore : Step::kFailed;
}

uint64_t XzStreamDecoder::consumed() const { return state_->stream.total_in; }

bool StartsAsXz(std::span<const uint8_t> data) {
  constexpr uint8_t kMagic[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
  return data.size() >= sizeof kMagic && std::equal(std::begin(kMagic), std::end(kMagic), data.begin());
}

bool XzDecode(std::span<const uint8_t> input, std::vector<uint8_t>& output, const XzProgress* progress) {
  output.clear();
  output.reserve(3 * input.size() + 1024);
  ProgressGate gate(progress);
  XzStreamDecoder decoder;
  if (!decoder.Start()) return false;
  uint8_t window[kPieceSize];
  std::size_t fed = 0;
  for (;;) {
    std::span<const uint8_t> piece = input.subspan(fed, std::min(kPieceSize, input.size() - fed));
    const std::size_t offered = piece.size();
    std::size_t produced = 0;
    XzStreamDecoder::Step step = decoder.Decode(piece, fed + offered == input.size(), window, produced);
    fed += offered - piece.size();
    output.insert(output.end(), window, window + produced);
    if (step != XzStreamDecoder::Step::kMore) return step == XzStreamDecoder::Step::kEnd;
    if (gate.ShouldStop(decoder.consumed(), input.size(), 8 * output.size())) return false;
  }
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
