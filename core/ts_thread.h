#pragma once
// Threads: one that owns a queue of texts and works through them one at a
// time, in the order they were posted; a plain thread; and a lock with a
// condition, for threads that hand work to each other.
#include <windows.h>

#include <deque>
#include <optional>

#include "core/ts_text.h"

namespace ts {

// A lock with one condition that waiting threads are woken by.
class Monitor {
 public:
  void Lock() { AcquireSRWLockExclusive(&lock_); }
  void Unlock() { ReleaseSRWLockExclusive(&lock_); }
  // With the lock held: gives it up until another thread calls NotifyAll,
  // then holds it again. Callers test their condition again on return.
  void Wait() { SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0); }
  void NotifyAll() { WakeAllConditionVariable(&changed_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
};

class Thread {
 public:
  Thread() = default;
  ~Thread() { Join(); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // False when the thread could not be created.
  bool Start(LPTHREAD_START_ROUTINE body, void* argument);
  bool Running() const { return handle_ != nullptr; }
  // Waits for the thread's end; nothing when it never started.
  void Join();

 private:
  HANDLE handle_ = nullptr;
};

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
