#include "core/ts_memory.h"

#include <cstdlib>
#include <new>

#include "core/ts_fatal.h"
#include "core/ts_format.h"

namespace ts {
namespace {

bool g_handlerInstalled = false;
bool g_outOfMemory = false;
int g_handlerCalls = 0;
const char* g_advice = "";
MemoryReleaser* g_releasers[16];
int g_releaserCount = 0;

bool AnyReleaserFreedMemory() {
  bool freed = false;
  for (int i = 0; i < g_releaserCount; ++i) freed = g_releasers[i]->ReleaseMemory() || freed;
  return freed;
}

// Outside the stack, so that copying the words does not read the copy.
uint32_t g_stackWords[kReportStackWords];

[[noreturn]] __attribute__((noinline)) void ReportOutOfMemory(size_t requested) {
  // The markers open the dumped words so that a reader can find this frame.
  volatile uint32_t frame[2] = {0x11223344, 0x55667788};
  const volatile uint32_t* word = frame;
  for (int i = 0; i < kReportStackWords; ++i) g_stackWords[i] = word[i];
  FatalWithCrashReport(OutOfMemoryReport(g_advice, requested, g_stackWords));
}

void* Allocate(size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* memory = std::malloc(size)) return memory;
    if (!g_handlerInstalled) throw std::bad_alloc();
    OutOfMemoryHandler(size);
  }
}

}  // namespace

void SetOutOfMemoryAdvice(const char* advice) { g_advice = advice; }

void AddMemoryReleaser(MemoryReleaser* releaser) {
  if (g_releaserCount < static_cast<int>(sizeof g_releasers / sizeof g_releasers[0])) g_releasers[g_releaserCount++] = releaser;
}

void InstallOutOfMemoryHandler() { g_handlerInstalled = true; }
bool OutOfMemoryOccurred() { return g_outOfMemory; }

int OutOfMemoryHandler(size_t requested) {
  g_outOfMemory = true;
  if (++g_handlerCalls <= kMaxOutOfMemoryRetries && AnyReleaserFreedMemory()) return 1;
  ReportOutOfMemory(requested);
}

Text OutOfMemoryReport(const char* advice, size_t requested, const uint32_t (&stack)[kReportStackWords]) {
  Text report = Format("%s.\r\nAdvice: %s\r\nRequested size = %zu (0x%08zX)\r\n\r\nStack contents:", kOutOfMemoryTitle, advice,
                       requested, requested);
  for (int i = 0; i < kReportStackWords; ++i) report += Format(i % 8 == 0 ? "\r%08X" : " %08X", stack[i]);
  return report;
}

}  // namespace ts

// Every allocation of the engine goes through the handler above, which knows
// the size that was asked for (a standard new-handler does not).
void* operator new(size_t size) { return ts::Allocate(size); }
void* operator new[](size_t size) { return ts::Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
