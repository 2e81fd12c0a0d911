#include "builder/chunk_pipeline.h"

#include <algorithm>

namespace palisade::builder {

ChunkPipeline::ChunkPipeline(unsigned workers, Encoder encode, Writer write)
    : encode_(std::move(encode)), write_(std::move(write)), capacity_(2 * std::max(workers, 1u) + 1) {
  for (unsigned i = 0; i < std::max(workers, 1u); ++i) threads_.emplace_back([this] { Work(); });
}

ChunkPipeline::~ChunkPipeline() { Finish(); }

bool ChunkPipeline::Submit(std::vector<uint8_t> plain) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return failed_ || submitted_ - written_ < capacity_; });
  if (failed_) return false;
  waiting_.emplace(submitted_++, std::move(plain));
  changed_.notify_all();
  return true;
}

bool ChunkPipeline::Finish() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || written_ == submitted_; });
    stopping_ = true;
    changed_.notify_all();
  }
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  return !failed_;
}

void ChunkPipeline::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || failed_ || !waiting_.empty(); });
    if (stopping_ || failed_) return;
    auto [index, plain] = std::move(*waiting_.begin());
    waiting_.erase(waiting_.begin());
    lock.unlock();
    std::vector<uint8_t> stored;
    bool ok = encode_(plain, stored);
    lock.lock();
    failed_ = failed_ || !ok;
    encoded_.emplace(index, std::move(stored));
    WriteReady();
    changed_.notify_all();
  }
}

void ChunkPipeline::WriteReady() {
  while (!failed_ && !encoded_.empty() && encoded_.begin()->first == written_) {
    failed_ = !write_(encoded_.begin()->second);
    encoded_.erase(encoded_.begin());
    ++written_;
  }
}

}  // namespace palisade::builder
