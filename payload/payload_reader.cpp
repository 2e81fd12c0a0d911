#include "payload/payload_reader.h"

#include <cstring>

#include "payload/messages.h"

namespace palisade {
namespace {

constexpr int kMaxInstallerPath = 1024;
constexpr int kPeHeaderOffsetField = 60;
constexpr int kSectionEntrySize = 40;
constexpr char kSectionName[] = ".setup";

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t ReadU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool ReadAt(ts::File& file, int64_t offset, void* buffer, int size) {
  return file.Seek(offset) && file.ReadBlock(buffer, size);
}

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

}  // namespace

void CorruptInstaller(int code) {
  ts::WText format = MessageText(13);
  if (format.empty()) {
    format =
        L"This installation program is corrupt.  This is usually caused by a faulty download, but it can also be "
        L"caused by a virus on your computer.  The installation cannot proceed.\r\n\r\n"
        L"Delete the corrupted installer (to prevent caching), then re-download it.  If the problem persists, check "
        L"your system for viruses.\r\n\r\nError code: %d";
  }
  // The table's text comes from the payload: its "%d" is filled in by hand
  // so that no other conversion in it can reach for a missing argument.
  size_t number = format.find(L"%d");
  if (number != ts::WText::npos) format.replace(number, 2, ts::Format(L"%d", code));
  ts::Fatal(L"%s", format.c_str());
}

PayloadSection OpenPayloadSection(ts::File& installer) {
  PayloadSection section;
  section.installerPath = InstallerPath();
  if (!installer.OpenForReading(section.installerPath)) {
    DWORD error = GetLastError();
    ts::Fatal(L"Error code 1: The installer could not open itself.\r\nFilename: %s\r\nError #%d: %s",
              section.installerPath.c_str(), static_cast<int>(error), ts::SystemErrorTextW(error).c_str());
  }
  section.fileSize = installer.Size();

  uint8_t field[4];
  if (!ReadAt(installer, kPeHeaderOffsetField, field, 2)) CorruptInstaller(43);
  uint32_t peHeader = ReadU16(field);
  if (peHeader < 64 || peHeader > 4096) CorruptInstaller(43);
  uint8_t fileHeader[24];
  if (!ReadAt(installer, peHeader, fileHeader, sizeof fileHeader)) CorruptInstaller(44);
  int sectionCount = ReadU16(fileHeader + 6);
  if (sectionCount < 4 || sectionCount > 99) CorruptInstaller(44);
  uint32_t sectionTable = peHeader + 24 + ReadU16(fileHeader + 20);

  for (int i = 0; i < sectionCount; ++i) {
    uint8_t entry[kSectionEntrySize];
    if (!ReadAt(installer, sectionTable + static_cast<int64_t>(i) * kSectionEntrySize, entry, kSectionEntrySize)) break;
    char name[9] = {};
    std::memcpy(name, entry, 8);
    if (std::strcmp(name, kSectionName) != 0) continue;
    section.virtualAddress = ReadU32(entry + 12);
    section.rawSize = ReadU32(entry + 16);
    section.rawOffset = ReadU32(entry + 20);
    if (section.rawOffset == 0) CorruptInstaller(9);
    if (!installer.Seek(section.rawOffset)) CorruptInstaller(10);
    return section;
  }
  NoInstallationData();
}

}  // namespace palisade
