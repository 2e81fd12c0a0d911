#pragma once
// `palisade inspect`: what an installer carries, in the project file's own
// terms (named options, words for stored numbers), as TOML-like text or
// as JSON.
#include <toml++/toml.h>

#include <filesystem>
#include <ostream>

#include "builder/installer_reader.h"

namespace palisade::builder {

// The header, the named options, the settings, the lists and the file
// table. The archive is read whole, so every checksum is tested.
bool DescribeInstaller(const OpenedInstaller& installer, toml::table& description, std::string& problem);

// Exit status: 0, or 1 for a damaged or unreadable installer.
int Inspect(const std::filesystem::path& path, bool json, std::ostream& out, std::ostream& err);

}  // namespace palisade::builder
