#pragma once
// The `palisade` command line: build, inspect, extract, try, init. main() only hands
// over its arguments, so tests run the same commands in-process.
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "builder/environment_variables.h"

namespace palisade::builder {

inline constexpr char kBuilderVersion[] = PALISADE_BUILDER_VERSION;

struct Environment {
  std::filesystem::path selfPath;  // the running `palisade`, beside or below which the engine lies
  std::optional<std::string> sourceDateEpoch;
  bool terminal = false;  // standard error is a terminal: show progress
  VariableLookup variables;  // the environment, for "${NAME}" in project files
  std::filesystem::path workingFolder;  // where `init` writes its project file
};

// Exit status: 0 success; 1 a failure while working (unreadable or damaged
// installer, output not writable); 2 a usage error or a bad project file;
// 3 (try) this machine cannot run the installer.
int RunCommand(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
               std::ostream& err);

}  // namespace palisade::builder
