#include "format/pe_image.h"

#include <algorithm>
#include <cstring>

#include "format/byte_order.h"
#include "format/checksum.h"

namespace palisade::format {
namespace {

constexpr uint32_t kPeHeaderField = 60;
constexpr uint32_t kSectionEntrySize = 40;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint32_t kInitialisedReadOnlyData = 0x40000040;

// Offsets from the "PE\0\0" signature.
constexpr uint32_t kSectionCountField = 6;
constexpr uint32_t kOptionalHeaderSizeField = 20;
constexpr uint32_t kMagicField = 24;
constexpr uint32_t kInitialisedDataSizeField = 32;
constexpr uint32_t kSectionAlignmentField = 56;
constexpr uint32_t kFileAlignmentField = 60;
constexpr uint32_t kImageSizeField = 80;
constexpr uint32_t kHeadersSizeField = 84;
constexpr uint32_t kChecksumField = 88;
constexpr uint32_t kSecurityDirectoryField = 152;

// Offsets within a section table entry.
constexpr uint32_t kVirtualSizeField = 8;
constexpr uint32_t kVirtualAddressField = 12;
constexpr uint32_t kRawSizeField = 16;
constexpr uint32_t kRawOffsetField = 20;
constexpr uint32_t kCharacteristicsField = 36;

uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void StoreLe16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

uint32_t SectionTable(std::span<const uint8_t> image, uint32_t pe) {
  return pe + 24 + LoadLe16(image.data() + pe + kOptionalHeaderSizeField);
}

void Subtract(uint8_t* field, uint32_t amount) { StoreLe32(field, LoadLe32(field) - amount); }

}  // namespace

SectionSearch FindPayloadSection(std::span<const uint8_t> image) {
  SectionSearch search;
  uint32_t pe = image.size() >= kPeHeaderField + 2 ? LoadLe16(image.data() + kPeHeaderField) : 0;
  if (pe < 64 || pe > 4096) {
    search.error = Error::kPeHeaderOffset;
    return search;
  }
  int count = image.size() >= pe + 24 ? LoadLe16(image.data() + pe + kSectionCountField) : 0;
  if (count < 4 || count > 99) {
    search.error = Error::kSectionCount;
    return search;
  }
  uint32_t table = SectionTable(image, pe);
  for (int i = 0; i < count; ++i) {
    size_t entry = table + static_cast<size_t>(i) * kSectionEntrySize;
    if (entry + kSectionEntrySize > image.size()) break;
    char name[9] = {};
    std::memcpy(name, image.data() + entry, 8);
    if (std::strcmp(name, kPayloadSectionName) != 0) continue;
    search.found = true;
    search.section = {pe, i, LoadLe32(image.data() + entry + kVirtualAddressField),
                      LoadLe32(image.data() + entry + kRawSizeField), LoadLe32(image.data() + entry + kRawOffsetField)};
    if (search.section.rawOffset == 0) search.error = Error::kSectionAtOffsetZero;
    return search;
  }
  return search;
}

bool AddPayloadSection(std::span<const uint8_t> image, std::span<const uint8_t> payload, std::vector<uint8_t>& out,
                       std::string& problem) {
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return problem = "not a Windows executable", false;
  uint32_t pe = LoadLe32(image.data() + kPeHeaderField);
  if (pe + 248 > image.size() || std::memcmp(image.data() + pe, "PE\0\0", 4) != 0 ||
      LoadLe16(image.data() + pe + kMagicField) != kPe32Magic) {
    return problem = "not a 32-bit Windows executable", false;
  }
  const uint8_t* base = image.data();
  uint32_t count = LoadLe16(base + pe + kSectionCountField);
  uint32_t table = SectionTable(image, pe);
  uint32_t fileAlignment = LoadLe32(base + pe + kFileAlignmentField);
  uint32_t sectionAlignment = LoadLe32(base + pe + kSectionAlignmentField);
  uint32_t fileEnd = 0, imageEnd = 0, firstRaw = UINT32_MAX;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = base + table + i * kSectionEntrySize;
    uint32_t raw = LoadLe32(entry + kRawOffsetField), rawSize = LoadLe32(entry + kRawSizeField);
    if (raw != 0) firstRaw = std::min(firstRaw, raw);
    fileEnd = std::max(fileEnd, raw + rawSize);
    imageEnd = std::max(imageEnd, LoadLe32(entry + kVirtualAddressField) +
                                      AlignUp(LoadLe32(entry + kVirtualSizeField), sectionAlignment));
  }
  uint32_t newEntry = table + count * kSectionEntrySize;
  if (newEntry + kSectionEntrySize > std::min(LoadLe32(base + pe + kHeadersSizeField), firstRaw)) {
    return problem = "the executable's headers have no room for one more section", false;
  }
  if (fileEnd != image.size() || LoadLe32(base + pe + kSecurityDirectoryField) != 0) {
    return problem = "the executable carries data after its last section (a signature or debug data)", false;
  }
  // Padding the raw size to the section alignment too lets the uninstaller
  // image subtract it from the image size and stay a valid executable.
  uint32_t rawSize = AlignUp(static_cast<uint32_t>(payload.size()), std::max(fileAlignment, sectionAlignment));
  uint32_t rawOffset = AlignUp(fileEnd, fileAlignment);
  uint32_t virtualAddress = AlignUp(imageEnd, sectionAlignment);

