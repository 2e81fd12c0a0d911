#pragma once
// xz compression of the script block and the archive chunks. Decoding
// accepts several concatenated xz streams as one; encoding is deterministic,
// so the same input and options always give the same bytes.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace palisade::format {

enum class XzCheck { kNone, kCrc32, kCrc64, kSha256 };

struct XzEncodeOptions {
  uint32_t preset = 6;  // 0 (fastest) to 9 (smallest)
  bool extreme = false;
  XzCheck check = XzCheck::kCrc64;
  // Bytes of history matches may reach back; 0 keeps the preset's. An input
  // smaller than the dictionary gets one just large enough to hold it:
  // decoders allocate what the stream names.
  uint32_t dictionarySize = 0;
};

struct XzProgress {
  // Called with (input bytes consumed, input bytes in all, 8 x output bytes
  // so far), at most once per 200 ms of `clock`; returning true stops the
  // decoding, which then fails.
  std::function<bool(uint64_t consumed, uint64_t total, uint64_t outputBits)> report;
  // Milliseconds on a clock that may wrap around (the engine passes
  // GetTickCount). Empty: the standard steady clock.
  std::function<uint32_t()> clock;
};

// Decodes xz data piece by piece, so that neither the input nor the output
// needs to be in memory whole; concatenated streams read as one.
class XzStreamDecoder {
 public:
  enum class Step { kMore, kEnd, kFailed };

  XzStreamDecoder();
  ~XzStreamDecoder();
  XzStreamDecoder(const XzStreamDecoder&) = delete;
  XzStreamDecoder& operator=(const XzStreamDecoder&) = delete;

  // Begins a new input; false when the decoder cannot be set up.
  bool Start();
  // Takes input from the front of `input` (which is advanced past what was
  // taken) and writes up to `output.size()` bytes, counted in `produced`.
  // `lastInput` says that no input follows what `input` holds. kEnd once the
  // data has ended and all of it has been written; kFailed for data that is
  // not valid xz or ends too soon.
  Step Decode(std::span<const uint8_t>& input, bool lastInput, std::span<uint8_t> output, std::size_t& produced);
  // Input bytes taken so far.
  uint64_t consumed() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// True when `data` opens as every xz stream does (its six magic bytes), so
// that stored bytes may be either compressed or plain.
bool StartsAsXz(std::span<const uint8_t> data);

// Replaces `output` with the decoded data; false when the input is not
// complete, valid xz or when `progress` asked to stop.
bool XzDecode(std::span<const uint8_t> input, std::vector<uint8_t>& output, const XzProgress* progress = nullptr);

// Replaces `output` with one xz stream holding `input`; false for an
// invalid preset or when the encoder runs out of memory.
bool XzEncode(std::span<const uint8_t> input, const XzEncodeOptions& options, std::vector<uint8_t>& output);

}  // namespace palisade::format
