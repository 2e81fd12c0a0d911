#pragma once
// Opens a setup executable the way the engine does, with every check the
// engine makes, for `inspect` and `extract`. A damaged installer is
// reported with the engine's error number, so that what the user sees
// here matches what the installer would say.
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "builder/mapped_file.h"
#include "format/errors.h"
#include "format/file_record.h"
#include "format/payload_cipher.h"
#include "format/payload_header.h"
#include "format/pe_image.h"
#include "format/setup_script.h"

namespace palisade::builder {

struct OpenedInstaller {
  MappedFile file;
  format::SectionLocation section;
  format::PayloadHeader header;
  std::optional<format::PayloadCipher> cipher;
  format::SetupScript script;
  std::span<const uint8_t> archive;
  bool stubMatches = false;  // the stub checksum holds, whether or not the engine tests it
};

// "corrupt installer: error 62 (a chunk's stored bytes do not match its
// checksum)".
std::string CorruptInstaller(format::Error error);

// Reads the header and the script and checks the stub and the archive as a
// whole. False with a reason when the file is not a sound installer.
bool OpenInstaller(const std::filesystem::path& path, OpenedInstaller& installer, std::string& problem);

// Reads every file record, checking each chunk and file; `onFile` gets the
// records in stored order. False with a reason at the first damage.
bool ReadInstalledFiles(const OpenedInstaller& installer,
                        const std::function<bool(std::size_t index, const format::FileRecord& record)>& onFile,
                        std::string& problem);

}  // namespace palisade::builder
