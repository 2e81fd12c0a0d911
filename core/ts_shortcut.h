#pragma once
// Shell links (".lnk" files) through the shell's own link object.
#include <windows.h>

#include "core/ts_text.h"

namespace ts {

struct ShellLinkFields {
  WText target;
  WText arguments;      // none when empty
  WText workingFolder;  // none when empty
  WText icon;           // the file whose first icon the link shows; none when empty
  int showCommand = 0;  // SW_SHOWMINNOACTIVE or SW_SHOWMAXIMIZED; 0 leaves the link's default
};

// Saves a link at `path`, whose folder must exist. S_OK, or the result of
// the step that failed.
HRESULT SaveShellLink(const WText& path, const ShellLinkFields& link);

}  // namespace ts
