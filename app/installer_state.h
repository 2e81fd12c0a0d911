#pragma once
// The one process-wide record of a run, alive from start to exit.
#include <windows.h>

#include <cstdint>

#include "core/ts_core.h"

namespace palisade {

enum class Bitness : uint8_t { kEither = 0, k64Bit = 1, k32BitOnly = 2 };

struct RunFlags {
  bool automatic = false;  // take every default, ask nothing
  bool silent = false;     // no window at all; implies automatic
  bool uninstall = false;
  bool minimised = false;  // the background window starts minimised
};

// What the command line can set or override besides the run flags.
struct CommandLineValues {
  ts::WText installFolder;
  ts::WText productName;
  ts::WText uninstallName;
  ts::WText runAfterInstall;
  // Appended to the pre-installation, post-installation and exit batches;
  // in the system's ANSI code page, as the command interpreter reads them.
  ts::Text batchAdditions[3];
};

struct InstallerState {
  ts::WText defaultCaption;
  ts::Text defaultCaptionNarrow;
  HINSTANCE instance = nullptr;
  RunFlags flags;
  CommandLineValues commandLine;
  ts::Vector<ts::WText> messages;  // the chosen language's message table
  HWND backgroundWindow = nullptr;
  HWND openPage = nullptr;
};

extern InstallerState g_installer;

}  // namespace palisade
