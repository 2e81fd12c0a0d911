#pragma once
// A thread that owns a queue of texts and works through them one at a time,
// in the order they were posted.
#include <windows.h>

#include <deque>
#include <optional>

#include "core/ts_text.h"

namespace ts {

class WorkerThread {
 public:
  using Handler = void (*)(const Text& item);

  WorkerThread();
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Creates the thread suspended, gives it its priority and resumes it.
  // False when the thread could not be created.
  bool Start(Handler handler, int priority);
  bool Running() const { return thread_ != nullptr; }
  // Returns at once; the thread takes the item when it is done with the
  // ones posted before it.
  void Post(Text item);
  // Posts the quit message behind every item still queued, waits for the
  // thread to end, at most `limitMs`, and releases it. False when the
  // thread was still at work when the time was up.
  bool StopAndWait(DWORD limitMs);

 private:
  static DWORD WINAPI Main(void* self);
  // An empty item is the quit message.
  std::optional<Text> Take();

  CRITICAL_SECTION lock_;
  HANDLE posted_ = nullptr;  // a semaphore counting the queued items
  std::deque<std::optional<Text>> queue_;
  HANDLE thread_ = nullptr;
  Handler handler_ = nullptr;
};

}  // namespace ts
