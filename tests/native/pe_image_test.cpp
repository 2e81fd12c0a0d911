#include "format/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "format/byte_order.h"
#include "format/checksum.h"
#include "format/installer_image.h"
#include "format/script_block.h"
#include "pe32_plus_image.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

constexpr uint32_t kPe = 0x80;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;

uint32_t U32At(const std::vector<uint8_t>& image, size_t at) { return LoadLe32(image.data() + at); }
uint16_t U16At(const std::vector<uint8_t>& image, size_t at) {
  return static_cast<uint16_t>(image[at] | image[at + 1] << 8);
}
void PutU16(std::vector<uint8_t>& image, size_t at, uint16_t value) {
  image[at] = static_cast<uint8_t>(value);
  image[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A 32-bit executable's headers with four sections of one file-alignment
// unit each: all that the payload code looks at.
std::vector<uint8_t> SmallExecutable() {
  std::vector<uint8_t> image(0x400 + 4 * kFileAlignment, 0);
  image[0] = 'M';
  image[1] = 'Z';
  StoreLe32(image.data() + 60, kPe);
  std::memcpy(image.data() + kPe, "PE\0\0", 4);
  PutU16(image, kPe + 4, 0x14C);
  PutU16(image, kPe + 6, 4);
  PutU16(image, kPe + 20, 224);
  PutU16(image, kPe + 24, 0x10B);
  StoreLe32(image.data() + kPe + 32, 4 * kFileAlignment);
  StoreLe32(image.data() + kPe + 56, kSectionAlignment);
  StoreLe32(image.data() + kPe + 60, kFileAlignment);
  StoreLe32(image.data() + kPe + 80, 5 * kSectionAlignment);
  StoreLe32(image.data() + kPe + 84, 0x400);
  StoreLe32(image.data() + kPe + 116, 16);
  const char* names[] = {".text", ".data", ".rdata", ".rsrc"};
  for (uint32_t i = 0; i < 4; ++i) {
    uint8_t* entry = image.data() + kPe + 24 + 224 + 40 * i;
    std::memcpy(entry, names[i], std::strlen(names[i]));
    StoreLe32(entry + 8, 0x100);
    StoreLe32(entry + 12, (i + 1) * kSectionAlignment);
    StoreLe32(entry + 16, kFileAlignment);
    StoreLe32(entry + 20, 0x400 + i * kFileAlignment);
    for (uint32_t b = 0; b < kFileAlignment; ++b) image[0x400 + i * kFileAlignment + b] = static_cast<uint8_t>(i + b);
  }
  return image;
}

std::vector<uint8_t> WithPayload(const std::vector<uint8_t>& engine, size_t payloadSize) {
  std::vector<uint8_t> out;
  std::string problem;
  EXPECT_TRUE(AddPayloadSection(engine, test_bytes::Noise(payloadSize, 7), out, problem)) << problem;
  return out;
}

// An engine fixture and where it keeps what the tests look at. Both are
// 3 KiB: the headers and four sections of one file-alignment unit each.
struct Engine {
  const char* name;
  std::vector<uint8_t> image;
  uint32_t pe;
  uint32_t sectionTable;
  uint32_t sectionAlignment;
  uint32_t initialisedData;
  uint32_t securityField;  // from the signature
  uint32_t relocationField;
};

Engine Pe32Engine() { return {"PE32", SmallExecutable(), kPe, kPe + 24 + 224, kSectionAlignment, 0x800, 152, 160}; }

Engine Pe32PlusEngine() {
  namespace plus = test_bytes::pe32_plus;
  return {"PE32+",
          test_bytes::Pe32PlusImage(),
          plus::kPeHeader,
          plus::kSectionTable,
          plus::kSectionAlignment,
          plus::kInitialisedData,
          plus::kSecurityDirectoryField,
          plus::kRelocationDirectoryField};
}

std::vector<uint8_t> Stripped(std::span<const uint8_t> installer, const SectionLocation& s) {
  return StripPayloadSection(installer.first(s.rawOffset), installer.subspan(s.rawOffset + s.rawSize), s);
}

TEST(PayloadSection, AddedAfterEveryOtherSectionWithConsistentHeaders) {
  for (const Engine& e : {Pe32Engine(), Pe32PlusEngine()}) {
    const std::vector<uint8_t>& engine = e.image;
    std::vector<uint8_t> installer = WithPayload(engine, 5000);
    SectionSearch search = FindPayloadSection(installer);
    ASSERT_EQ(search.error, Error::kNone) << e.name;
    ASSERT_TRUE(search.found) << e.name;
    const SectionLocation& s = search.section;
    EXPECT_EQ(s.peHeader, e.pe) << e.name;
    EXPECT_EQ(s.index, 4) << e.name;
    ASSERT_EQ(engine.size(), 3072u) << e.name;
    EXPECT_EQ(s.rawOffset, 4096u) << e.name << ": the engine's end, padded to a page boundary of the file";
    EXPECT_TRUE(std::all_of(installer.begin() + 3072, installer.begin() + 4096, [](uint8_t b) { return b == 0; }))
        << e.name;
    EXPECT_EQ(s.virtualAddress, 5 * e.sectionAlignment) << e.name;
    EXPECT_EQ(s.rawSize % e.sectionAlignment, 0u) << e.name;
    EXPECT_GE(s.rawSize, 5000u) << e.name;
    EXPECT_EQ(installer.size(), s.rawOffset + s.rawSize) << e.name;
    EXPECT_EQ(U16At(installer, e.pe + 6), 5) << e.name;
    EXPECT_EQ(U32At(installer, e.pe + 80), s.virtualAddress + s.rawSize) << e.name;
    EXPECT_EQ(U32At(installer, e.pe + 32), e.initialisedData + s.rawSize) << e.name;
    EXPECT_TRUE(std::equal(engine.begin() + e.pe + 84, engine.begin() + e.sectionTable, installer.begin() + e.pe + 84))
        << e.name << ": the rest of the optional header, the directories with it";
    EXPECT_TRUE(std::equal(engine.begin() + 0x400, engine.end(), installer.begin() + 0x400)) << e.name;
  }
}

TEST(PayloadSection, StrippingGivesBackTheEnginesHeaders) {
  for (Engine e : {Pe32Engine(), Pe32PlusEngine()}) {
    std::vector<uint8_t> installer = WithPayload(e.image, 100);
    std::vector<uint8_t> stripped = Stripped(installer, FindPayloadSection(installer).section);
    WritePeChecksum(e.image, e.pe);
    EXPECT_EQ(stripped, e.image) << e.name << ": first difference at "
                                 << test_bytes::FirstDifference(stripped, e.image);
  }
}

TEST(PayloadSection, StrippingDropsASignatureAppendedAfterThePayload) {
  for (Engine e : {Pe32Engine(), Pe32PlusEngine()}) {
    std::vector<uint8_t> installer = WithPayload(e.image, 100);
    const SectionLocation s = FindPayloadSection(installer).section;
    StoreLe32(installer.data() + e.pe + e.securityField, static_cast<uint32_t>(installer.size()));
    StoreLe32(installer.data() + e.pe + e.securityField + 4, 64);
    installer.insert(installer.end(), 64, 0xC5);
    std::vector<uint8_t> stripped = Stripped(installer, s);
    EXPECT_EQ(stripped.size(), e.image.size()) << e.name;
    EXPECT_EQ(U32At(stripped, e.pe + e.securityField), 0u) << e.name;
    EXPECT_EQ(U32At(stripped, e.pe + e.securityField + 4), 0u) << e.name;
    WritePeChecksum(e.image, e.pe);
    EXPECT_EQ(stripped, e.image) << e.name << ": first difference at "
                                 << test_bytes::FirstDifference(stripped, e.image);
  }
}

// Without telling PE32 from PE32+ there is no knowing where the certificate
// table's entry is, so nothing is cut.
TEST(PayloadSection, StrippingAStubOfAnUnknownMagicGivesNothing) {
  std::vector<uint8_t> installer = WithPayload(Pe32PlusEngine().image, 100);
  PutU16(installer, test_bytes::pe32_plus::kPeHeader + 24, 0x107);
  EXPECT_TRUE(Stripped(installer, FindPayloadSection(installer).section).empty());
}

struct HeaderFault {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> spoil;
  Error error;
  bool found;
};

TEST(PayloadSection, SearchChecksTheHeadersOnTheWay) {
  const HeaderFault faults[] = {
      {"PE header below 64", [](auto& b) { PutU16(b, 60, 63); }, Error::kPeHeaderOffset, false},
      {"PE header above 4096", [](auto& b) { PutU16(b, 60, 4097); }, Error::kPeHeaderOffset, false},
      {"three sections", [](auto& b) { PutU16(b, kPe + 6, 3); }, Error::kSectionCount, false},
      {"a hundred sections", [](auto& b) { PutU16(b, kPe + 6, 100); }, Error::kSectionCount, false},
      {"payload at offset 0", [](auto& b) { StoreLe32(b.data() + kPe + 24 + 224 + 4 * 40 + 20, 0); },
       Error::kSectionAtOffsetZero, true},
  };
  for (const HeaderFault& fault : faults) {
    std::vector<uint8_t> installer = WithPayload(SmallExecutable(), 10);
    fault.spoil(installer);
    SectionSearch search = FindPayloadSection(installer);
    EXPECT_EQ(search.error, fault.error) << fault.name;
    EXPECT_EQ(search.found, fault.found) << fault.name;
  }
  EXPECT_FALSE(FindPayloadSection(SmallExecutable()).found);
}

// `engine` changed by `spoil`.
std::vector<uint8_t> Spoilt(std::vector<uint8_t> engine, const std::function<void(std::vector<uint8_t>&)>& spoil) {
  spoil(engine);
  return engine;
}

struct Refusal {
  const char* name;
  std::vector<uint8_t> image;
  const char* problem;
};

TEST(PayloadSection, RefusesExecutablesItCannotExtend) {
  constexpr uint32_t kPlusPe = test_bytes::pe32_plus::kPeHeader;
  const Refusal refusals[] = {
      {"data after the last section", Spoilt(SmallExecutable(), [](auto& b) { b.push_back(0); }),
       "carries data after its last section"},
      {"no room for a section header",
       Spoilt(SmallExecutable(), [](auto& b) { PutU16(b, kPe + 20, 0x400 - kPe - 24 - 4 * 40 + 8); }),
       "no room for one more section"},
      {"no PE signature", Spoilt(SmallExecutable(), [](auto& b) { b[kPe] = 'X'; }), "not a Windows executable"},
      {"a ROM image's magic", Spoilt(SmallExecutable(), [](auto& b) { PutU16(b, kPe + 24, 0x107); }),
       "neither PE32 nor PE32+ (optional-header magic 0x107)"},
      {"PE32+ with a certificate table",
       Spoilt(test_bytes::Pe32PlusImage(), [](auto& b) { StoreLe32(b.data() + kPlusPe + 168, 0xC00); }),
       "carries data after its last section"},
      {"PE32+ with data after the last section", Spoilt(test_bytes::Pe32PlusImage(), [](auto& b) { b.push_back(0); }),
       "carries data after its last section"},
      {"PE32+ cut inside its directories",
       Spoilt(test_bytes::Pe32PlusImage(), [](auto& b) { b.resize(kPlusPe + 250); }), "optional header is cut short"},
      {"an unknown magic on PE32+",
       Spoilt(test_bytes::Pe32PlusImage(), [](auto& b) { PutU16(b, kPlusPe + 24, 0x20C); }),
       "neither PE32 nor PE32+ (optional-header magic 0x20C)"},
  };
  for (const Refusal& refusal : refusals) {
    std::vector<uint8_t> out;
    std::string problem;
    EXPECT_FALSE(AddPayloadSection(refusal.image, test_bytes::Bytes("x"), out, problem)) << refusal.name;
    EXPECT_NE(problem.find(refusal.problem), std::string::npos) << refusal.name << ": " << problem;
  }
}

// SmallExecutable as a linker lays out the engine: resources third, the
// base relocations last.
std::vector<uint8_t> WithRelocationsLast() {
  std::vector<uint8_t> image = SmallExecutable();
  const size_t table = kPe + 24 + 224;
  std::memcpy(image.data() + table + 2 * 40, ".rsrc\0\0\0", 8);
  std::memcpy(image.data() + table + 3 * 40, ".reloc\0\0", 8);
  StoreLe32(image.data() + kPe + 160, 4 * kSectionAlignment + 0x10);  // base relocations: address
  StoreLe32(image.data() + kPe + 164, 0xC);                           // and size
  return image;
}

struct InPlaceCase {
  const char* name;
  Engine engine;
  int index;
  size_t size;
  uint32_t relocationsAddress;  // where the relocations land; 0 when none follow
};

// SmallExecutable's geometry with its relocations last.
Engine Pe32WithRelocationsLast() {
  Engine engine = Pe32Engine();
  engine.image = WithRelocationsLast();
  return engine;
}

TEST(ReplacedSection, TakesItsOldPlaceAndMovesOnlyTheRelocations) {
  const InPlaceCase cases[] = {
      {"the last section grows", Pe32Engine(), 3, 5000, 0},
      {"the last section shrinks", Pe32Engine(), 3, 100, 0},
      {"relocations after a grown section", Pe32WithRelocationsLast(), 2, 5000, 0x5000},
      {"relocations after a shrunk section", Pe32WithRelocationsLast(), 2, 100, 0x4000},
      {"PE32+: the last section grows", Pe32PlusEngine(), 3, 5000, 0},
      {"PE32+: relocations after a grown section", Pe32PlusEngine(), 2, 9000, 0xA000},
      {"PE32+: relocations after a shrunk section", Pe32PlusEngine(), 2, 100, 0x8000},
  };
  for (const InPlaceCase& c : cases) {
    const Engine& e = c.engine;
    std::vector<uint8_t> data = test_bytes::Noise(c.size, 3), out;
    ASSERT_TRUE(ReplaceSectionInPlace(e.image, c.index, data, out)) << c.name;
    const size_t entry = e.sectionTable + c.index * 40;
    const uint32_t raw = 0x400 + c.index * kFileAlignment;
    const uint32_t rawSize = static_cast<uint32_t>((c.size + kFileAlignment - 1) / kFileAlignment * kFileAlignment);
    EXPECT_EQ(U32At(out, entry + 8), c.size) << c.name;
    EXPECT_EQ(U32At(out, entry + 12), (c.index + 1) * e.sectionAlignment) << c.name;
    EXPECT_EQ(U32At(out, entry + 16), rawSize) << c.name;
    EXPECT_EQ(U32At(out, entry + 20), raw) << c.name;
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin() + raw)) << c.name;
    EXPECT_TRUE(std::equal(e.image.begin() + 0x400, e.image.begin() + raw, out.begin() + 0x400))
        << c.name << ": the sections before it";
    EXPECT_EQ(U32At(out, e.pe + 32), e.initialisedData - kFileAlignment + rawSize) << c.name << ": initialised data";
    const uint32_t relocation = e.pe + e.relocationField;
    EXPECT_TRUE(
        std::equal(e.image.begin() + e.pe + 84, e.image.begin() + relocation, out.begin() + e.pe + 84) &&
        std::equal(e.image.begin() + relocation + 8, e.image.begin() + e.sectionTable, out.begin() + relocation + 8))
        << c.name << ": every other directory";
    if (c.relocationsAddress == 0) {
      EXPECT_EQ(out.size(), raw + rawSize) << c.name;
      EXPECT_EQ(U32At(out, e.pe + 80), (c.index + 1) * e.sectionAlignment +
                                           (c.size + e.sectionAlignment - 1) / e.sectionAlignment * e.sectionAlignment)
          << c.name;
      continue;
    }
    const size_t moved = entry + 40;
    EXPECT_EQ(U32At(out, moved + 12), c.relocationsAddress) << c.name;
    EXPECT_EQ(U32At(out, moved + 20), raw + rawSize) << c.name;
    EXPECT_EQ(U32At(out, moved + 16), kFileAlignment) << c.name;
    EXPECT_TRUE(std::equal(e.image.end() - kFileAlignment, e.image.end(), out.begin() + raw + rawSize)) << c.name;
    EXPECT_EQ(out.size(), raw + rawSize + kFileAlignment) << c.name;
    EXPECT_EQ(U32At(out, relocation), c.relocationsAddress + 0x10) << c.name << ": relocation directory";
    EXPECT_EQ(U32At(out, relocation + 4), 0xCu) << c.name;
    EXPECT_EQ(U32At(out, e.pe + 80), c.relocationsAddress + e.sectionAlignment) << c.name << ": image size";
  }
}

