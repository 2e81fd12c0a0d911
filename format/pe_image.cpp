#include "format/pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "format/byte_order.h"
#include "format/checksum.h"

namespace palisade::format {
namespace {

constexpr uint32_t kPeHeaderField = 60;
constexpr uint32_t kSectionEntrySize = 40;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kInitialisedReadOnlyData = 0x40000040;

// Offsets from the "PE\0\0" signature.
constexpr uint32_t kMachineField = 4;
constexpr uint32_t kSectionCountField = 6;
constexpr uint32_t kOptionalHeaderSizeField = 20;
constexpr uint32_t kMagicField = 24;
constexpr uint32_t kInitialisedDataSizeField = 32;
constexpr uint32_t kSectionAlignmentField = 56;
constexpr uint32_t kFileAlignmentField = 60;
constexpr uint32_t kImageSizeField = 80;
constexpr uint32_t kHeadersSizeField = 84;
constexpr uint32_t kChecksumField = 88;
constexpr uint32_t kPe32DirectoryCountField = 116;
constexpr uint32_t kPe32PlusDirectoryCountField = 132;
constexpr uint32_t kDirectorySlots = 16;  // all that a linker writes
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint32_t kRelocationDirectory = 5;

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

constexpr uint32_t kPageSize = 4096;

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

uint32_t SectionTable(std::span<const uint8_t> image, uint32_t pe) {
  return pe + 24 + LoadLe16(image.data() + pe + kOptionalHeaderSizeField);
}

void Subtract(uint8_t* field, uint32_t amount) { StoreLe32(field, LoadLe32(field) - amount); }

uint64_t Fold(uint64_t sum) { return (sum & 0xFFFF) + (sum >> 16); }

// What the section table says about the sections already there.
struct SectionsExtent {
  uint64_t fileEnd = 0;
  uint64_t imageEnd = 0;
  uint64_t firstRaw = UINT32_MAX;
};

SectionsExtent MeasureSections(std::span<const uint8_t> image, uint32_t pe, int skipped = -1) {
  const uint8_t* table = image.data() + SectionTable(image, pe);
  uint32_t count = LoadLe16(image.data() + pe + kSectionCountField);
  uint32_t sectionAlignment = LoadLe32(image.data() + pe + kSectionAlignmentField);
  SectionsExtent extent;
  for (uint32_t i = 0; i < count; ++i) {
    if (static_cast<int>(i) == skipped) continue;
    const uint8_t* entry = table + i * kSectionEntrySize;
    uint64_t raw = LoadLe32(entry + kRawOffsetField);
    if (raw != 0) extent.firstRaw = std::min(extent.firstRaw, raw);
    extent.fileEnd = std::max(extent.fileEnd, raw + LoadLe32(entry + kRawSizeField));
    extent.imageEnd = std::max(extent.imageEnd, LoadLe32(entry + kVirtualAddressField) +
                                                    AlignUp(LoadLe32(entry + kVirtualSizeField), sectionAlignment));
  }
  return extent;
}

// PE32 and PE32+ told apart by the optional header's magic.
bool LocateDataDirectories(std::span<const uint8_t> image, uint32_t peHeader, DataDirectories& directories,
                           std::string& problem) {
  if (static_cast<uint64_t>(peHeader) + kMagicField + 2 > image.size()) {
    return problem = "the executable's optional header runs past its end", false;
  }
  uint16_t magic = LoadLe16(image.data() + peHeader + kMagicField);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) {
    char text[96];
    std::snprintf(text, sizeof text, "the executable is neither PE32 nor PE32+ (optional-header magic 0x%X)", magic);
    return problem = text, false;
  }
  directories.countField = magic == kPe32Magic ? kPe32DirectoryCountField : kPe32PlusDirectoryCountField;
  return true;
}

constexpr uint16_t kX86Machine = 0x14C;
constexpr uint16_t kX64Machine = 0x8664;

// The headers and the section table must lie in the file before anything
// in them is read.
bool CheckExtendable(std::span<const uint8_t> image, ExecutableHeaders& headers, std::string& problem) {
  if (!LocateHeaders(image, headers, problem)) return false;
  uint64_t pe = headers.peHeader;
  if (pe + headers.directories.Entry(kDirectorySlots) > image.size() ||
      LoadLe32(image.data() + pe + kFileAlignmentField) == 0 ||
      LoadLe32(image.data() + pe + kSectionAlignmentField) == 0) {
    return problem = "the executable's optional header is cut short or gives no alignment", false;
  }
  uint64_t tableEnd = SectionTable(image, static_cast<uint32_t>(pe)) +
                      static_cast<uint64_t>(LoadLe16(image.data() + pe + kSectionCountField)) * kSectionEntrySize;
  if (tableEnd > image.size()) return problem = "the executable's section table runs past its end", false;
  return true;
}

// Neither a certificate table nor other data may follow the last section,
// since a new section would go where they are.
bool EndsWithLastSection(std::span<const uint8_t> image, const ExecutableHeaders& headers,
                         const SectionsExtent& extent) {
  return extent.fileEnd == image.size() &&
         LoadLe32(image.data() + headers.peHeader + headers.directories.Entry(kSecurityDirectory)) == 0;
}

bool CheckRoom(std::span<const uint8_t> image, const ExecutableHeaders& headers, const SectionsExtent& extent,
               std::string& problem) {
  uint32_t pe = headers.peHeader;
  uint64_t newEntry = SectionTable(image, pe) + LoadLe16(image.data() + pe + kSectionCountField) * kSectionEntrySize;
  uint64_t headersEnd = std::min<uint64_t>({LoadLe32(image.data() + pe + kHeadersSizeField), extent.firstRaw,
                                            image.size()});
  if (newEntry + kSectionEntrySize > headersEnd) {
    return problem = "the executable's headers have no room for one more section", false;
  }
  if (!EndsWithLastSection(image, headers, extent)) {
    return problem = "the executable carries data after its last section (a signature or debug data)", false;
  }
  return true;
}

void AddSectionEntry(std::vector<uint8_t>& stub, std::string_view name, const SectionLocation& section) {
  uint8_t* entry = stub.data() + SectionTable(stub, section.peHeader) + section.index * kSectionEntrySize;
  std::memset(entry, 0, kSectionEntrySize);
  std::memcpy(entry, name.data(), std::min<std::size_t>(name.size(), 8));
  StoreLe32(entry + kVirtualSizeField, section.rawSize);
  StoreLe32(entry + kVirtualAddressField, section.virtualAddress);
  StoreLe32(entry + kRawSizeField, section.rawSize);
  StoreLe32(entry + kRawOffsetField, section.rawOffset);
  StoreLe32(entry + kCharacteristicsField, kInitialisedReadOnlyData);
  uint8_t* header = stub.data() + section.peHeader;
  StoreLe16(header + kSectionCountField, static_cast<uint16_t>(section.index + 1));
  StoreLe32(header + kInitialisedDataSizeField, LoadLe32(header + kInitialisedDataSizeField) + section.rawSize);
  StoreLe32(header + kImageSizeField, section.virtualAddress + section.rawSize);
}

}  // namespace

