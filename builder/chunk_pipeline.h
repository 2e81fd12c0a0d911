#pragma once
// Encodes archive chunks on several threads and hands the results on in
// the order the chunks came in, so the output does not depend on how many
// threads ran. At most a fixed number of chunks wait or are in work at a
// time: Submit() blocks until there is room, which keeps memory bounded.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace palisade::builder {

class ChunkPipeline {
 public:
  using Encoder = std::function<bool(const std::vector<uint8_t>& plain, std::vector<uint8_t>& stored)>;
  // Called on one thread at a time, in submission order.
  using Writer = std::function<bool(const std::vector<uint8_t>& stored)>;

  ChunkPipeline(unsigned workers, Encoder encode, Writer write);
  ~ChunkPipeline();
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  // False once an encoding or a write has failed.
  bool Submit(std::vector<uint8_t> plain);
  // Waits for every chunk to be written; false when any step failed.
  bool Finish();

 private:
  void Work();
  // Writes the finished chunks that are next in order; called locked.
  void WriteReady();

  Encoder encode_;
  Writer write_;
  std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<uint64_t, std::vector<uint8_t>> waiting_;  // submitted, not yet taken by a worker
  std::map<uint64_t, std::vector<uint8_t>> encoded_;  // encoded, not yet written
  uint64_t submitted_ = 0;
  uint64_t written_ = 0;
  bool failed_ = false;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace palisade::builder
