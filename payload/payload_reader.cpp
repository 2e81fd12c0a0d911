#include "payload/payload_reader.h"

#include <optional>

#include "format/checksum.h"
#include "format/product_flags.h"
#include "format/script_block.h"
#include "format/version.h"
#include "state/installer_state.h"
#include "payload/messages.h"

namespace palisade {
namespace {

constexpr int kMaxInstallerPath = 1024;
// Enough for every header that FindPayloadSection looks at: the PE header
// lies within the first 4 KiB and has at most 99 section entries.
constexpr int kHeaderBytes = 4096 + 24 + 0xFFFF + 99 * 40;

ts::WText InstallerPath() {
  wchar_t buffer[kMaxInstallerPath];
  DWORD length = GetModuleFileNameW(nullptr, buffer, kMaxInstallerPath);
  return ts::WText(buffer, length < kMaxInstallerPath ? length : 0);
}

[[noreturn]] void NoInstallationData() {
  ts::Fatal(
      "This program performs installations and uninstallations.\r\n"
      "There is no installation data present.\r\n"
      "No uninstallation parameters were specified.\r\n\r\n"
      "You should not delete this program or execute it directly.");
}

void OpenOwnFile(Payload& payload) {
  payload.installerPath = InstallerPath();
  if (!payload.file.OpenForReading(payload.installerPath)) {
    DWORD error = GetLastError();
    ts::Fatal(L"Error code 1: The installer could not open itself.\r\nFilename: %s\r\nError #%d: %s",
              payload.installerPath.c_str(), static_cast<int>(error), ts::SystemErrorTextW(error).c_str());
  }
  payload.fileSize = payload.file.Size();
}

bool ReadFileRange(ts::File& file, int64_t offset, int64_t length, std::vector<uint8_t>& out) {
  if (length < 0 || length > INT32_MAX) return false;
  out.resize(static_cast<size_t>(length));
  return file.Seek(offset) && file.ReadBlock(out.data(), static_cast<int>(length));
}

void FindSection(Payload& payload) {
  std::vector<uint8_t> headers(static_cast<size_t>(std::min<int64_t>(payload.fileSize, kHeaderBytes)));
  if (!payload.file.Seek(0) || !payload.file.ReadBlock(headers.data(), static_cast<int>(headers.size()))) {
    CorruptInstaller(format::Error::kPeHeaderOffset);
  }
  format::SectionSearch search = format::FindPayloadSection(headers);
  if (search.error != format::Error::kNone) CorruptInstaller(search.error);
  if (!search.found) NoInstallationData();
  payload.section = search.section;
  if (!payload.file.Seek(payload.section.rawOffset)) CorruptInstaller(format::Error::kSectionSeekFailed);
  auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
  payload.mapped = std::span<const uint8_t>(base + payload.section.virtualAddress, payload.section.rawSize);
}

}  // namespace

void CorruptInstaller(int code) {
  ts::WText format = MessageWithTags(13);
  if (format.empty()) {
    format =
        L"This installation program is corrupt.  This is usually caused by a faulty download, but it can also be "
        L"caused by a virus on your computer.  The installation cannot proceed.\r\n\r\n"
        L"Delete the corrupted installer (to prevent caching), then re-download it.  If the problem persists, check "
        L"your system for viruses.\r\n\r\nError code: %d";
  }
  ts::Fatal(L"%s", FillConversions(format, {ts::Format(L"%d", code)}).c_str());
}

void CorruptInstaller(format::Error error) { CorruptInstaller(format::ErrorCode(error)); }

void OpenPayload(Payload& payload) {
  OpenOwnFile(payload);
  FindSection(payload);
  format::HeaderReadResult result = format::ReadPayloadHeader(payload.mapped, payload.header);
  if (result.versionMismatch) {
    ts::Fatal(L"The installer version (%hs) does not match the version of %s (%hs).  Close all applications and "
              L"reinstall %s.",
              format::kEngineVersion, g_installer.defaultCaption.c_str(), payload.header.engineVersion.c_str(),
              g_installer.defaultCaption.c_str());
  }
  if (result.error != format::Error::kNone) CorruptInstaller(result.error);
  if (std::optional<format::PayloadCipher> cipher = format::HeaderCipher(payload.header)) {
    payload.cipher = std::make_unique<format::PayloadCipher>(*cipher);
  }
}

void DecodeSetupScript(Payload& payload) {
  std::span<const uint8_t> block =
      payload.mapped.subspan(format::HeaderSize(payload.header), static_cast<size_t>(payload.header.scriptBlockSize));
  format::Error error = format::DecodeScriptBlock(block, payload.cipher.get(),
                                                  payload.header.scriptChecksum, payload.script);
  if (error != format::Error::kNone) CorruptInstaller(error);
  if (format::Checksum(payload.script) != payload.header.scriptChecksum) CorruptInstaller(format::Error::kScriptChecksum);
}

void CheckStubAndBuildUninstaller(Payload& payload, bool verifyStub) {
  std::vector<uint8_t> stub;
  if (!ReadFileRange(payload.file, 0, payload.section.rawOffset, stub)) CorruptInstaller(format::Error::kStubUnreadable);
  if (verifyStub && format::StubChecksum(stub, payload.section) != payload.header.stubChecksum) {
    CorruptInstaller(format::Error::kStubChecksum);
  }
  if (!(payload.header.productFlags2 & format::product_flags2::kStripPayload)) {
    payload.uninstallerLength = payload.fileSize;
    return;
  }
  int64_t sectionEnd = static_cast<int64_t>(payload.section.rawOffset) + payload.section.rawSize;
  std::vector<uint8_t> trailer;
  if (!ReadFileRange(payload.file, sectionEnd, payload.fileSize - sectionEnd, trailer)) {
    CorruptInstaller(format::Error::kTrailerUnreadable);
  }
  payload.strippedUninstaller = format::StripPayloadSection(stub, trailer, payload.section);
  payload.uninstallerLength = static_cast<int64_t>(payload.strippedUninstaller.size());
}

void InstallerArchive::Open(ts::File& file, int64_t offset, std::size_t length) {
  file_ = &file;
  offset_ = offset;
  length_ = length;
}

void InstallerArchive::Read(std::size_t offset, std::span<uint8_t> out) {
  if (out.empty()) return;
  if (!file_->Seek(offset_ + static_cast<int64_t>(offset)) ||
      !file_->ReadBlock(out.data(), static_cast<int>(out.size()))) {
    ts::Fatal("Error code 2: failed to read archive data\r\nsize=%d pos=%d", static_cast<int>(length_),
              static_cast<int>(offset_));
  }
}

void LocateArchive(Payload& payload, bool readFromFile) {
  const int64_t sectionOffset = static_cast<int64_t>(payload.section.rawOffset);
  int64_t offset = sectionOffset + static_cast<int64_t>(format::ArchiveStart(payload.header));
  int64_t length = 0;
  if (readFromFile) {
    // Only the archive's own bytes count, so that a signature appended to
    // the file does not count as archive data.
    length = std::min<int64_t>(payload.header.archiveLength, std::max<int64_t>(payload.fileSize - offset, 0));
  } else {
    std::span<const uint8_t> inSection;
    if (format::Error error = format::ArchiveInSection(payload.mapped, payload.header, inSection);
        error != format::Error::kNone) {
      CorruptInstaller(error);
    }
    offset = sectionOffset + (inSection.data() - payload.mapped.data());
    length = static_cast<int64_t>(inSection.size());
  }
  payload.archive.Open(payload.file, offset, static_cast<std::size_t>(length));
  format::Error error = format::VerifyArchive(payload.archive, payload.header);
  if (error != format::Error::kNone) CorruptInstaller(error);
}

}  // namespace palisade