bool LocateHeaders(std::span<const uint8_t> image, ExecutableHeaders& headers, std::string& problem) {
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return problem = "not a Windows executable", false;
  headers.peHeader = LoadLe32(image.data() + kPeHeaderField);
  if (headers.peHeader + uint64_t{4} > image.size() || std::memcmp(image.data() + headers.peHeader, "PE\0\0", 4) != 0) {
    return problem = "not a Windows executable", false;
  }
  if (!LocateDataDirectories(image, headers.peHeader, headers.directories, problem)) return false;
  headers.machine = LoadLe16(image.data() + headers.peHeader + kMachineField);
  headers.pe32Plus = headers.directories.countField == kPe32PlusDirectoryCountField;
  return true;
}

int X86ProgramBits(const ExecutableHeaders& headers) {
  if (headers.machine == kX86Machine && !headers.pe32Plus) return 32;
  if (headers.machine == kX64Machine && headers.pe32Plus) return 64;
  return 0;
}

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

bool LayOutSection(std::span<const uint8_t> image, std::string_view name, uint64_t size, PayloadLayout& layout,
                   std::string& problem) {
  ExecutableHeaders headers;
  if (!CheckExtendable(image, headers, problem)) return false;
  uint32_t pe = headers.peHeader;
  SectionsExtent extent = MeasureSections(image, pe);
  if (!CheckRoom(image, headers, extent, problem)) return false;
  uint32_t fileAlignment = LoadLe32(image.data() + pe + kFileAlignmentField);
  uint32_t sectionAlignment = LoadLe32(image.data() + pe + kSectionAlignmentField);
  // Padding the raw size to the section alignment too lets the uninstaller
  // image subtract it from the image size and stay a valid executable.
  uint64_t rawSize = AlignUp(size, std::max(fileAlignment, sectionAlignment));
  // Starting on a page of the file lets a loader map the section's pages as
  // they are needed (Wine otherwise reads the whole section at start-up).
  uint64_t rawOffset = AlignUp(extent.fileEnd, std::max(fileAlignment, kPageSize));
  uint64_t virtualAddress = AlignUp(extent.imageEnd, sectionAlignment);
  if (std::max(rawOffset, virtualAddress) + rawSize > UINT32_MAX) {
    return problem = "the section is larger than an executable can address", false;
  }
  layout.section = {pe, LoadLe16(image.data() + pe + kSectionCountField), static_cast<uint32_t>(virtualAddress),
                    static_cast<uint32_t>(rawSize), static_cast<uint32_t>(rawOffset)};
  layout.stub.assign(image.begin(), image.end());
  layout.stub.resize(layout.section.rawOffset, 0);
  AddSectionEntry(layout.stub, name, layout.section);
  return true;
}

