#pragma once
// Runs another program (osslsigncode, wine) and collects what it says.
#include <string>
#include <vector>

namespace palisade::builder {

struct ChildResult {
  int startError = 0;  // errno of a failed start (ENOENT: not installed); 0 when it ran
  int exitCode = -1;   // -1 when it did not end normally
  std::string output;  // standard output and standard error together
};

// Runs `argv` (looked up on PATH) with standard input from /dev/null and
// `environment` (NAME=VALUE) added to this process's environment.
ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});

}  // namespace palisade::builder
