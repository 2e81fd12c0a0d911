#pragma once
// Facts about the running Windows, gathered once and then only read.
#include "core/ts_text.h"

namespace ts {

struct SystemRecord {
  unsigned platform = 2;  // 0 Win32s, 1 Windows 9x, 2 NT
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
  unsigned productType = 1;  // 1 workstation, 2 domain controller, 3 server
  bool is64Bit = false;      // the operating system, not this process
  bool underWine = false;
  Text wineVersion;
};

const SystemRecord& System();
bool IsAtLeastServer2003OrVista();

enum class FolderKind { k32Bit = 1, k64Bit = 2 };
WText ProgramFilesFolder(FolderKind kind);

// Turns off the redirection that 64-bit Windows applies to this 32-bit
// process's file accesses, for the rest of the run. True on a system without
// redirection, where there is nothing to turn off.
bool DisableFileSystemRedirection();

}  // namespace ts
