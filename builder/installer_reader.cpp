#include "builder/installer_reader.h"

#include <algorithm>

#include "builder/text_encoding.h"
#include "format/archive.h"
#include "format/checksum.h"
#include "format/product_flags.h"
#include "format/script_block.h"

namespace palisade::builder {
namespace {

struct ErrorText {
  format::Error error;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {format::Error::kSectionAtOffsetZero, "the payload section has no file data"},
    {format::Error::kSectionSeekFailed, "the payload section cannot be reached"},
    {format::Error::kPeHeaderOffset, "the executable's PE header offset is out of range"},
    {format::Error::kSectionCount, "the executable's section count is out of range"},
    {format::Error::kBadMagic, "the payload does not start with its magic number"},
    {format::Error::kScriptBlockSize, "the script block size is out of range"},
    {format::Error::kEntryCount, "the file count is out of range"},
    {format::Error::kEntrySize, "a file size is out of range"},
    {format::Error::kArchiveLength, "the archive length is negative"},
    {format::Error::kArchiveEnd, "the archive end is negative"},
    {format::Error::kStatusTimeTooLong, "the minimum status time is above 9,999 ms"},
    {format::Error::kLicenseCount, "there are more than 20 license texts"},
    {format::Error::kScriptChecksum, "the setup script does not match its checksum"},
    {format::Error::kReadmeCount, "there are more than 20 readme texts"},
    {format::Error::kLanguageCount, "the language count is outside 1 to 200"},
    {format::Error::kMessageCount, "the message count is outside 1 to 10,000"},
    {format::Error::kEndMarker, "the setup script does not end with its end marker"},
    {format::Error::kAssociationCount, "there are more than 1,000 file associations"},
    {format::Error::kRegistrationValueCount, "there are more than 1,000 uninstall values"},
    {format::Error::kConditionalDeleteCount, "there are more than 1,001 conditional-delete rules"},
    {format::Error::kBitmapSize, "the background picture size is outside 0 to 100 per cent"},
    {format::Error::kCloseRuleCount, "there are more than 1,000 close rules"},
    {format::Error::kScriptNotDecoded, "the setup script does not decipher or decompress"},
    {format::Error::kShortcutCount, "there are more than 1,000 shortcuts"},
    {format::Error::kStubUnreadable, "the installer stub cannot be read"},
    {format::Error::kStubChecksum, "the installer stub does not match its checksum"},
    {format::Error::kTrailerUnreadable, "the bytes after the payload cannot be read"},
    {format::Error::kArchiveLengthMismatch, "the archive's length differs from the header's"},
    {format::Error::kArchiveChecksum, "the archive does not match its checksum"},
    {format::Error::kChunkNotDecoded, "a chunk does not decipher or decompress"},
    {format::Error::kChunkSize, "a chunk's stored size is 0 or negative"},
    {format::Error::kChunkChecksum, "a chunk's stored bytes do not match its checksum"},
    {format::Error::kChunkPastEnd, "a chunk runs past the end of the archive"},
    {format::Error::kArchiveBytesLeft, "archive bytes remain after the last file"},
    {format::Error::kRecordBytesLeft, "decoded bytes remain after the last file"},
    {format::Error::kEmptyFileName, "a file record has an empty name"},
    {format::Error::kNegativeEntrySize, "a file's size is negative"},
    {format::Error::kEntrySizeTooLarge, "a file is larger than 1 GiB"},
    {format::Error::kFileChecksum, "a file's bytes do not match their checksum"},
};

std::span<const uint8_t> SectionBytes(std::span<const uint8_t> file, const format::SectionLocation& section) {
  std::size_t offset = std::min<std::size_t>(section.rawOffset, file.size());
  return file.subspan(offset, std::min<std::size_t>(section.rawSize, file.size() - offset));
}

bool Fail(format::Error error, std::string& problem) {
  problem = CorruptInstaller(error);
  return false;
}

bool FindSection(const std::filesystem::path& path, OpenedInstaller& installer, std::string& problem) {
  format::SectionSearch search = format::FindPayloadSection(installer.file.bytes());
  if (search.error != format::Error::kNone) return Fail(search.error, problem);
  if (!search.found) {
    problem = "\"" + path.string() + "\" carries no installation data (no \".setup\" section)";
    return false;
  }
  installer.section = search.section;
  return true;
}

bool ReadScript(std::span<const uint8_t> section, OpenedInstaller& installer, std::string& problem) {
  const format::PayloadHeader& header = installer.header;
  std::span<const uint8_t> block =
      section.subspan(format::HeaderSize(header), static_cast<std::size_t>(header.scriptBlockSize));
  std::vector<uint8_t> script;
  const format::PayloadCipher* cipher = installer.cipher ? &*installer.cipher : nullptr;
  if (format::Error error = format::DecodeScriptBlock(block, cipher, header.scriptChecksum, script);
      error != format::Error::kNone) {
    return Fail(error, problem);
  }
  if (format::Checksum(script) != header.scriptChecksum) return Fail(format::Error::kScriptChecksum, problem);
  format::Error error = format::ReadSetupScript(
      script, [](std::string_view ansi) { return Cp1252ToUtf8(ansi); }, installer.script);
  return error == format::Error::kNone || Fail(error, problem);
}

}  // namespace

std::string CorruptInstaller(format::Error error) {
  const ErrorText* found = std::find_if(std::begin(kErrorTexts), std::end(kErrorTexts),
                                        [&](const ErrorText& entry) { return entry.error == error; });
  std::string text = "corrupt installer: error " + std::to_string(format::ErrorCode(error));
  return found != std::end(kErrorTexts) ? text + " (" + found->text + ")" : text;
}

bool OpenInstaller(const std::filesystem::path& path, OpenedInstaller& installer, std::string& problem) {
  if (!installer.file.Open(path, problem) || !FindSection(path, installer, problem)) return false;
  std::span<const uint8_t> section = SectionBytes(installer.file.bytes(), installer.section);
  format::HeaderReadResult header = format::ReadPayloadHeader(section, installer.header);
  if (header.versionMismatch) {
    problem = "the installer was built for engine " + installer.header.engineVersion + ", this builder writes for " +
              format::kEngineVersion;
    return false;
  }
  if (!header.ok()) return Fail(header.error, problem);
  installer.cipher = format::HeaderCipher(installer.header);
  if (!ReadScript(section, installer, problem)) return false;
  installer.stubMatches =
      format::StubChecksum(installer.file.bytes(), installer.section) == installer.header.stubChecksum;
  if ((installer.script.productFlagsHigh & format::product_flags_high::kVerifyStub) != 0 && !installer.stubMatches) {
    return Fail(format::Error::kStubChecksum, problem);
  }
  format::Error error = format::ArchiveInSection(section, installer.header, installer.archive);
  if (error == format::Error::kNone) error = format::VerifyArchive(installer.archive, installer.header);
  return error == format::Error::kNone || Fail(error, problem);
}

bool ReadInstalledFiles(const OpenedInstaller& installer,
                        const std::function<bool(std::size_t index, const format::FileRecord& record)>& onFile,
                        std::string& problem) {
  format::ChunkCoding coding{(installer.script.productFlagsLow & format::product_flags_low::kArchiveCompressed) != 0,
                             installer.cipher ? &*installer.cipher : nullptr};
  bool stopped = false;
  format::Error error = format::ReadFileTable(installer.archive, coding, installer.header.entrySizes,
                                              [&](std::size_t index, const format::FileRecord& record) {
                                                if (!stopped && !onFile(index, record)) stopped = true;
                                              });
  if (error != format::Error::kNone) return Fail(error, problem);
  return !stopped;
}

}  // namespace palisade::builder
