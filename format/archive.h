#pragma once
// The archive data: a sequence of chunks (i32 stored size, u32 checksum of
// the stored bytes, stored bytes), whose decoded contents joined in order
// form the record stream (u32 length + record bytes, per file entry).
// Chunk boundaries fall anywhere in that stream, even inside a length.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "format/archive_source.h"
#include "format/errors.h"
#include "format/payload_cipher.h"
#include "format/xz.h"

namespace palisade::format {

struct ChunkCoding {
  bool compressed = false;                // `ProductFlags` low kArchiveCompressed
  const PayloadCipher* cipher = nullptr;  // set when `ProductFlags2` has kEnciphered
};

// The stored bytes of one chunk: compressed first, enciphered second. A pure
// function of its arguments, so chunks can be encoded in any order or in
// parallel. False when compression fails.
bool EncodeChunk(std::span<const uint8_t> plain, const ChunkCoding& coding, const XzEncodeOptions& options,
                 std::vector<uint8_t>& stored);

// Turns one chunk's stored bytes back into its plain bytes a piece at a
// time: deciphering, then decompressing, so that neither the whole stored
// chunk nor the whole plain chunk is ever copied.
class ChunkDecoder {
 public:
  enum class Step { kMore, kEnd, kFailed };

  // Begins the chunk whose `size` stored bytes start at `offset` of
  // `source`; false when its cipher trailer names an impossible length or
  // the decompressor cannot start. `source` must outlive the decoding.
  bool Start(ArchiveSource& source, std::size_t offset, std::size_t size, const ChunkCoding& coding);
  // Writes up to `output.size()` plain bytes, counted in `produced`. kEnd
  // once every plain byte has been written; kFailed when the chunk does not
  // decode.
  Step Read(std::span<uint8_t> output, std::size_t& produced);

 private:
  // The next stored bytes as they are after deciphering; empty at the end.
  std::span<const uint8_t> NextDeciphered();

  ArchiveSource* source_ = nullptr;
  std::size_t offset_ = 0;
  ChunkCoding coding_;
  std::size_t plainLength_ = 0;     // deciphered bytes that count: no padding, no trailer
  std::size_t deciphered_ = 0;      // of plainLength_, deciphered so far
  std::vector<uint8_t> piece_;      // the piece read and deciphered last
  std::span<const uint8_t> input_;  // deciphered bytes not yet decompressed or copied
  XzStreamDecoder xz_;
};

// The whole plain chunk at once, for tools that take chunks one by one;
// false when it does not decipher or decompress.
bool DecodeChunk(std::span<const uint8_t> stored, const ChunkCoding& coding, std::vector<uint8_t>& plain);

// Frames stored bytes as a chunk at the end of `archive`; false (nothing
// appended) when they are empty or longer than an i32 counts.
bool AppendChunk(std::span<const uint8_t> stored, std::vector<uint8_t>& archive);

// Cuts the record stream into plain chunks of `chunkSize` bytes (the last
// one shorter) and hands each to the sink as soon as it is full, so that
// records of any size stream through bounded memory.
class RecordStreamWriter {
 public:
  using ChunkSink = std::function<void(std::vector<uint8_t> plainChunk)>;

  // `chunkSize` must be at least 1.
  RecordStreamWriter(std::size_t chunkSize, ChunkSink sink) : chunkSize_(chunkSize), sink_(std::move(sink)) {}

  // False (nothing written) for a record longer than a u32 counts.
  bool AddRecord(std::span<const uint8_t> record);
  // Hands over the last, partly filled chunk, if any.
  void Finish();

 private:
  void Append(std::span<const uint8_t> bytes);

  std::size_t chunkSize_;
  ChunkSink sink_;
  std::vector<uint8_t> pending_;
};

// Reads the records of an archive from its source. A chunk's checksum is
// tested when the stream first needs one of its bytes, before any is
// decoded; its bytes are then decoded only as records take them, so that
// memory holds a window of the stream, not a whole chunk.
class ArchiveReader {
 public:
  ArchiveReader(ArchiveSource& archive, ChunkCoding coding) : archive_(archive), coding_(coding) {}
  ArchiveReader(std::span<const uint8_t> archive, ChunkCoding coding)
      : memory_(archive), archive_(memory_), coding_(coding) {}
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Replaces `record` with the next record's bytes. A chunk that runs out
  // of archive, or an archive that ends inside a record, is
  // Error::kChunkPastEnd; memory for a record grows only with the bytes
  // found for it, whatever length the record claims.
  Error NextRecord(std::vector<uint8_t>& record);

  // A record taken in parts: its length first, then its bytes (together
  // exactly that length) by TakeRecord, or by Take and TakeInPieces.
  Error NextRecordLength(uint32_t& length);
  // Replaces `record` with the `claimed` bytes of a record.
  Error TakeRecord(uint32_t claimed, std::vector<uint8_t>& record);
  // Appends `count` bytes from the stream's front to `out`; memory grows
  // only with the bytes found.
  Error Take(std::size_t count, std::vector<uint8_t>& out);
  // Hands the next `count` bytes to `sink` a window at a time, so that no
  // more than a window is ever held for them.
  Error TakeInPieces(std::size_t count, const std::function<void(std::span<const uint8_t>)>& sink);

  // After the last record: Error::kArchiveBytesLeft when chunks remain,
  // else Error::kRecordBytesLeft when the stream holds more bytes, or
  // Error::kChunkNotDecoded when the last chunk does not end cleanly.
  Error Finish();

 private:
  Error StartNextChunk();
  // Refills the window from the open chunk, starting the next chunk as
  // needed; false with `error` set when the stream cannot go on.
  Error Refill();
  // At most the stream bytes left: what the window holds plus every stored
  // byte from the open chunk on (deciphering and copying never grow them).
  std::size_t UncompressedBytesLeftAtMost() const;
  std::size_t WindowBytes() const { return windowEnd_ - windowStart_; }

  MemoryArchiveSource memory_{{}};
  ArchiveSource& archive_;
  ChunkCoding coding_;
  std::size_t position_ = 0;    // archive bytes of the chunks started so far
  std::size_t chunkBegin_ = 0;  // where the open chunk's stored bytes begin
  bool chunkOpen_ = false;
  ChunkDecoder chunk_;
  std::vector<uint8_t> window_;
  std::size_t windowStart_ = 0;
  std::size_t windowEnd_ = 0;
};

}  // namespace palisade::format
