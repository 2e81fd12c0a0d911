#include "format/payload_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "byte_assembly.h"
#include "format/byte_order.h"
#include "format/checksum.h"
#include "format/product_flags.h"
#include "format/scramble.h"
#include "format/script_block.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::Assembly;
using test_bytes::Bytes;
using test_bytes::Noise;

PayloadHeader SampleHeader(uint32_t flags2) {
  PayloadHeader header;
  header.productFlags2 = flags2;
  header.scriptBlockSize = 24;
  header.scriptChecksum = 0x11111111;
  header.stubChecksum = 0x22222222;
  header.archiveLength = 10;
  header.archiveChecksum = 0x33333333;
  header.entrySizes = {0, 7, 0x40000000};
  header.cipherKey = {1, 2, 3, 4, 5, 6, 7, 8};
  header.archiveEnd = static_cast<int32_t>(ArchiveStart(header)) + header.archiveLength;
  return header;
}

// Header, script block and archive as the builder lays them out.
std::vector<uint8_t> Section(const PayloadHeader& header, std::span<const uint8_t> scriptBlock,
                             std::span<const uint8_t> archive) {
  std::vector<uint8_t> section;
  EXPECT_TRUE(WritePayloadHeader(header, section));
  section.insert(section.end(), scriptBlock.begin(), scriptBlock.end());
  section.insert(section.end(), archive.begin(), archive.end());
  return section;
}

TEST(PayloadHeader, RoundTripsPlainAndEnciphered) {
  for (uint32_t flags2 : {0u, product_flags2::kEnciphered | product_flags2::kStripPayload}) {
    PayloadHeader written = SampleHeader(flags2);
    std::vector<uint8_t> block = Noise(24, 1);
    std::vector<uint8_t> archive = Noise(10, 2);
    std::vector<uint8_t> section = Section(written, block, archive);

    PayloadHeader read;
    HeaderReadResult result = ReadPayloadHeader(section, read);
    ASSERT_TRUE(result.ok()) << ErrorCode(result.error);
    if (!read.enciphered()) read.cipherKey = written.cipherKey;  // not stored
    EXPECT_EQ(read, written);
    EXPECT_EQ(std::vector<uint8_t>(section.begin() + HeaderSize(read), section.begin() + ArchiveStart(read)), block);
    std::span<const uint8_t> found;
    ASSERT_EQ(ArchiveInSection(section, read, found), Error::kNone);
    EXPECT_EQ(std::vector<uint8_t>(found.begin(), found.end()), archive);
  }
}

// The header fields in their stored order, the key only when enciphered.
std::vector<uint8_t> AssembledHeader(bool enciphered) {
  Assembly a;
  a.U32(0xA4F23DE5);                          // 1 magic
  a.Narrow("39.0.1");                         // 2 engine version
  a.U32(enciphered ? 0x1022 : 0x22);          // 3 ProductFlags2: strip 0x20, restore point 0x2, enciphered 0x1000
  a.I32(24);                                  // 4 script block size
  a.U32(0x11111111);                          // 5 script checksum
  a.U32(0x22222222);                          // 6 stub checksum
  a.I32(enciphered ? 63 + 24 + 10 : 55 + 24 + 10);  // 7 archive end: header, script block, archive
  a.I32(3);                                   // 8 entry count
  a.I32(10);                                  // 9 archive length
  a.U32(0x33333333);                          // 10 archive checksum
  a.I32(0);                                   // 11 entry sizes
  a.I32(7);
  a.I32(0x40000000);
  if (enciphered) a.Raw("\x01\x02\x03\x04\x05\x06\x07\x08");  // 12 cipher key
  return a.bytes();
}

PayloadHeader ExpectedHeader(bool enciphered) {
  PayloadHeader h;
  h.productFlags2 = product_flags2::kStripPayload | product_flags2::kRestorePoint |
                    (enciphered ? product_flags2::kEnciphered : 0);
  h.scriptBlockSize = 24;
  h.scriptChecksum = 0x11111111;
  h.stubChecksum = 0x22222222;
  h.archiveEnd = enciphered ? 97 : 89;
  h.archiveLength = 10;
  h.archiveChecksum = 0x33333333;
  h.entrySizes = {0, 7, 0x40000000};
  if (enciphered) h.cipherKey = {1, 2, 3, 4, 5, 6, 7, 8};
  return h;
}

