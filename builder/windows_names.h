#pragma once
// Names that a Windows folder can hold. A file packed under a name that
// Windows refuses (or reads as a device) would fail on every target
// machine, so the builder refuses it while the author can still rename it.
#include <optional>
#include <string>
#include <string_view>

namespace palisade::builder {

// Why `name` (one step of a path, UTF-8) cannot be a file or folder name on
// Windows: a character Windows refuses, a device name such as "con" or
// "com1" (with any extension), or a trailing dot or blank. Nothing for a
// good name.
std::optional<std::string> WindowsNameProblem(std::string_view name);

// The same for each step of `path`, split at `separator`.
std::optional<std::string> WindowsPathProblem(std::string_view path, char separator);

}  // namespace palisade::builder
