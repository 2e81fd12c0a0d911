#pragma once
// Finds and checks the setup payload carried in the installer's own
// ".setup" section, decodes its setup script, derives the uninstaller image
// and locates the archive. Every inconsistency ends the run with the
// corrupt-installer report and its error number.
#include <memory>
#include <span>
#include <vector>

#include "core/ts_core.h"
#include "format/archive_source.h"
#include "format/errors.h"
#include "format/payload_cipher.h"
#include "format/payload_header.h"
#include "format/pe_image.h"

namespace palisade {

// Reports the installer as corrupt with the error code and ends the run.
[[noreturn]] void CorruptInstaller(int code);
[[noreturn]] void CorruptInstaller(format::Error error);

// The archive's bytes, read from the installer's own file a piece at a time
// wherever the script says they are found: the image's copy holds the same
// bytes, and touching all of its pages would cost memory in proportion to
// the payload.
class InstallerArchive final : public format::ArchiveSource {
 public:
  void Open(ts::File& file, int64_t offset, std::size_t length);

  std::size_t size() const override { return length_; }
  // A failed read ends the run with the fatal archive-read message.
  void Read(std::size_t offset, std::span<uint8_t> out) override;

 private:
  ts::File* file_ = nullptr;
  int64_t offset_ = 0;
  std::size_t length_ = 0;
};

struct Payload {
  ts::File file;  // the installer's own file, open for the whole run
  ts::WText installerPath;
  int64_t fileSize = 0;
  format::SectionLocation section;
  std::span<const uint8_t> mapped;  // the section in the running image
  format::PayloadHeader header;
  // On the heap: the cipher's tables would otherwise be 4 KB of the
  // engine's initialised data, in the file, for the process-wide payload.
  std::unique_ptr<format::PayloadCipher> cipher;
  std::vector<uint8_t> script;  // decoded
  // The uninstaller is the whole installer file unless the payload is
  // stripped from it; then these are the bytes to write.
  std::vector<uint8_t> strippedUninstaller;
  int64_t uninstallerLength = 0;
  InstallerArchive archive;
};

// Opens the installer's own file, finds the section and reads the header.
void OpenPayload(Payload& payload);
// Deciphers or unscrambles, decompresses and checks the setup script.
void DecodeSetupScript(Payload& payload);
// Reads the stub before the section, checks it when asked, and builds the
// uninstaller image.
void CheckStubAndBuildUninstaller(Payload& payload, bool verifyStub);
// Finds the archive in the section or in the rest of the file, as the script
// says, and checks its length and checksum.
void LocateArchive(Payload& payload, bool readFromFile);

}  // namespace palisade
