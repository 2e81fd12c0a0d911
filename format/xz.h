#pragma once
// xz compression of the script block and the archive chunks. Decoding
// accepts several concatenated xz streams as one; encoding is deterministic,
// so the same input and options always give the same bytes.
#include <cstdint>
#include <functional>
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

// Replaces `output` with the decoded data; false when the input is not
// complete, valid xz or when `progress` asked to stop.
bool XzDecode(std::span<const uint8_t> input, std::vector<uint8_t>& output, const XzProgress* progress = nullptr);

// Replaces `output` with one xz stream holding `input`; false for an
// invalid preset or when the encoder runs out of memory.
bool XzEncode(std::span<const uint8_t> input, const XzEncodeOptions& options, std::vector<uint8_t>& output);

}  // namespace palisade::format
