#pragma once
// The record stream cut into chunks, fed piece by piece: a record's length
// first, then its bytes in as many pieces as the caller likes, so that a
// file of any size streams through a chunk-sized buffer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace palisade::builder {

class RecordStream {
 public:
  using ChunkSink = std::function<bool(std::vector<uint8_t> plainChunk)>;

  // `chunkSize` must be at least 1. A sink that returns false stops the
  // stream: every later call returns false.
  RecordStream(std::size_t chunkSize, ChunkSink sink) : chunkSize_(chunkSize), sink_(std::move(sink)) {}

  // Starts a record of `length` bytes; false for one longer than a u32.
  bool BeginRecord(uint64_t length);
  bool Append(std::span<const uint8_t> bytes);
  // Hands over the last, partly filled chunk.
  bool Finish();

 private:
  std::size_t chunkSize_;
  ChunkSink sink_;
  std::vector<uint8_t> pending_;
  bool ok_ = true;
};

}  // namespace palisade::builder
