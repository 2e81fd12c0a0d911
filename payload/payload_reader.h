#pragma once
// Finds and checks the setup payload carried in the installer's own
// ".setup" section.
#include "core/ts_core.h"

namespace palisade {

// Reports the installer as corrupt with the error code and ends the run.
[[noreturn]] void CorruptInstaller(int code);

struct PayloadSection {
  ts::WText installerPath;
  int64_t fileSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
};

// Opens the installer's own file and locates its ".setup" section; ends the
// run with the matching message when there is none or the headers are bad.
PayloadSection OpenPayloadSection(ts::File& installer);

}  // namespace palisade
