#include "format/file_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "byte_assembly.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::Assembly;
using test_bytes::Bytes;
using test_bytes::Hex;
using test_bytes::Noise;

std::vector<uint8_t> Written(const FileRecord& record) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(WriteFileRecord(record, bytes));
  return bytes;
}

TEST(FileRecord, FieldsLieInTheirStoredOrder) {
  const std::vector<uint8_t> data = Bytes("xyz");
  FileRecord record;
  record.name = "a";
  record.kind = destination_kind::kMsiPackage;
  record.flags = record_flags::kDesktopShortcut;
  record.attributes = 0x20;
  record.time = {2024, 1, 2, 3, 4, 5};
  record.textA = "A";
  record.textB = u"B";
  record.textC = "C";
  record.destinationOverride = u"D";
  record.textD = "E";
  record.msiUiLevel = 2;
  record.data = data;
  EXPECT_EQ(Written(record), Hex("6100 0b000000 01000000 20000000"
                                 "e8070000 01000000 02000000 03000000 04000000 05000000"
                                 "4100 42000000 4300 44000000 4500 02000000"
                                 "78797a 0bbee279"));
}

struct KindCase {
  uint32_t kind;
  uint32_t flags;
  const char* textA;    // as stored
  bool iconStored;      // flags bit 0 or 1
  bool msiLevelStored;  // kind 11
};

// Every destination kind, with flags that store the optional wide text or
// not; the other fields hold values of their own.
const KindCase kKindCases[] = {
    {0, record_flags::kDesktopShortcut | overwrite_mode::kUnlessNewer, "|Acme Notes \xC3\xA9", true, false},
    {1, record_flags::kPermanent, "shared", false, false},
    {4, overwrite_mode::kIfMissing, "Acme Sans", false, false},
    {5, record_flags::kStartMenuShortcut, "Acme at start", true, false},
    {6, overwrite_mode::kIfExists, "6.0.1", false, false},
    {7, overwrite_mode::kNever, "7.0.2", false, false},
    {8, record_flags::kToUninstallFolder, "8.0.3", false, false},
    {9, record_flags::kDesktopShortcut | record_flags::kStartMenuShortcut, "9.0.4", true, false},
    {10, 0x18, "driver", false, false},  // overwrite mode 0x18, which acts as 0x00
    {11, record_flags::kRemoveMsiPackage, "package", false, true},
    {12, 0x1C, "Acme Applet", false, false},  // overwrite mode 0x1C, which acts as 0x00
};

std::vector<uint8_t> AssembledRecord(const KindCase& c) {
  Assembly a;
  a.Narrow("bin\\tool.dll");                       // 1 name
  a.U32(c.kind);                                    // 2 destination kind
  a.U32(c.flags);                                   // 3 record flags
  a.U32(0x21);                                      // 4 attributes: read-only, archive
  a.Time(2024, 2, 29, 23, 59, 58);                  // 5 time stamp
  a.Narrow(c.textA);                                // 6 text A
  if (c.iconStored) a.Wide(u"ic\u00F4ne.ico");      // 7 text B, only with flags bit 0 or 1
  a.Narrow("--flag \xE9");                          // 8 text C, code page 1252
  a.Wide(u"lib\\renamed.dll");                     // 9 destination override
  a.Narrow("{01234567-89AB-CDEF-0123-456789ABCDEF}");  // 10 text D
  if (c.msiLevelStored) a.U32(5);                   // 11 MSI UI level, kind 11 only
  a.Raw("file bytes");                              // 12 file bytes, entry size 10
  a.U32(0x53C88905);                                // 13 checksum of the file bytes
  return a.bytes();
}

FileRecord ExpectedRecord(const KindCase& c, std::span<const uint8_t> data) {
  FileRecord r;
  r.name = "bin\\tool.dll";
  r.kind = c.kind;
  r.flags = c.flags;
  r.attributes = 0x21;
  r.time = {2024, 2, 29, 23, 59, 58};
  r.textA = c.textA;
  if (c.iconStored) r.textB = u"ic\u00F4ne.ico";
  r.textC = "--flag \xE9";
  r.destinationOverride = u"lib\\renamed.dll";
  r.textD = "{01234567-89AB-CDEF-0123-456789ABCDEF}";
  if (c.msiLevelStored) r.msiUiLevel = 5;
  r.data = data;
  return r;
}

TEST(FileRecordLayout, EveryKindReadsFromAndWritesToHandAssembledBytes) {
  const std::vector<uint8_t> data = Bytes("file bytes");
  for (const KindCase& c : kKindCases) {
    SCOPED_TRACE(::testing::Message() << "kind " << c.kind);
    const std::vector<uint8_t> bytes = AssembledRecord(c);
    FileRecord read;
    ASSERT_EQ(ReadFileRecord(bytes, 10, read), Error::kNone);
    EXPECT_EQ(read, ExpectedRecord(c, data));
    EXPECT_EQ(Written(ExpectedRecord(c, data)), bytes);

    // A large file's fields are read alone, ahead of its bytes and checksum.
    const std::size_t fieldsEnd = bytes.size() - 10 - 4;
    FileRecord fields;
    ASSERT_EQ(ReadRecordFields(std::span(bytes).first(fieldsEnd), 10, fields), Error::kNone);
    EXPECT_EQ(fields, ExpectedRecord(c, {}));
    EXPECT_EQ(ReadRecordFields(std::span(bytes).first(fieldsEnd - 1), 10, fields), Error::kFileChecksum)
        << "fields that run into the file bytes";
    EXPECT_EQ(ReadRecordFields(std::span(bytes).first(fieldsEnd + 1), 10, fields), Error::kFileChecksum)
        << "fields that end before the file bytes";
  }
}