TEST(PayloadHeaderLayout, ReadFromAndWrittenToHandAssembledBytes) {
  for (bool enciphered : {false, true}) {
    SCOPED_TRACE(enciphered ? "enciphered" : "plain");
    const std::vector<uint8_t> header = AssembledHeader(enciphered);
    const std::vector<uint8_t> section = Assembly().Raw(header).Raw(Noise(24, 1)).Raw(Noise(10, 2)).bytes();
    PayloadHeader read;
    ASSERT_TRUE(ReadPayloadHeader(section, read).ok());
    EXPECT_EQ(read, ExpectedHeader(enciphered));
    EXPECT_EQ(HeaderSize(read), header.size());
    EXPECT_EQ(ArchiveStart(read), header.size() + 24);

    std::vector<uint8_t> written;
    ASSERT_TRUE(WritePayloadHeader(ExpectedHeader(enciphered), written));
    EXPECT_EQ(written, header);
  }
}

TEST(PayloadHeader, KeyIsStoredOnlyWhenEnciphered) {
  PayloadHeader plain = SampleHeader(0);
  PayloadHeader enciphered = SampleHeader(product_flags2::kEnciphered);
  std::vector<uint8_t> plainBytes;
  std::vector<uint8_t> encipheredBytes;
  ASSERT_TRUE(WritePayloadHeader(plain, plainBytes));
  ASSERT_TRUE(WritePayloadHeader(enciphered, encipheredBytes));
  EXPECT_EQ(plainBytes.size(), HeaderSize(plain));
  EXPECT_EQ(encipheredBytes.size(), plainBytes.size() + kPayloadKeySize);
  EXPECT_EQ(std::vector<uint8_t>(encipheredBytes.end() - 8, encipheredBytes.end()),
            std::vector<uint8_t>(enciphered.cipherKey.begin(), enciphered.cipherKey.end()));
  EXPECT_FALSE(HeaderCipher(plain).has_value());
  EXPECT_TRUE(HeaderCipher(enciphered).has_value());
}

TEST(PayloadHeader, StartsWithMagicAndVersion) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(WritePayloadHeader(SampleHeader(0), bytes));
  const char expected[] = "\xE5\x3D\xF2\xA4" "39.0.1";
  EXPECT_EQ(std::memcmp(bytes.data(), expected, sizeof expected), 0);
}

TEST(PayloadHeader, WithNoEntriesReadsAnEmptyTable) {
  PayloadHeader written = SampleHeader(0);
  written.entrySizes.clear();
  written.archiveEnd = static_cast<int32_t>(ArchiveStart(written)) + written.archiveLength;
  std::vector<uint8_t> section = Section(written, Noise(24, 3), Noise(10, 4));
  PayloadHeader read;
  ASSERT_TRUE(ReadPayloadHeader(section, read).ok());
  EXPECT_TRUE(read.entrySizes.empty());
}

// Offset of 32-bit field `index` (0 = `ProductFlags2`) after the version.
std::size_t FieldOffset(int index) { return 4 + std::strlen(kEngineVersion) + 1 + 4 * index; }

void Put(std::vector<uint8_t>& bytes, std::size_t offset, int32_t value) {
  StoreLe32(bytes.data() + offset, static_cast<uint32_t>(value));
}

struct HeaderFault {
  const char* name;
  std::function<void(PayloadHeader&)> changeHeader;
  std::function<void(std::vector<uint8_t>&)> changeBytes;
  Error error;
  bool versionMismatch;
};