TEST(ReplacedSection, IsRefusedWhereMovingWhatFollowsWouldBreakIt) {
  constexpr uint32_t kPlusPe = test_bytes::pe32_plus::kPeHeader;
  Engine withOverlay = Pe32Engine();
  withOverlay.image.push_back(0);
  Engine relocationsElsewhere = Pe32WithRelocationsLast();
  StoreLe32(relocationsElsewhere.image.data() + kPe + 160, 2 * kSectionAlignment);
  Engine signedImage = Pe32WithRelocationsLast();
  StoreLe32(signedImage.image.data() + kPe + 152, static_cast<uint32_t>(signedImage.image.size()));
  Engine unknownMagic = Pe32WithRelocationsLast();
  PutU16(unknownMagic.image, kPe + 24, 0x107);
  Engine plusRelocationsElsewhere = Pe32PlusEngine();
  StoreLe32(plusRelocationsElsewhere.image.data() + kPlusPe + 176, 0x4000);
  Engine plusSigned = Pe32PlusEngine();
  StoreLe32(plusSigned.image.data() + kPlusPe + 168, static_cast<uint32_t>(plusSigned.image.size()));
  const InPlaceCase cases[] = {
      {"two sections follow", Pe32Engine(), 1, 10, 0},
      {"the relocation directory is not in the section that follows", relocationsElsewhere, 2, 10, 0},
      {"data after the last section", withOverlay, 3, 10, 0},
      {"a certificate table", signedImage, 2, 10, 0},
      {"no such section", Pe32Engine(), 4, 10, 0},
      {"a ROM image's magic", unknownMagic, 2, 10, 0},
      {"PE32+: the relocation directory is not in the section that follows", plusRelocationsElsewhere, 2, 10, 0},
      {"PE32+: a certificate table", plusSigned, 2, 10, 0},
  };
  for (const InPlaceCase& c : cases) {
    std::vector<uint8_t> out = test_bytes::Bytes("untouched");
    EXPECT_FALSE(ReplaceSectionInPlace(c.engine.image, c.index, test_bytes::Noise(c.size, 3), out)) << c.name;
    EXPECT_EQ(out, test_bytes::Bytes("untouched")) << c.name;
  }
}

