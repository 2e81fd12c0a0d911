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

bool DecodeChunk(std::span<const uint8_t> stored, const ChunkCoding& coding, std::vector<uint8_t>& plain) {
  std::vector<uint8_t> deciphered;
  if (coding.cipher != nullptr) {
    if (!coding.cipher->Decipher(stored, deciphered)) return false;
  } else {
    deciphered.assign(stored.begin(), stored.end());
  }
  if (!coding.compressed) {
    plain = std::move(deciphered);
    return true;
  }
  return XzDecode(deciphered, plain);
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

Error ArchiveReader::DecodeNextChunk() {
  std::span<const uint8_t> rest = archive_.subspan(position_);
  if (rest.size() < kChunkHeadSize) return Error::kChunkPastEnd;
  ByteReader head(rest);
  int32_t storedSize = head.I32();
  uint32_t checksum = head.U32();
  if (storedSize <= 0) return Error::kChunkSize;
  if (static_cast<std::size_t>(storedSize) > head.remaining()) return Error::kChunkPastEnd;
  std::span<const uint8_t> stored = head.View(static_cast<std::size_t>(storedSize));
  if (Checksum(stored) != checksum) return Error::kChunkChecksum;
  std::vector<uint8_t> plain;
  if (!DecodeChunk(stored, coding_, plain)) return Error::kChunkNotDecoded;
  position_ += head.position();
  if (!plain.empty()) chunks_.push_back(std::move(plain));
  return Error::kNone;
}

std::size_t ArchiveReader::DecodedBytesLeft() const {
  std::size_t decoded = 0;
  for (const std::vector<uint8_t>& chunk : chunks_) decoded += chunk.size();
  return decoded - frontTaken_;
}

Error ArchiveReader::Take(std::size_t count, std::vector<uint8_t>& out) {
  const std::size_t wanted = out.size() + count;
  while (count > 0) {
    if (chunks_.empty()) {
      if (Error error = DecodeNextChunk(); error != Error::kNone) return error;
      continue;
    }
    const std::vector<uint8_t>& front = chunks_.front();
    std::size_t piece = std::min(count, front.size() - frontTaken_);
    auto begin = front.begin() + static_cast<std::ptrdiff_t>(frontTaken_);
    // Grows with the bytes taken, never past what was asked for.
    if (out.capacity() < out.size() + piece) {
      out.reserve(std::min(wanted, std::max(2 * out.capacity(), out.size() + piece)));
    }
    out.insert(out.end(), begin, begin + static_cast<std::ptrdiff_t>(piece));
    frontTaken_ += piece;
    count -= piece;
    if (frontTaken_ == front.size()) {
      chunks_.pop_front();
      frontTaken_ = 0;
    }
  }
  return Error::kNone;
}

// The length comes from the payload: memory is reserved only for bytes
// that are there, so that a damaged length ends in the corrupt-installer
// report rather than in a failed allocation. Chunks stored uncompressed
// yield no more record bytes than they store (deciphering only shrinks
// them), which bounds the length at once; a compressed record grows with
// the bytes decoded for it.
Error ArchiveReader::NextRecord(std::vector<uint8_t>& record) {
  std::vector<uint8_t> length;
  if (Error error = Take(kLengthSize, length); error != Error::kNone) return error;
  const uint32_t claimed = LoadLe32(length.data());
  record.clear();
  if (!coding_.compressed) {
    if (claimed > DecodedBytesLeft() + (archive_.size() - position_)) return Error::kChunkPastEnd;
    record.reserve(claimed);
  }
  return Take(claimed, record);
}

Error ArchiveReader::Finish() const {
  if (position_ < archive_.size()) return Error::kArchiveBytesLeft;
  if (!chunks_.empty()) return Error::kRecordBytesLeft;
  return Error::kNone;
}

}  // namespace palisade::format
