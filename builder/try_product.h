#pragma once
// `palisade try`: installs a product silently in a throwaway Wine prefix,
// uninstalls it with the command its uninstall entry names, and reports
// what the installation added and what the uninstallation left behind.
#include <filesystem>
#include <ostream>

#include "builder/environment_variables.h"

namespace palisade::builder {

struct TryOptions {
  std::filesystem::path installer;
  std::filesystem::path selfPath;  // the running `palisade`; a prefix template may lie beside its folder
  bool json = false;
  bool keepPrefix = false;
  VariableLookup variables;  // the environment: PALISADE_WINDOWS_BITS
};

// Exit status: 0 nothing left behind, 1 something left, 2 not a Windows
// program or the prefix not made, 3 this machine cannot run the installer:
// no Wine, a Wine that cannot start, or a 32-bit installer where the kernel
// runs no 32-bit code.
int TryInstaller(const TryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace palisade::builder
