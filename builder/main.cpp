// palisade: builds setup executables from project files.
#include <cstdlib>
#include <iostream>

#include "builder/cli.h"
#include "builder/progress_bar.h"

int main(int argc, char** argv) {
  palisade::builder::Environment environment;
  std::error_code error;
  environment.selfPath = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) environment.selfPath = argv[0];
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) environment.sourceDateEpoch = epoch;
  environment.terminal = palisade::builder::StandardErrorIsTerminal();
  environment.variables = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  };
  environment.workingFolder = std::filesystem::current_path(error);
  std::vector<std::string> args(argv + 1, argv + argc);
  return palisade::builder::RunCommand(args, environment, std::cout, std::cerr);
}
