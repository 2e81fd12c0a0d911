#pragma once
// What happens when memory runs out: registered releasers are asked to give
// memory back and the allocation is retried; when nothing more can be had,
// the process ends with a report that shows the requested size and the
// handler's stack.
#include <cstddef>
#include <cstdint>

#include "core/ts_text.h"

namespace ts {

class MemoryReleaser {
 public:
  // True when something was freed, so that an allocation may succeed now.
  virtual bool ReleaseMemory() = 0;

 protected:
  ~MemoryReleaser() = default;
};

inline constexpr int kMaxOutOfMemoryRetries = 50000;
inline constexpr int kReportStackWords = 80;
// The report's first words, followed by a full stop.
inline constexpr char kOutOfMemoryTitle[] = "Out Of Memory";

void SetOutOfMemoryAdvice(const char* advice);
void AddMemoryReleaser(MemoryReleaser* releaser);
// Makes the handler below serve every failed allocation of operator new.
void InstallOutOfMemoryHandler();
// Stays true for the rest of the run once memory has run out.
bool OutOfMemoryOccurred();

// Returns 1 when the allocation should be retried; otherwise it does not
// return (the report goes to the fatal routine).
int OutOfMemoryHandler(size_t requested);

Text OutOfMemoryReport(const char* advice, size_t requested, const uint32_t (&stack)[kReportStackWords]);

}  // namespace ts
