#pragma once
// The archive data: a sequence of chunks (i32 stored size, u32 checksum of
// the stored bytes, stored bytes), whose decoded contents joined in order
// form the record stream (u32 length + record bytes, per file entry).
// Chunk boundaries fall anywhere in that stream, even inside a length.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

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

// Deciphers, then decompresses; false when either fails.
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

// Reads the records of an archive that stays in place (a mapped view),
// decoding a chunk only when the stream holds too few bytes for the record
// being read and dropping each chunk as soon as its last byte is taken.
class ArchiveReader {
 public:
  ArchiveReader(std::span<const uint8_t> archive, ChunkCoding coding) : archive_(archive), coding_(coding) {}

  // Replaces `record` with the next record's bytes. A chunk that runs out
  // of archive, or an archive that ends inside a record, is
  // Error::kChunkPastEnd; memory for a record grows only with the bytes
  // found for it, whatever length the record claims.
  Error NextRecord(std::vector<uint8_t>& record);

  // After the last record: Error::kArchiveBytesLeft when chunks remain,
  // else Error::kRecordBytesLeft when decoded bytes remain.
  Error Finish() const;

 private:
  Error DecodeNextChunk();
  // Appends `count` bytes from the stream's front to `out`.
  Error Take(std::size_t count, std::vector<uint8_t>& out);
  // Bytes of the decoded chunks not taken yet.
  std::size_t DecodedBytesLeft() const;

  std::span<const uint8_t> archive_;
  ChunkCoding coding_;
  std::size_t position_ = 0;
  std::deque<std::vector<uint8_t>> chunks_;
  std::size_t frontTaken_ = 0;  // bytes of chunks_.front() already taken
};

}  // namespace palisade::format
