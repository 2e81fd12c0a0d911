#pragma once
// The few facts of a Windows executable's headers that the payload needs:
// finding the payload section, adding it (builder) and cutting it out again
// for the uninstaller image (engine), and the checksums over the file.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
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

// Where an executable's optional header keeps its data directories. PE32
// (32-bit code) and PE32+ (64-bit code) differ there alone among the fields
// read here: PE32+ widens the image base and the stack and heap sizes to 8
// bytes and drops the base of data, so its directories start 16 bytes on.
struct DataDirectories {
  static constexpr uint32_t kEntrySize = 8;  // an address and a size
  uint32_t countField = 0;                   // from the "PE\0\0" signature; the entries follow the count

  uint32_t Entry(uint32_t index) const { return countField + 4 + index * kEntrySize; }
};

struct ExecutableHeaders {
  uint32_t peHeader = 0;  // file offset of the "PE\0\0" signature
  uint16_t machine = 0;   // what the code is for: 0x14C x86, 0x8664 x64
  bool pe32Plus = false;  // the optional header is PE32+, which 64-bit code needs
  DataDirectories directories;
};

// 32 for x86 code in a PE32 image, 64 for x64 code in a PE32+ image: the
// two kinds of Windows program that Wine runs on an x86-64 machine; 0 for
// anything else.
int X86ProgramBits(const ExecutableHeaders& headers);

// Finds the signature through the DOS header and tells PE32 from PE32+ by
// the optional header's magic; false with a reason when the image is no
// Windows executable or its magic is neither.
bool LocateHeaders(std::span<const uint8_t> image, ExecutableHeaders& headers, std::string& problem);

struct SectionSearch {
  Error error = Error::kNone;  // kPeHeaderOffset, kSectionCount or kSectionAtOffsetZero
  bool found = false;
  SectionLocation section;
};

// Walks the headers the way the engine does, with its range checks. The
// image may be just the file's first bytes: the section's raw data is not
// looked at.
SectionSearch FindPayloadSection(std::span<const uint8_t> image);

// An executable about to get a ".setup" section: the bytes before the
// section and where the section goes. The payload is not needed to work
// this out, only its size, so that a large payload can be streamed after
// the stub instead of being copied next to it.
struct PayloadLayout {
  std::vector<uint8_t> stub;  // the image with the new headers, zero-padded to section.rawOffset
  SectionLocation section;
};

// Lays out a section `name` of `size` bytes of initialised, read-only data
// after every other section, its raw size padded to the section alignment
// so that the uninstaller image can later subtract it from the image size.
// Fails with a reason when the image is neither a PE32 nor a PE32+
// executable, has no room for one more section header or cannot address
// that much data.
bool LayOutSection(std::span<const uint8_t> image, std::string_view name, uint64_t size, PayloadLayout& layout,
                   std::string& problem);
// The same with the section's bytes.
bool AddSection(std::span<const uint8_t> image, std::string_view name, std::span<const uint8_t> data,
                std::vector<uint8_t>& out, std::string& problem);

// `image` with the bytes of section `index` replaced where they stand, so
// that a rewritten section leaves no dead copy of its old bytes behind.
// Only the base relocations may follow the section: they name pages of
// other sections, so they move behind the new bytes with just their
// directory entry changed. False, with `out` untouched, when anything else
// follows it or the file carries data after its last section; the caller
// then adds a section instead.
bool ReplaceSectionInPlace(std::span<const uint8_t> image, int index, std::span<const uint8_t> data,
                           std::vector<uint8_t>& out);

// The ".setup" section laid out as above.
bool LayOutPayloadSection(std::span<const uint8_t> image, uint64_t payloadSize, PayloadLayout& layout,
                          std::string& problem);

// The image with a ".setup" section holding `payload`, laid out as above:
// the stub, the payload and the zeros up to the section's raw size.
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

// The same checksum over a file told in pieces, in file order, of any
// lengths: a file too large to hold is summed as it streams past.
class PeChecksumAccumulator {
 public:
  explicit PeChecksumAccumulator(uint32_t peHeader);

  void Add(std::span<const uint8_t> bytes);
  // Zeros add nothing to the sum, only to the length.
  void AddZeros(uint64_t count);
  uint64_t length() const { return length_; }
  uint32_t Value() const;

 private:
  void AddWord(uint64_t at, uint16_t word);

  uint64_t field_;
  uint64_t length_ = 0;
  uint32_t sum_ = 0;
  uint8_t pending_ = 0;  // the low byte of a word whose high byte is still to come
};

}  // namespace palisade::format
