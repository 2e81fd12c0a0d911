#pragma once
// The few facts of a Windows executable's headers that the payload needs:
// finding the payload section, adding it (builder) and cutting it out again
// for the uninstaller image (engine), and the checksums over the file.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "format/errors.h"

namespace palisade::format {

inline constexpr char kPayloadSectionName[] = ".setup";

struct SectionLocation {
  uint32_t peHeader = 0;       // file offset of the "PE\0\0" signature
  int index = -1;              // in the section table
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
};

struct SectionSearch {
  Error error = Error::kNone;  // kPeHeaderOffset, kSectionCount or kSectionAtOffsetZero
  bool found = false;
  SectionLocation section;
};

// Walks the headers the way the engine does, with its range checks. The
// image may be just the file's first bytes: the section's raw data is not
// looked at.
SectionSearch FindPayloadSection(std::span<const uint8_t> image);

// The image with a ".setup" section holding `payload` appended after every
// other section, its raw size padded to the section alignment so that the
// uninstaller image can later subtract it from the image size. Fails with a
// reason when the image is not a 32-bit executable or has no room for one
// more section header.
bool AddPayloadSection(std::span<const uint8_t> image, std::span<const uint8_t> payload, std::vector<uint8_t>& out,
                       std::string& problem);

// The installer without its payload section, from the bytes before the
// section (the stub) and those after it (the trailer), with the headers
// corrected. A certificate table at the end of a signed installer is dropped
// and its directory entry cleared, since the signature does not cover the
// new image.
std::vector<uint8_t> StripPayloadSection(std::span<const uint8_t> stub, std::span<const uint8_t> trailer,
                                         const SectionLocation& section);

// Offset of the PE checksum field; the stub checksum covers the stub from
// just after it.
uint32_t PeChecksumOffset(uint32_t peHeader);
uint32_t StubChecksum(std::span<const uint8_t> image, const SectionLocation& section);

// The executable checksum that Windows checks for drivers and reports in
// the optional header, computed with the field itself taken as zero.
uint32_t PeChecksum(std::span<const uint8_t> image, uint32_t peHeader);
void WritePeChecksum(std::vector<uint8_t>& image, uint32_t peHeader);

}  // namespace palisade::format
