#pragma once
// Environment variables in a project file: "${VERSION}" in any text takes
// the value the build's environment gives, so that a release script can
// hand in what changes from build to build.
#include <toml++/toml.h>

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "builder/diagnostics.h"

namespace palisade::builder {

// The value of an environment variable; nothing when it is not set.
using VariableLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Replaces every "${NAME}" in the texts of `root`, at any depth, with the
// variable's value; "$${" stands for a literal "${". A variable that is not
// set, and a "${" that does not name one, are reported at the text's line:
// the literal text would reach the installer unnoticed. The `secret`
// variables (the signing password's) are refused: anyone with the
// installer could read their values in it.
void ExpandEnvironmentVariables(toml::table& root, const VariableLookup& lookup,
                                std::span<const std::string> secret, Diagnostics& diagnostics);

}  // namespace palisade::builder