TEST(PayloadHeader, EachFaultStopsWithItsError) {
  const std::function<void(PayloadHeader&)> keepHeader = [](PayloadHeader&) {};
  const std::function<void(std::vector<uint8_t>&)> keepBytes = [](std::vector<uint8_t>&) {};
  const HeaderFault faults[] = {
      {"wrong magic", keepHeader, [](auto& b) { b[0] ^= 1; }, Error::kBadMagic, false},
      {"empty section", keepHeader, [](auto& b) { b.clear(); }, Error::kBadMagic, false},
      {"other engine version", [](auto& h) { h.engineVersion = "39.0.2"; }, keepBytes, Error::kNone, true},
      {"version cut short", [](auto& h) { h.engineVersion = "39.0"; }, keepBytes, Error::kNone, true},
      {"script block size 0", [](auto& h) { h.scriptBlockSize = 0; }, keepBytes, Error::kScriptBlockSize, false},
      {"script block size negative", [](auto& h) { h.scriptBlockSize = -24; }, keepBytes, Error::kScriptBlockSize,
       false},
      {"script block size 0x3200000", [](auto& h) { h.scriptBlockSize = 0x3200000; }, keepBytes,
       Error::kScriptBlockSize, false},
      {"script block past the section", keepHeader, [](auto& b) { b.resize(b.size() - 11); }, Error::kScriptBlockSize,
       false},
      {"archive end negative", [](auto& h) { h.archiveEnd = -1; }, keepBytes, Error::kArchiveEnd, false},
      {"entry count negative", keepHeader, [](auto& b) { Put(b, FieldOffset(5), -1); }, Error::kEntryCount, false},
      {"entry table past the section", keepHeader, [](auto& b) { Put(b, FieldOffset(5), 0x7FFFFFFF); },
       Error::kEntryCount, false},
      {"archive length negative", [](auto& h) { h.archiveLength = -1; }, keepBytes, Error::kArchiveLength, false},
      {"entry size negative", [](auto& h) { h.entrySizes[1] = -1; }, keepBytes, Error::kEntrySize, false},
      {"entry size 0x40000001", [](auto& h) { h.entrySizes[2] = 0x40000001; }, keepBytes, Error::kEntrySize, false},
      {"first fault wins", [](auto& h) {
         h.scriptBlockSize = 0;
         h.archiveEnd = -1;
         h.archiveLength = -1;
       },
       keepBytes, Error::kScriptBlockSize, false},
  };
  for (const HeaderFault& fault : faults) {
    for (uint32_t flags2 : {0u, product_flags2::kEnciphered}) {
      SCOPED_TRACE(::testing::Message() << fault.name << (flags2 != 0 ? ", enciphered" : ", plain"));
      PayloadHeader header = SampleHeader(flags2);
      fault.changeHeader(header);
      std::vector<uint8_t> section = Section(header, Noise(24, 5), Noise(10, 6));
      fault.changeBytes(section);
      PayloadHeader read;
      HeaderReadResult result = ReadPayloadHeader(section, read);
      EXPECT_EQ(result.error, fault.error);
      EXPECT_EQ(result.versionMismatch, fault.versionMismatch);
      EXPECT_FALSE(result.ok());
    }
  }
}

TEST(PayloadHeader, VersionMismatchKeepsTheStoredVersionForTheMessage) {
  PayloadHeader header = SampleHeader(0);
  header.engineVersion = "38.2.0";
  std::vector<uint8_t> section = Section(header, Noise(24, 7), {});
  PayloadHeader read;
  EXPECT_TRUE(ReadPayloadHeader(section, read).versionMismatch);
  EXPECT_EQ(read.engineVersion, "38.2.0");
}

TEST(PayloadHeader, EntrySizeOfExactly1GiBPasses) {
  PayloadHeader header = SampleHeader(0);
  header.entrySizes = {0x40000000, 0};
  std::vector<uint8_t> section = Section(header, Noise(24, 8), {});
  PayloadHeader read;
  EXPECT_TRUE(ReadPayloadHeader(section, read).ok());
  EXPECT_EQ(read.entrySizes, header.entrySizes);
}

TEST(PayloadHeader, LargestScriptBlockPasses) {
  PayloadHeader header = SampleHeader(0);
  header.scriptBlockSize = 0x31FFFFF;
  std::vector<uint8_t> section = Section(header, {}, {});
  section.resize(HeaderSize(header) + 0x31FFFFF);
  PayloadHeader read;
  EXPECT_TRUE(ReadPayloadHeader(section, read).ok());
}

TEST(VerifyArchive, LengthThenChecksum) {
  PayloadHeader header = SampleHeader(0);
  std::vector<uint8_t> archive = Noise(10, 9);
  header.archiveChecksum = Checksum(archive);
  EXPECT_EQ(VerifyArchive(archive, header), Error::kNone);
  EXPECT_EQ(VerifyArchive(std::span(archive).first(9), header), Error::kArchiveLengthMismatch);
  archive[3] ^= 0x40;
  EXPECT_EQ(VerifyArchive(archive, header), Error::kArchiveChecksum);
}

