#include "core/ts_thread.h"

namespace ts {

bool Thread::Start(LPTHREAD_START_ROUTINE body, void* argument) {
  handle_ = CreateThread(nullptr, 0, body, argument, 0, nullptr);
  return handle_ != nullptr;
}

void Thread::Join() {
  if (!handle_) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

WorkerThread::WorkerThread() { InitializeCriticalSection(&lock_); }

WorkerThread::~WorkerThread() {
  if (posted_) CloseHandle(posted_);
  DeleteCriticalSection(&lock_);
}

bool WorkerThread::Start(Handler handler, int priority) {
  handler_ = handler;
  posted_ = CreateSemaphoreW(nullptr, 0, MAXLONG, nullptr);
  if (!posted_) return false;
  thread_ = CreateThread(nullptr, 0, Main, this, CREATE_SUSPENDED, nullptr);
  if (!thread_) return false;
  SetThreadPriority(thread_, priority);
  ResumeThread(thread_);
  return true;
}

void WorkerThread::Post(Text item) {
  EnterCriticalSection(&lock_);
  queue_.push_back(std::move(item));
  LeaveCriticalSection(&lock_);
  ReleaseSemaphore(posted_, 1, nullptr);
}

bool WorkerThread::StopAndWait(DWORD limitMs) {
  if (!thread_) return true;
  EnterCriticalSection(&lock_);
  queue_.push_back(std::nullopt);
  LeaveCriticalSection(&lock_);
  ReleaseSemaphore(posted_, 1, nullptr);
  bool ended = WaitForSingleObject(thread_, limitMs) == WAIT_OBJECT_0;
  CloseHandle(thread_);
  thread_ = nullptr;
  return ended;
}

std::optional<Text> WorkerThread::Take() {
  WaitForSingleObject(posted_, INFINITE);
  EnterCriticalSection(&lock_);
  std::optional<Text> item = std::move(queue_.front());
  queue_.pop_front();
  LeaveCriticalSection(&lock_);
  return item;
}

DWORD WINAPI WorkerThread::Main(void* self) {
  WorkerThread& worker = *static_cast<WorkerThread*>(self);
  while (std::optional<Text> item = worker.Take()) worker.handler_(*item);
  return 0;
}

}  // namespace ts
