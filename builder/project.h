#pragma once
// A project file read into what the installer will carry: the setup
// script, the second flag word, the files to pack and how to pack them.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "builder/diagnostics.h"
#include "builder/environment_variables.h"
#include "builder/setup_resources.h"
#include "builder/signing.h"
#include "format/file_record.h"
#include "format/payload_cipher.h"
#include "format/setup_script.h"
#include "format/xz.h"

namespace palisade::builder {

struct FileSource {
  std::filesystem::path source;
  uint64_t size = 0;
  format::FileRecord record;  // every field but the data
  int line = 0;               // of the [[files]] entry's "from", for messages
};

struct Project {
  format::SetupScript script;
  uint32_t productFlags2 = 0;
  std::vector<FileSource> files;
  format::XzEncodeOptions xz;
  std::size_t chunkSize = 1 << 20;  // plain bytes per archive chunk
  // Set by the project; otherwise an enciphered installer derives its key.
  std::optional<std::array<uint8_t, format::kPayloadKeySize>> key;
  SetupIdentity identity;  // the setup executable's icon and version resource
  SigningSettings signing;  // [signing]; used by `palisade build --sign`
  // The other files the project names and the build read (pictures,
  // licences, message tables...), for `palisade build --depfile`.
  std::vector<std::filesystem::path> readFiles;
};

struct ReadOptions {
  // Newer file times are clamped to it, for reproducible builds.
  std::optional<int64_t> sourceDateEpoch;
  // For the "${NAME}" references in the project's texts.
  VariableLookup environment;
  // A compression profile's name, over the project's [compression] profile.
  std::optional<std::string> compression;
  // The variable the command line names for the signing password, which
  // no "${NAME}" may take into the installer; the project's own
  // [signing] password-env is refused as well.
  std::string signingPasswordVariable;
};

// The bytes of every file the project packs.
uint64_t PayloadBytes(const Project& project);

// Reads `path` and every file it names. Every problem goes to
// `diagnostics`; the project is complete only when there is none.
void ReadProject(const std::filesystem::path& path, const ReadOptions& options, Project& project,
                 Diagnostics& diagnostics);

}  // namespace palisade::builder
