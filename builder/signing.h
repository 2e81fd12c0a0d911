#pragma once
// Authenticode signing of a written installer through osslsigncode. The
// password never appears on a command line, where every user of the
// machine could read it: osslsigncode reads it from a file.
#include <filesystem>
#include <optional>
#include <string>

#include "builder/environment_variables.h"

namespace palisade::builder {

struct SigningSettings {
  std::filesystem::path pkcs12;       // certificate and key in one file, or
  std::filesystem::path certificate;  // the two apart
  std::filesystem::path key;
  std::string passwordVariable;       // an environment variable holding the password, or
  std::filesystem::path passwordFile; // a file holding it
  std::string timestampUrl;           // an RFC 3161 time-stamp server; empty: none
};

// Settings from the command line override those of the project file.
void MergeSigningSettings(const SigningSettings& overriding, SigningSettings& settings);

// Why the settings cannot sign (no certificate, a missing file, an unset
// variable); empty when they can. Checked before the build writes anything.
std::string SigningSettingsProblem(const SigningSettings& settings, const VariableLookup& environment);

// Signs `input` into `output`, which osslsigncode creates.
bool SignInstaller(const SigningSettings& settings, const VariableLookup& environment,
                   const std::filesystem::path& input, const std::filesystem::path& output, std::string& problem);

}  // namespace palisade::builder
