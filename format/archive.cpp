#include "format/archive.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "format/byte_order.h"
#include "format/byte_stream.h"
#include "format/checksum.h"

namespace palisade::format {
namespace {

constexpr std::size_t kChunkHeadSize = 8;
constexpr std::size_t kLengthSize = 4;
constexpr std::size_t kCipherBlock = 8;
// Stored bytes are read and deciphered a piece at a time; a whole number of
// cipher blocks.
constexpr std::size_t kReadPiece = 64 * 1024;
// The decoded stream passes through a window of this size on its way into
// the records.
constexpr std::size_t kWindowSize = 256 * 1024;

}  // namespace

bool EncodeChunk(std::span<const uint8_t> plain, const ChunkCoding& coding, const XzEncodeOptions& options,
                 std::vector<uint8_t>& stored) {
  std::vector<uint8_t> compressed;
  if (coding.compressed) {
    if (!XzEncode(plain, options, compressed)) return false;
  } else {
    compressed.assign(plain.begin(), plain.end());
  }
  stored = coding.cipher != nullptr ? coding.cipher->Encipher(compressed) : std::move(compressed);
  return true;
}

bool ChunkDecoder::Start(ArchiveSource& source, std::size_t offset, std::size_t size, const ChunkCoding& coding) {
  source_ = &source;
  offset_ = offset;
  coding_ = coding;
  deciphered_ = 0;
  input_ = {};
  plainLength_ = size;
  if (coding.cipher != nullptr) {
    // The length trailer is in the last block; a size too small for one
    // fails the length check without being read.
    uint8_t last[kCipherBlock] = {};
    if (size >= kCipherBlock) source.Read(offset + size - kCipherBlock, last);
    std::optional<std::size_t> length = coding.cipher->PlainLength(size, last);
    if (!length) return false;
    plainLength_ = *length;
  }
  return !coding.compressed || xz_.Start();
}

std::span<const uint8_t> ChunkDecoder::NextDeciphered() {
  std::size_t count = std::min(plainLength_ - deciphered_, kReadPiece);
  // Every piece but the last is whole blocks, so each starts on a block;
  // the last may need the rest of its block from the padding.
  std::size_t blocks = coding_.cipher != nullptr ? (count + kCipherBlock - 1) / kCipherBlock * kCipherBlock : count;
  piece_.resize(blocks);
  source_->Read(offset_ + deciphered_, piece_);
  if (coding_.cipher != nullptr) coding_.cipher->DecipherBlocks(piece_);
  deciphered_ += count;
  return std::span<const uint8_t>(piece_).first(count);
}

ChunkDecoder::Step ChunkDecoder::Read(std::span<uint8_t> output, std::size_t& produced) {
  produced = 0;
  for (;;) {
    if (input_.empty() && deciphered_ < plainLength_) input_ = NextDeciphered();
    const bool lastInput = deciphered_ == plainLength_;
    if (!coding_.compressed) {
      produced = std::min(output.size(), input_.size());
      std::copy_n(input_.begin(), produced, output.begin());
      input_ = input_.subspan(produced);
      return input_.empty() && lastInput ? Step::kEnd : Step::kMore;
    }
    XzStreamDecoder::Step step = xz_.Decode(input_, lastInput, output, produced);
    if (step == XzStreamDecoder::Step::kEnd) return Step::kEnd;
    if (step == XzStreamDecoder::Step::kFailed) return Step::kFailed;
    // Nothing written yet: the decompressor has taken all it was given.
    if (produced > 0 || output.empty()) return Step::kMore;
  }
}

bool DecodeChunk(std::span<const uint8_t> stored, const ChunkCoding& coding, std::vector<uint8_t>& plain) {
  plain.clear();
  MemoryArchiveSource source(stored);
  ChunkDecoder decoder;
  if (!decoder.Start(source, 0, stored.size(), coding)) return false;
  std::vector<uint8_t> window(kWindowSize);
  for (;;) {
    std::size_t produced = 0;
    ChunkDecoder::Step step = decoder.Read(window, produced);
    plain.insert(plain.end(), window.begin(), window.begin() + static_cast<std::ptrdiff_t>(produced));
    if (step != ChunkDecoder::Step::kMore) return step == ChunkDecoder::Step::kEnd;
  }
}

bool AppendChunk(std::span<const uint8_t> stored, std::vector<uint8_t>& archive) {
  if (stored.empty() || stored.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return false;
  ByteWriter writer(archive);
  writer.I32(static_cast<int32_t>(stored.size()));
  writer.U32(Checksum(stored));
  writer.Bytes(stored);
  return true;
}

bool RecordStreamWriter::AddRecord(std::span<const uint8_t> record) {
  if (record.size() > std::numeric_limits<uint32_t>::max()) return false;
  uint8_t length[kLengthSize];
  StoreLe32(length, static_cast<uint32_t>(record.size()));
  Append(length);
  Append(record);
  return true;
}

void RecordStreamWriter::Append(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    std::size_t room = std::min(chunkSize_ - pending_.size(), bytes.size());
    pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(room));
    bytes = bytes.subspan(room);
    if (pending_.size() == chunkSize_) sink_(std::exchange(pending_, {}));
  }
}