TEST(PeChecksum, MatchesTheSumOfWordsPlusTheLength) {
  // Words 0x0102 and 0xFFFF fold to 0x0102; the field itself is skipped.
  std::vector<uint8_t> image(kPe + 92, 0);
  image[0] = 0x02;
  image[1] = 0x01;
  image[2] = 0xFF;
  image[3] = 0xFF;
  StoreLe32(image.data() + PeChecksumOffset(kPe), 0xDEADBEEF);
  EXPECT_EQ(PeChecksum(image, kPe), 0x0102u + static_cast<uint32_t>(image.size()));
}

// The words at odd offsets of a piece start in the piece before it, and
// the checksum field is skipped wherever a piece boundary falls.
uint32_t PeChecksumInPieces(std::span<const uint8_t> image, size_t pieceLength) {
  PeChecksumAccumulator sum(kPe);
  for (size_t at = 0; at < image.size(); at += pieceLength) {
    sum.Add(image.subspan(at, std::min(pieceLength, image.size() - at)));
  }
  return sum.Value();
}

TEST(PeChecksum, InPiecesEqualsTheWholeFile) {
  for (size_t size : {size_t{4999}, size_t{5000}}) {
    std::vector<uint8_t> image = test_bytes::Noise(size, 11);
    for (size_t pieceLength : {1, 2, 3, 7, 64, 89, 90, 511, 4096, 10000}) {
      EXPECT_EQ(PeChecksumInPieces(image, pieceLength), PeChecksum(image, kPe))
          << size << " bytes in pieces of " << pieceLength;
    }
  }
}

