#pragma once
// `palisade try`: installs a product silently in a throwaway Wine prefix,
// uninstalls it with the command its uninstall entry names, and reports
// what the installation added and what the uninstallation left behind.
#include <filesystem>
#include <ostream>

namespace palisade::builder {

struct TryOptions {
  std::filesystem::path installer;
  std::filesystem::path selfPath;  // the running `palisade`; a prefix template may lie beside its folder
  bool json = false;
  bool keepPrefix = false;
};

// Exit status: 0 nothing left behind, 1 something left, 2 Wine missing or
// the prefix not made.
int TryInstaller(const TryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace palisade::builder