TEST(ArchiveInSection, ArchiveEndPastTheSectionIsCutAndThenFailsTheLength) {
  PayloadHeader header = SampleHeader(0);
  std::vector<uint8_t> archive = Noise(10, 10);
  header.archiveChecksum = Checksum(archive);
  header.archiveEnd += 5;
  std::vector<uint8_t> section = Section(header, Noise(24, 11), archive);
  PayloadHeader read;
  ASSERT_TRUE(ReadPayloadHeader(section, read).ok());
  std::span<const uint8_t> found;
  ASSERT_EQ(ArchiveInSection(section, read, found), Error::kNone);
  EXPECT_EQ(found.size(), archive.size());
  read.archiveEnd -= 6;
  ASSERT_EQ(ArchiveInSection(section, read, found), Error::kNone);
  EXPECT_EQ(VerifyArchive(found, read), Error::kArchiveLengthMismatch);
}

// An empty archive that the header describes truly (length 0, the checksum
// of nothing) still fails when its end lies before its start.
TEST(ArchiveInSection, ArchiveEndBeforeTheArchiveStartIsALengthMismatch) {
  PayloadHeader header = SampleHeader(0);
  header.entrySizes.clear();
  header.archiveLength = 0;
  header.archiveChecksum = Checksum({});
  header.archiveEnd = static_cast<int32_t>(ArchiveStart(header));
  std::vector<uint8_t> section = Section(header, Noise(24, 12), {});
  PayloadHeader read;
  ASSERT_TRUE(ReadPayloadHeader(section, read).ok());
  std::span<const uint8_t> found;
  ASSERT_EQ(ArchiveInSection(section, read, found), Error::kNone);
  EXPECT_EQ(VerifyArchive(found, read), Error::kNone) << "an empty archive where it belongs";
  for (int32_t end : {read.archiveEnd - 1, 0}) {
    read.archiveEnd = end;
    EXPECT_EQ(ArchiveInSection(section, read, found), Error::kArchiveLengthMismatch) << end;
  }
}

TEST(ScriptBlock, RoundTripsEncipheredAndScrambled) {
  const std::vector<uint8_t> script = Noise(70000, 12);
  std::optional<PayloadCipher> cipher = PayloadCipher::Create(Noise(8, 13));
  ASSERT_TRUE(cipher.has_value());
  for (const PayloadCipher* used : {static_cast<const PayloadCipher*>(nullptr), &std::as_const(*cipher)}) {
    std::vector<uint8_t> block;
    ASSERT_TRUE(EncodeScriptBlock(script, used, {}, block));
    std::vector<uint8_t> decoded;
    EXPECT_EQ(DecodeScriptBlock(block, used, Checksum(script), decoded), Error::kNone);
    EXPECT_EQ(decoded, script);
  }
}

TEST(ScriptBlock, ScrambledBlockIsXzCombinedWithTheScriptChecksum) {
  const std::vector<uint8_t> script = Bytes("the setup script");
  std::vector<uint8_t> block;
  ASSERT_TRUE(EncodeScriptBlock(script, nullptr, {}, block));
  Scramble(block, Checksum(script));
  const std::vector<uint8_t> xzMagic = {0xFD, '7', 'z', 'X', 'Z', 0x00};
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 6), xzMagic);
}

TEST(ScriptBlock, UndecodableBlocksAreError47) {
  const std::vector<uint8_t> script = Noise(1000, 14);
  std::optional<PayloadCipher> cipher = PayloadCipher::Create(Noise(8, 15));
  ASSERT_TRUE(cipher.has_value());
  std::vector<uint8_t> scrambled;
  std::vector<uint8_t> enciphered;
  ASSERT_TRUE(EncodeScriptBlock(script, nullptr, {}, scrambled));
  ASSERT_TRUE(EncodeScriptBlock(script, &*cipher, {}, enciphered));
  std::vector<uint8_t> decoded;
  EXPECT_EQ(DecodeScriptBlock(scrambled, nullptr, Checksum(script) + 1, decoded), Error::kScriptNotDecoded)
      << "wrong scramble key";
  EXPECT_EQ(DecodeScriptBlock(std::span(enciphered).first(enciphered.size() - 1), &*cipher, 0, decoded),
            Error::kScriptNotDecoded)
      << "not whole cipher blocks";
  EXPECT_EQ(DecodeScriptBlock(enciphered, nullptr, Checksum(script), decoded), Error::kScriptNotDecoded)
      << "enciphered block read as scrambled";
}

}  // namespace
}  // namespace palisade::format