TEST(FileRecord, OptionalFieldsFollowFlagsAndKind) {
  const std::vector<uint8_t> data = Noise(1000, 1);
  struct Case {
    const char* name;
    uint32_t kind;
    uint32_t flags;
    bool iconStored;
    bool msiLevelStored;
  };
  const Case cases[] = {
      {"plain file", destination_kind::kInstallFolder, 0, false, false},
      {"desktop shortcut", destination_kind::kInstallFolder, record_flags::kDesktopShortcut, true, false},
      {"start-menu shortcut", destination_kind::kStartup, record_flags::kStartMenuShortcut, true, false},
      {"both shortcuts, permanent", destination_kind::kInstallFolder,
       record_flags::kDesktopShortcut | record_flags::kStartMenuShortcut | record_flags::kPermanent, true, false},
      {"other flags only", destination_kind::kSystemCom, record_flags::kPermanent | overwrite_mode::kUnlessNewer, false,
       false},
      {"installer package", destination_kind::kMsiPackage, record_flags::kRemoveMsiPackage, false, true},
      {"applet", destination_kind::kControlPanelApplet, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileRecord record;
    record.name = "dir\\file.ext";
    record.kind = c.kind;
    record.flags = c.flags;
    record.time = {2001, 9, 9, -1, 0, 0};
    record.textA = "|Gr\xC3\xBC\xC3\x9F" "e";
    record.textB = u"icon.ico";
    record.textC = "--flag";
    record.destinationOverride = u"renamed.ext";
    record.textD = "{01234567-89AB-CDEF-0123-456789ABCDEF}";
    record.msiUiLevel = 5;
    record.data = data;
    std::vector<uint8_t> bytes = Written(record);

    FileRecord read;
    ASSERT_EQ(ReadFileRecord(bytes, static_cast<int32_t>(data.size()), read), Error::kNone);
    FileRecord expected = record;
    if (!c.iconStored) expected.textB.clear();
    if (!c.msiLevelStored) expected.msiUiLevel = 0;
    EXPECT_EQ(read, expected);
    EXPECT_EQ(read.data.data(), bytes.data() + bytes.size() - 4 - data.size()) << "file bytes are not copied";
  }
}

TEST(FileRecord, EmptyFileRoundTrips) {
  FileRecord record;
  record.name = "empty.txt";
  std::vector<uint8_t> bytes = Written(record);
  FileRecord read;
  ASSERT_EQ(ReadFileRecord(bytes, 0, read), Error::kNone);
  EXPECT_EQ(read, record);
}

TEST(FileRecord, WriterRefusesRecordsThatWouldNotReadBack) {
  const std::string withNul("a\0b", 3);
  struct Case {
    const char* name;
    void (*change)(FileRecord&, const std::string&);
  };
  const Case cases[] = {
      {"empty name", [](FileRecord& r, const std::string&) { r.name.clear(); }},
      {"NUL in the name", [](FileRecord& r, const std::string& v) { r.name = v; }},
      {"NUL in text A", [](FileRecord& r, const std::string& v) { r.textA = v; }},
      {"NUL in text C", [](FileRecord& r, const std::string& v) { r.textC = v; }},
      {"NUL in text D", [](FileRecord& r, const std::string& v) { r.textD = v; }},
      {"NUL in the icon text", [](FileRecord& r, const std::string&) { r.textB = std::u16string(2, u'\0'); }},
      {"NUL in the destination",
       [](FileRecord& r, const std::string&) { r.destinationOverride = std::u16string(1, u'\0'); }},
  };
  for (const Case& c : cases) {
    FileRecord record;
    record.name = "file";
    record.flags = record_flags::kDesktopShortcut;
    c.change(record, withNul);
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(WriteFileRecord(record, bytes)) << c.name;
    EXPECT_TRUE(bytes.empty()) << c.name;
  }
}

struct RecordFault {
  const char* name;
  std::size_t flipAt;  // counted back from the record's end; 0: no flip
  int32_t entrySizeChange;
  Error error;
};

TEST(FileRecord, FaultsAreReportedInFieldOrder) {
  const std::vector<uint8_t> data = Noise(16, 2);
  FileRecord record;
  record.name = "f";
  record.data = data;
  const std::vector<uint8_t> good = Written(record);
  const RecordFault faults[] = {
      {"file byte changed", 5, 0, Error::kFileChecksum},
      {"checksum changed", 1, 0, Error::kFileChecksum},
      {"entry size one more: checksum cut short", 0, 1, Error::kFileChecksum},
      {"entry size one less", 0, -1, Error::kFileChecksum},
      {"entry size far past the record", 0, 1000, Error::kFileChecksum},
      {"entry size negative", 0, -17, Error::kNegativeEntrySize},
      {"entry size above 1 GiB", 0, 0x40000001 - 16, Error::kEntrySizeTooLarge},
  };
  for (const RecordFault& fault : faults) {
    std::vector<uint8_t> bytes = good;
    if (fault.flipAt > 0) bytes[bytes.size() - fault.flipAt] ^= 0x01;
    FileRecord read;
    EXPECT_EQ(ReadFileRecord(bytes, 16 + fault.entrySizeChange, read), fault.error) << fault.name;
  }
  std::vector<uint8_t> noName = good;
  noName[0] = 0;
  FileRecord read;
  EXPECT_EQ(ReadFileRecord(noName, -1, read), Error::kEmptyFileName) << "the name is tested before the size";
}

}  // namespace
}  // namespace palisade::format