TEST(PeChecksum, ZerosCountOnlyTowardsTheLength) {
  for (size_t size : {size_t{301}, size_t{302}}) {
    for (uint64_t zeros : {1, 2, 5, 4096}) {
      std::vector<uint8_t> image = test_bytes::Noise(size, 5);
      PeChecksumAccumulator sum(kPe);
      sum.Add(image);
      sum.AddZeros(zeros);
      sum.Add(image);
      std::vector<uint8_t> whole = image;
      whole.resize(whole.size() + zeros, 0);
      whole.insert(whole.end(), image.begin(), image.end());
      EXPECT_EQ(sum.Value(), PeChecksum(whole, kPe)) << size << " bytes, then " << zeros << " zeros";
      EXPECT_EQ(sum.length(), whole.size());
    }
  }
}

TEST(PayloadSection, LayoutIsTheAddedSectionWithoutThePayload) {
  std::vector<uint8_t> engine = SmallExecutable();
  PayloadLayout layout;
  std::string problem;
  ASSERT_TRUE(LayOutPayloadSection(engine, 5000, layout, problem)) << problem;
  std::vector<uint8_t> installer = WithPayload(engine, 5000);
  const SectionLocation s = FindPayloadSection(installer).section;
  EXPECT_EQ(layout.section.peHeader, s.peHeader);
  EXPECT_EQ(layout.section.index, s.index);
  EXPECT_EQ(layout.section.virtualAddress, s.virtualAddress);
  EXPECT_EQ(layout.section.rawSize, s.rawSize);
  EXPECT_EQ(layout.section.rawOffset, s.rawOffset);
  EXPECT_EQ(layout.stub, std::vector<uint8_t>(installer.begin(), installer.begin() + s.rawOffset));
}