bool AddSection(std::span<const uint8_t> image, std::string_view name, std::span<const uint8_t> data,
                std::vector<uint8_t>& out, std::string& problem) {
  PayloadLayout layout;
  if (!LayOutSection(image, name, data.size(), layout, problem)) return false;
  out = std::move(layout.stub);
  out.insert(out.end(), data.begin(), data.end());
  out.resize(static_cast<size_t>(layout.section.rawOffset) + layout.section.rawSize, 0);
  return true;
}

bool ReplaceSectionInPlace(std::span<const uint8_t> image, int index, std::span<const uint8_t> data,
                           std::vector<uint8_t>& out) {
  std::string problem;
  ExecutableHeaders headers;
  if (!CheckExtendable(image, headers, problem)) return false;
  uint32_t pe = headers.peHeader;
  const DataDirectories& directories = headers.directories;
  uint32_t count = LoadLe16(image.data() + pe + kSectionCountField);
  if (index < 0 || static_cast<uint32_t>(index) >= count) return false;
  if (!EndsWithLastSection(image, headers, MeasureSections(image, pe))) return false;
  uint32_t fileAlignment = LoadLe32(image.data() + pe + kFileAlignmentField);
  uint32_t sectionAlignment = LoadLe32(image.data() + pe + kSectionAlignmentField);
  const uint8_t* table = image.data() + SectionTable(image, pe);
  const uint8_t* entry = table + index * kSectionEntrySize;
  uint32_t address = LoadLe32(entry + kVirtualAddressField);
  uint32_t raw = LoadLe32(entry + kRawOffsetField), rawSize = LoadLe32(entry + kRawSizeField);
  bool relocationsFollow = static_cast<uint32_t>(index) + 2 == count;
  if (static_cast<uint32_t>(index) + 1 < count && !relocationsFollow) return false;
  const uint8_t* relocations = table + (index + 1) * kSectionEntrySize;
  uint32_t relocationsAddress = relocationsFollow ? LoadLe32(relocations + kVirtualAddressField) : 0;
  uint32_t relocationsRaw = relocationsFollow ? LoadLe32(relocations + kRawOffsetField) : 0;
  uint32_t relocationsRawSize = relocationsFollow ? LoadLe32(relocations + kRawSizeField) : 0;
  if (relocationsFollow) {
    uint32_t directory = LoadLe32(image.data() + pe + directories.Entry(kRelocationDirectory));
    if (LoadLe32(image.data() + pe + directories.countField) <= kRelocationDirectory ||
        directory < relocationsAddress || directory - relocationsAddress >= LoadLe32(relocations + kVirtualSizeField) ||
        relocationsRaw < raw + rawSize) {
      return false;
    }
  }

  uint64_t newRawSize = AlignUp(data.size(), fileAlignment);
  uint64_t movedRaw = raw + newRawSize;
  uint64_t movedAddress = AlignUp(static_cast<uint64_t>(address) + data.size(), sectionAlignment);
  if (std::max(movedRaw + relocationsRawSize, movedAddress + relocationsRawSize) > UINT32_MAX) return false;
  out.assign(image.begin(), image.begin() + raw);
  out.insert(out.end(), data.begin(), data.end());
  out.resize(movedRaw, 0);
  out.insert(out.end(), image.begin() + relocationsRaw, image.begin() + relocationsRaw + relocationsRawSize);

  uint8_t* header = out.data() + pe;
  uint8_t* newEntry = out.data() + SectionTable(out, pe) + index * kSectionEntrySize;
  StoreLe32(newEntry + kVirtualSizeField, static_cast<uint32_t>(data.size()));
  StoreLe32(newEntry + kRawSizeField, static_cast<uint32_t>(newRawSize));
  StoreLe32(header + kInitialisedDataSizeField,
            static_cast<uint32_t>(LoadLe32(header + kInitialisedDataSizeField) - rawSize + newRawSize));
  if (relocationsFollow) {
    uint8_t* moved = newEntry + kSectionEntrySize;
    StoreLe32(moved + kVirtualAddressField, static_cast<uint32_t>(movedAddress));
    StoreLe32(moved + kRawOffsetField, static_cast<uint32_t>(movedRaw));
    uint8_t* directory = header + directories.Entry(kRelocationDirectory);
    StoreLe32(directory, static_cast<uint32_t>(LoadLe32(directory) - relocationsAddress + movedAddress));
  }
  StoreLe32(header + kImageSizeField, static_cast<uint32_t>(MeasureSections(out, pe).imageEnd));
  return true;
}

