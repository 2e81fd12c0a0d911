#pragma once
// Writes a setup executable: the engine with a ".setup" section holding the
// payload header, the encoded setup script and the archive of the
// project's files. Files are read once, in pieces; chunks are compressed in
// parallel; the output is the same for the same inputs, however many
// threads ran.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "builder/project.h"

namespace palisade::builder {

struct WriteOptions {
  std::filesystem::path engine;
  std::filesystem::path output;
  unsigned jobs = 1;
  // Told how many bytes of file data were read; may be empty.
  std::function<void(uint64_t)> progress;
};

struct WrittenInstaller {
  uint64_t size = 0;           // of the whole executable
  uint64_t archiveLength = 0;  // the files as stored: compressed, framed
};

// False with a reason when the installer cannot be written; the output
// file then does not exist.
bool WriteInstaller(const Project& project, const WriteOptions& options, WrittenInstaller& written,
                    std::string& problem);

// The key of an enciphered installer whose project gives none: a hash of
// the script and the file list, so that the same inputs give the same key.
std::array<uint8_t, format::kPayloadKeySize> DerivedKey(std::span<const uint8_t> script,
                                                        const std::vector<FileSource>& files);

}  // namespace palisade::builder