TEST(PayloadSection, LayoutRefusesAPayloadBeyondTheAddressSpace) {
  PayloadLayout layout;
  std::string problem;
  EXPECT_FALSE(LayOutPayloadSection(SmallExecutable(), uint64_t{1} << 32, layout, problem));
  EXPECT_NE(problem.find("larger than an executable can address"), std::string::npos) << problem;
}

TEST(InstallerImage, HeaderDescribesTheFinalFile) {
  std::vector<uint8_t> script = test_bytes::Bytes("script");
  std::vector<uint8_t> block;
  ASSERT_TRUE(EncodeScriptBlock(script, nullptr, XzEncodeOptions{}, block));
  std::vector<uint8_t> archive = test_bytes::Noise(3000, 3);
  PayloadHeader header;
  header.scriptChecksum = Checksum(script);
  header.entrySizes = {10, 20};
  std::vector<uint8_t> installer;
  std::string problem;
  ASSERT_TRUE(WriteInstallerImage(SmallExecutable(), header, block, archive, installer, problem)) << problem;

  const SectionLocation s = FindPayloadSection(installer).section;
  std::span<const uint8_t> section(installer.data() + s.rawOffset, s.rawSize);
  PayloadHeader read;
  ASSERT_TRUE(ReadPayloadHeader(section, read).ok());
  EXPECT_EQ(read.scriptBlockSize, static_cast<int32_t>(block.size()));
  EXPECT_EQ(read.entrySizes, header.entrySizes);
  std::span<const uint8_t> found;
  ASSERT_EQ(ArchiveInSection(section, read, found), Error::kNone);
  EXPECT_TRUE(std::equal(found.begin(), found.end(), archive.begin(), archive.end()));
  EXPECT_EQ(VerifyArchive(found, read), Error::kNone);
  EXPECT_EQ(read.stubChecksum, StubChecksum(installer, s));
  EXPECT_EQ(U32At(installer, PeChecksumOffset(kPe)), PeChecksum(installer, kPe));
  std::vector<uint8_t> decoded;
  EXPECT_EQ(DecodeScriptBlock(section.subspan(HeaderSize(read), block.size()), nullptr, read.scriptChecksum, decoded),
            Error::kNone);
  EXPECT_EQ(decoded, script);
}