bool LayOutPayloadSection(std::span<const uint8_t> image, uint64_t payloadSize, PayloadLayout& layout,
                          std::string& problem) {
  return LayOutSection(image, kPayloadSectionName, payloadSize, layout, problem);
}

bool AddPayloadSection(std::span<const uint8_t> image, std::span<const uint8_t> payload, std::vector<uint8_t>& out,
                       std::string& problem) {
  return AddSection(image, kPayloadSectionName, payload, out, problem);
}

std::vector<uint8_t> StripPayloadSection(std::span<const uint8_t> stub, std::span<const uint8_t> trailer,
                                         const SectionLocation& section) {
  DataDirectories directories;
  std::string problem;
  if (!LocateDataDirectories(stub, section.peHeader, directories, problem)) return {};
  size_t sectionEnd = static_cast<size_t>(section.rawOffset) + section.rawSize;
  // The padding that put the section on a page boundary goes with it.
  size_t kept = std::min<size_t>(MeasureSections(stub, section.peHeader, section.index).fileEnd, stub.size());
  if (kept < SectionTable(stub, section.peHeader)) kept = stub.size();
  const uint32_t removed = static_cast<uint32_t>(section.rawSize + (stub.size() - kept));
  std::vector<uint8_t> out(stub.begin(), stub.begin() + static_cast<std::ptrdiff_t>(kept));
  out.insert(out.end(), trailer.begin(), trailer.end());

  uint32_t pe = section.peHeader;
  uint8_t* header = out.data() + pe;
  uint32_t count = LoadLe16(header + kSectionCountField);
  StoreLe16(header + kSectionCountField, static_cast<uint16_t>(count - 1));
  Subtract(header + kInitialisedDataSizeField, section.rawSize);
  Subtract(header + kImageSizeField, section.rawSize);
  uint8_t* table = out.data() + SectionTable(out, pe);
  for (uint32_t i = static_cast<uint32_t>(section.index) + 1; i < count; ++i) {
    Subtract(table + i * kSectionEntrySize + kRawOffsetField, removed);
    std::memcpy(table + (i - 1) * kSectionEntrySize, table + i * kSectionEntrySize, kSectionEntrySize);
  }
  std::memset(table + (count - 1) * kSectionEntrySize, 0, kSectionEntrySize);

  uint32_t security = pe + directories.Entry(kSecurityDirectory);
  uint32_t certificate = LoadLe32(out.data() + security);
  if (certificate != 0) {
    size_t movedTo = certificate >= sectionEnd ? certificate - removed : certificate;
    if (movedTo < out.size()) out.resize(movedTo);
    std::memset(out.data() + security, 0, DataDirectories::kEntrySize);
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
  PeChecksumAccumulator sum(peHeader);
  sum.Add(image);
  return sum.Value();
}

PeChecksumAccumulator::PeChecksumAccumulator(uint32_t peHeader) : field_(PeChecksumOffset(peHeader)) {}

void PeChecksumAccumulator::Add(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  size_t i = 0;
  if (length_ % 2) {
    AddWord(length_ - 1, static_cast<uint16_t>(pending_ | bytes[0] << 8));
    i = 1;
  }
  for (; i + 1 < bytes.size(); i += 2) AddWord(length_ + i, LoadLe16(bytes.data() + i));
  if (i < bytes.size()) pending_ = bytes.back();
  length_ += bytes.size();
}

void PeChecksumAccumulator::AddZeros(uint64_t count) {
  if (count == 0) return;
  if (length_ % 2) AddWord(length_ - 1, pending_);
  pending_ = 0;
  length_ += count;
}

uint32_t PeChecksumAccumulator::Value() const {
  // A last odd byte counts as a word of its own.
  uint64_t sum = sum_ + (length_ % 2 ? pending_ : 0);
  return static_cast<uint32_t>(Fold(Fold(sum)) + length_);
}

void PeChecksumAccumulator::AddWord(uint64_t at, uint16_t word) {
  if (at == field_ || at == field_ + 2) return;
  sum_ = static_cast<uint32_t>(Fold(sum_ + word));
}

void WritePeChecksum(std::vector<uint8_t>& image, uint32_t peHeader) {
  StoreLe32(image.data() + PeChecksumOffset(peHeader), PeChecksum(image, peHeader));
}

}  // namespace palisade::format