void RecordStreamWriter::Finish() {
  if (!pending_.empty()) sink_(std::exchange(pending_, {}));
}

Error ArchiveReader::StartNextChunk() {
  const std::size_t left = archive_.size() - position_;
  if (left < kChunkHeadSize) return Error::kChunkPastEnd;
  uint8_t head[kChunkHeadSize];
  archive_.Read(position_, head);
  const int32_t storedSize = static_cast<int32_t>(LoadLe32(head));
  const uint32_t checksum = LoadLe32(head + 4);
  if (storedSize <= 0) return Error::kChunkSize;
  const std::size_t size = static_cast<std::size_t>(storedSize);
  if (size > left - kChunkHeadSize) return Error::kChunkPastEnd;
  const std::size_t begin = position_ + kChunkHeadSize;
  if (ChecksumOf(archive_, begin, size) != checksum) return Error::kChunkChecksum;
  if (!chunk_.Start(archive_, begin, size, coding_)) return Error::kChunkNotDecoded;
  chunkBegin_ = begin;
  position_ = begin + size;
  chunkOpen_ = true;
  return Error::kNone;
}

Error ArchiveReader::Refill() {
  window_.resize(kWindowSize);
  windowStart_ = windowEnd_ = 0;
  // A chunk may end without a further byte, and a chunk may be empty.
  while (windowEnd_ == 0) {
    if (!chunkOpen_) {
      if (Error error = StartNextChunk(); error != Error::kNone) return error;
    }
    ChunkDecoder::Step step = chunk_.Read(window_, windowEnd_);
    if (step == ChunkDecoder::Step::kFailed) return Error::kChunkNotDecoded;
    if (step == ChunkDecoder::Step::kEnd) chunkOpen_ = false;
  }
  return Error::kNone;
}

std::size_t ArchiveReader::UncompressedBytesLeftAtMost() const {
  return WindowBytes() + (archive_.size() - (chunkOpen_ ? chunkBegin_ : position_));
}

Error ArchiveReader::TakeInPieces(std::size_t count, const std::function<void(std::span<const uint8_t>)>& sink) {
  while (count > 0) {
    if (WindowBytes() == 0) {
      if (Error error = Refill(); error != Error::kNone) return error;
    }
    std::size_t piece = std::min(count, WindowBytes());
    sink(std::span<const uint8_t>(window_).subspan(windowStart_, piece));
    windowStart_ += piece;
    count -= piece;
  }
  return Error::kNone;
}

Error ArchiveReader::Take(std::size_t count, std::vector<uint8_t>& out) {
  const std::size_t wanted = out.size() + count;
  return TakeInPieces(count, [&out, wanted](std::span<const uint8_t> piece) {
    // Grows with the bytes taken, never past what was asked for.
    if (out.capacity() < out.size() + piece.size()) {
      out.reserve(std::min(wanted, std::max(2 * out.capacity(), out.size() + piece.size())));
    }
    out.insert(out.end(), piece.begin(), piece.end());
  });
}

Error ArchiveReader::NextRecordLength(uint32_t& length) {
  std::vector<uint8_t> bytes;
  if (Error error = Take(kLengthSize, bytes); error != Error::kNone) return error;
  length = LoadLe32(bytes.data());
  return Error::kNone;
}

Error ArchiveReader::NextRecord(std::vector<uint8_t>& record) {
  uint32_t claimed = 0;
  if (Error error = NextRecordLength(claimed); error != Error::kNone) return error;
  return TakeRecord(claimed, record);
}

// The length comes from the payload: memory is reserved only for bytes
// that are there, so that a damaged length ends in the corrupt-installer
// report rather than in a failed allocation. Chunks stored uncompressed
// yield no more record bytes than they store (deciphering only shrinks
// them), which bounds the length at once; a compressed record grows with
// the bytes decoded for it.
Error ArchiveReader::TakeRecord(uint32_t claimed, std::vector<uint8_t>& record) {
  record.clear();
  if (!coding_.compressed) {
    if (claimed > UncompressedBytesLeftAtMost()) return Error::kChunkPastEnd;
    record.reserve(claimed);
  }
  return Take(claimed, record);
}

Error ArchiveReader::Finish() {
  if (position_ < archive_.size()) return Error::kArchiveBytesLeft;
  if (WindowBytes() > 0) return Error::kRecordBytesLeft;
  // The last chunk must end where the last record does, and end cleanly.
  while (chunkOpen_) {
    uint8_t probe[1];
    std::size_t produced = 0;
    ChunkDecoder::Step step = chunk_.Read(probe, produced);
    if (step == ChunkDecoder::Step::kFailed) return Error::kChunkNotDecoded;
    if (produced > 0) return Error::kRecordBytesLeft;
    chunkOpen_ = step != ChunkDecoder::Step::kEnd;
  }
  return Error::kNone;
}

}  // namespace palisade::format