TEST(InstallerImage, SealingThePayloadInPiecesGivesTheSameFile) {
  std::vector<uint8_t> block = test_bytes::Noise(101, 4);
  std::vector<uint8_t> archive = test_bytes::Noise(3001, 9);
  PayloadHeader header;
  header.entrySizes = {3001};
  std::vector<uint8_t> expected;
  std::string problem;
  ASSERT_TRUE(WriteInstallerImage(SmallExecutable(), header, block, archive, expected, problem)) << problem;

  header.scriptBlockSize = static_cast<int32_t>(block.size());
  header.archiveLength = static_cast<int32_t>(archive.size());
  header.archiveChecksum = Checksum(archive);
  header.archiveEnd = static_cast<int32_t>(ArchiveStart(header) + archive.size());
  std::vector<uint8_t> rest = block;
  rest.insert(rest.end(), archive.begin(), archive.end());
  PayloadLayout layout;
  ASSERT_TRUE(LayOutPayloadSection(SmallExecutable(), static_cast<uint64_t>(header.archiveEnd), layout, problem));
  InstallerSeal seal(std::move(layout));
  ASSERT_TRUE(seal.SealHeader(header, problem)) << problem;
  for (size_t at = 0; at < rest.size(); at += 333) {
    seal.Add(std::span(rest).subspan(at, std::min<size_t>(333, rest.size() - at)));
  }
  seal.Finish();
  std::vector<uint8_t> streamed = seal.stub();
  streamed.insert(streamed.end(), seal.header().begin(), seal.header().end());
  streamed.insert(streamed.end(), rest.begin(), rest.end());
  streamed.resize(streamed.size() + seal.padding(), 0);
  EXPECT_EQ(streamed, expected);
}

TEST(InstallerImage, SealingRefusesAHeaderThatCannotBeStored) {
  PayloadLayout layout;
  std::string problem;
  ASSERT_TRUE(LayOutPayloadSection(SmallExecutable(), 100, layout, problem)) << problem;
  InstallerSeal seal(std::move(layout));
  PayloadHeader header;
  header.engineVersion = std::string("1.0\0x", 5);
  EXPECT_FALSE(seal.SealHeader(header, problem));
  EXPECT_FALSE(problem.empty());
}

}  // namespace
}  // namespace palisade::format