  out.assign(image.begin(), image.end());
  out.resize(rawOffset, 0);
  out.insert(out.end(), payload.begin(), payload.end());
  out.resize(static_cast<size_t>(rawOffset) + rawSize, 0);
  uint8_t* entry = out.data() + newEntry;
  std::memset(entry, 0, kSectionEntrySize);
  std::memcpy(entry, kPayloadSectionName, sizeof kPayloadSectionName - 1);
  StoreLe32(entry + kVirtualSizeField, rawSize);
  StoreLe32(entry + kVirtualAddressField, virtualAddress);
  StoreLe32(entry + kRawSizeField, rawSize);
  StoreLe32(entry + kRawOffsetField, rawOffset);
  StoreLe32(entry + kCharacteristicsField, kInitialisedReadOnlyData);
  StoreLe16(out.data() + pe + kSectionCountField, static_cast<uint16_t>(count + 1));
  StoreLe32(out.data() + pe + kInitialisedDataSizeField, LoadLe32(out.data() + pe + kInitialisedDataSizeField) + rawSize);
  StoreLe32(out.data() + pe + kImageSizeField, virtualAddress + rawSize);
  return true;
}

std::vector<uint8_t> StripPayloadSection(std::span<const uint8_t> stub, std::span<const uint8_t> trailer,
                                         const SectionLocation& section) {
  size_t sectionEnd = static_cast<size_t>(section.rawOffset) + section.rawSize;
  std::vector<uint8_t> out(stub.begin(), stub.end());
  out.insert(out.end(), trailer.begin(), trailer.end());

  uint32_t pe = section.peHeader;
  uint8_t* header = out.data() + pe;
  uint32_t count = LoadLe16(header + kSectionCountField);
  StoreLe16(header + kSectionCountField, static_cast<uint16_t>(count - 1));
  Subtract(header + kInitialisedDataSizeField, section.rawSize);
  Subtract(header + kImageSizeField, section.rawSize);
  uint8_t* table = out.data() + SectionTable(out, pe);
  for (uint32_t i = static_cast<uint32_t>(section.index) + 1; i < count; ++i) {
    Subtract(table + i * kSectionEntrySize + kRawOffsetField, section.rawSize);
    std::memcpy(table + (i - 1) * kSectionEntrySize, table + i * kSectionEntrySize, kSectionEntrySize);
  }
  std::memset(table + (count - 1) * kSectionEntrySize, 0, kSectionEntrySize);

  uint32_t certificate = LoadLe32(header + kSecurityDirectoryField);
  if (certificate != 0) {
    size_t movedTo = certificate >= sectionEnd ? certificate - section.rawSize : certificate;
    if (movedTo < out.size()) out.resize(movedTo);
    std::memset(out.data() + pe + kSecurityDirectoryField, 0, 8);
  }
  WritePeChecksum(out, pe);
  return out;
}

uint32_t PeChecksumOffset(uint32_t peHeader) { return peHeader + kChecksumField; }

uint32_t StubChecksum(std::span<const uint8_t> image, const SectionLocation& section) {
  size_t from = PeChecksumOffset(section.peHeader) + 4;
  size_t to = std::min<size_t>(section.rawOffset, image.size());
  return Checksum(image, from, to > from ? to - from : 0);
}

uint32_t PeChecksum(std::span<const uint8_t> image, uint32_t peHeader) {
  size_t field = PeChecksumOffset(peHeader);
  uint64_t sum = 0;
  for (size_t i = 0; i + 1 < image.size(); i += 2) {
    if (i == field || i == field + 2) continue;
    sum += LoadLe16(image.data() + i);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  if (image.size() % 2) sum += image.back();
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + image.size());
}

void WritePeChecksum(std::vector<uint8_t>& image, uint32_t peHeader) {
  StoreLe32(image.data() + PeChecksumOffset(peHeader), PeChecksum(image, peHeader));
}

}  // namespace palisade::format
