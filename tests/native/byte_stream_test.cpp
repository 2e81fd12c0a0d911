#include "format/byte_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/narrow_text.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::Bytes;
using test_bytes::Hex;

TEST(ByteStream, EveryElementRoundTrips) {
  const TimeStamp time{2024, 2, 29, -1, 59, 58};
  const std::string compact(300, 'c');
  const std::vector<uint8_t> blob = Hex("00 01 fe ff");
  std::vector<uint8_t> bytes;
  ByteWriter writer(bytes);
  writer.Byte(0xAB);
  writer.U16(0xBEEF);
  writer.U32(0xDEADBEEF);
  writer.I32(-2);
  writer.Double(-1234.5625);
  writer.Time(time);
  writer.Bytes(Hex("01 02 03"));
  ASSERT_TRUE(writer.CompactString(compact));
  ASSERT_TRUE(writer.CompactString(""));
  ASSERT_TRUE(writer.ShortString("short"));
  ASSERT_TRUE(writer.MidString(std::string(256, 'm')));
  ASSERT_TRUE(writer.Blob(blob));
  ASSERT_TRUE(writer.Blob({}));
  ASSERT_TRUE(writer.NarrowText("|Gr\xC3\xBC\xC3\x9F" "e"));
  ASSERT_TRUE(writer.NarrowText(""));
  ASSERT_TRUE(writer.WideText(u"Wide \u00E9\u4E2D"));
  ASSERT_TRUE(writer.WideText(u""));

  ByteReader reader(bytes);
  EXPECT_EQ(reader.Byte(), 0xAB);
  EXPECT_EQ(reader.U16(), 0xBEEF);
  EXPECT_EQ(reader.U32(), 0xDEADBEEFu);
  EXPECT_EQ(reader.I32(), -2);
  EXPECT_EQ(reader.Double(), -1234.5625);
  EXPECT_EQ(reader.Time(), time);
  uint8_t three[3];
  EXPECT_TRUE(reader.Read(three));
  EXPECT_EQ(std::vector<uint8_t>(three, three + 3), Hex("01 02 03"));
  std::string text;
  EXPECT_TRUE(reader.CompactString(text));
  EXPECT_EQ(text, compact);
  EXPECT_TRUE(reader.CompactString(text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(reader.ShortString(), "short");
  EXPECT_EQ(reader.MidString(), std::string(256, 'm'));
  std::vector<uint8_t> readBlob;
  EXPECT_TRUE(reader.Blob(readBlob));
  EXPECT_EQ(readBlob, blob);
  EXPECT_TRUE(reader.Blob(readBlob));
  EXPECT_TRUE(readBlob.empty());
  EXPECT_EQ(reader.NarrowText(), "|Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(reader.NarrowText(), "");
  EXPECT_EQ(reader.WideText(), u"Wide \u00E9\u4E2D");
  EXPECT_EQ(reader.WideText(), u"");
  EXPECT_EQ(reader.remaining(), 0u);
  EXPECT_FALSE(reader.overran());
}

TEST(ByteStream, FixedWidthValuesAreLittleEndian) {
  std::vector<uint8_t> bytes;
  ByteWriter writer(bytes);
  writer.U16(0x0102);
  writer.U32(0x03040506);
  writer.I32(-1);
  writer.Double(1.0);
  writer.Time({1, 2, 3, 4, 5, -6});
  EXPECT_EQ(bytes, Hex("0201 06050403 ffffffff 000000000000f03f"
                       "01000000 02000000 03000000 04000000 05000000 faffffff"));
}

struct CompactCase {
  uint32_t length;
  const char* prefix;
};

TEST(CompactString, WritesTheShortestPrefixThatReadsBack) {
  const CompactCase cases[] = {
      {0, "00"},
      {1, "01"},
      {254, "fe"},
      {255, "ff ff ff000000"},        // low byte FF would announce the u32 form
      {256, "ff 00 01"},
      {510, "ff fe 01"},
      {511, "ff ff ff010000"},
      {65534, "ff fe ff"},
      {65535, "ff ff ffff0000"},
      {65536, "ff ff 00000100"},
      {100000, "ff ff a0860100"},
  };
  for (const CompactCase& c : cases) {
    std::string value(c.length, 'v');
    std::vector<uint8_t> bytes;
    ByteWriter writer(bytes);
    ASSERT_TRUE(writer.CompactString(value));
    std::vector<uint8_t> prefix = Hex(c.prefix);
    ASSERT_EQ(bytes.size(), prefix.size() + c.length) << c.length;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + prefix.size()), prefix) << c.length;

    ByteReader reader(bytes);
    std::string read;
    EXPECT_TRUE(reader.CompactString(read)) << c.length;
    EXPECT_EQ(read, value) << c.length;
    EXPECT_EQ(reader.remaining(), 0u) << c.length;
  }
}

TEST(CompactString, ReaderAcceptsLongerPrefixForms) {
  for (const char* stored : {"05 6162636465", "ff 0500 6162636465", "ff ff 05000000 6162636465"}) {
    std::vector<uint8_t> bytes = Hex(stored);
    ByteReader reader(bytes);
    std::string value;
    EXPECT_TRUE(reader.CompactString(value)) << stored;
    EXPECT_EQ(value, "abcde") << stored;
  }
}

TEST(CompactString, LengthAbove1GiBFailsTheReadButNotTheStream) {
  std::vector<uint8_t> bytes = Hex("ff ff 01000040 07");
  ByteReader reader(bytes);
  std::string value = "stale";
  EXPECT_FALSE(reader.CompactString(value));
  EXPECT_EQ(value, "");
  EXPECT_EQ(reader.Byte(), 7) << "the stream goes on after the length";
}

TEST(Blob, NegativeLengthFailsTheRead) {
  std::vector<uint8_t> bytes = Hex("ffffffff 07");
  ByteReader reader(bytes);
  std::vector<uint8_t> value = Hex("01");
  EXPECT_FALSE(reader.Blob(value));
  EXPECT_TRUE(value.empty());
  EXPECT_EQ(reader.Byte(), 7);
}

TEST(ByteWriter, RefusesWhatCannotBeReadBack) {
  const std::string withNul("a\0b", 3);
  struct Case {
    const char* name;
    bool (*write)(ByteWriter&, const std::string&);
    std::string value;
  };
  const Case cases[] = {
      {"short string of 256 bytes", [](ByteWriter& w, const std::string& v) { return w.ShortString(v); },
       std::string(256, 's')},
      {"mid string of 65536 bytes", [](ByteWriter& w, const std::string& v) { return w.MidString(v); },
       std::string(65536, 'm')},
      {"narrow text holding a NUL", [](ByteWriter& w, const std::string& v) { return w.NarrowText(v); }, withNul},
      {"wide text holding a NUL",
       [](ByteWriter& w, const std::string& v) { return w.WideText(std::u16string(v.begin(), v.end())); }, withNul},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = Hex("aa");
    ByteWriter writer(bytes);
    EXPECT_FALSE(c.write(writer, c.value)) << c.name;
    EXPECT_EQ(bytes, Hex("aa")) << c.name << ": nothing written";
  }
  std::vector<uint8_t> bytes;
  ByteWriter writer(bytes);
  EXPECT_TRUE(writer.ShortString(std::string(255, 's')));
  EXPECT_TRUE(writer.MidString(std::string(65535, 'm')));
}

// A read past the end yields zeros for the missing bytes and never stops
// the reader.
// Numbers and blocks cut short read as zeros; strings cut short keep only
// the bytes that are there, so that a damaged length cannot claim memory.
TEST(ByteReader, ShortReadsGoOn) {
  struct Case {
    const char* name;
    const char* stored;
    std::function<void(ByteReader&)> check;
  };
  const Case cases[] = {
      {"u32 from two bytes", "0102", [](ByteReader& r) { EXPECT_EQ(r.U32(), 0x0201u); }},
      {"u16 from nothing", "", [](ByteReader& r) { EXPECT_EQ(r.U16(), 0); }},
      {"double from four bytes", "00000000", [](ByteReader& r) { EXPECT_EQ(r.Double(), 0.0); }},
      {"time block cut in the day", "e8070000 0c000000 1f",
       [](ByteReader& r) { EXPECT_EQ(r.Time(), (TimeStamp{2024, 12, 31, 0, 0, 0})); }},
      {"compact string cut short", "05 6162",
       [](ByteReader& r) {
         std::string value;
         EXPECT_TRUE(r.CompactString(value));
         EXPECT_EQ(value, "ab");
       }},
      {"compact string claiming 1 GiB", "ffff00000040 6162",
       [](ByteReader& r) {
         std::string value;
         EXPECT_TRUE(r.CompactString(value));
         EXPECT_EQ(value, "ab");
       }},
      {"compact prefix cut short", "ff 05",
       [](ByteReader& r) {
         std::string value;
         EXPECT_TRUE(r.CompactString(value));
         EXPECT_EQ(value, "");
       }},
      {"short string cut short", "03 61", [](ByteReader& r) { EXPECT_EQ(r.ShortString(), "a"); }},
      {"mid string cut short", "0200", [](ByteReader& r) { EXPECT_EQ(r.MidString(), ""); }},
      {"blob cut short", "03000000 09",
       [](ByteReader& r) {
         std::vector<uint8_t> value;
         EXPECT_TRUE(r.Blob(value));
         EXPECT_EQ(value, Hex("09"));
       }},
      {"narrow text without NUL", "616263", [](ByteReader& r) { EXPECT_EQ(r.NarrowText(), "abc"); }},
      {"wide text without NUL", "6100 62", [](ByteReader& r) { EXPECT_EQ(r.WideText(), u"ab"); }},
      {"fixed block cut short", "0102",
       [](ByteReader& r) {
         uint8_t block[4] = {9, 9, 9, 9};
         EXPECT_FALSE(r.Read(block));
         EXPECT_EQ(std::vector<uint8_t>(block, block + 4), Hex("01020000"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Hex(c.stored);
    ByteReader reader(bytes);
    c.check(reader);
    EXPECT_TRUE(reader.overran());
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_EQ(reader.U32(), 0u) << "reading on after the end";
    EXPECT_EQ(reader.NarrowText(), "");
  }
}

TEST(ByteReader, TextsLongerThanAnyReadAheadWindow) {
  const std::string narrow(5000, 'n');
  const std::u16string wide(3000, u'w');
  std::vector<uint8_t> bytes;
  ByteWriter writer(bytes);
  ASSERT_TRUE(writer.NarrowText(narrow));
  ASSERT_TRUE(writer.WideText(wide));
  ByteReader reader(bytes);
  EXPECT_EQ(reader.NarrowText(), narrow);
  EXPECT_EQ(reader.WideText(), wide);
  EXPECT_FALSE(reader.overran());
}

TEST(ByteReader, ViewDoesNotCopy) {
  const std::vector<uint8_t> bytes = Hex("01 02 03 04 05");
  ByteReader reader(bytes);
  reader.Byte();
  std::span<const uint8_t> view = reader.View(3);
  EXPECT_EQ(view.data(), bytes.data() + 1);
  EXPECT_EQ(view.size(), 3u);
  EXPECT_EQ(reader.View(5).size(), 1u) << "a view is cut at the end";
  EXPECT_TRUE(reader.overran());
}

struct NarrowCase {
  const char* text;
  const char* stored;
};

TEST(NarrowForm, AsciiStaysAndEverythingElseGetsTheBar) {
  const NarrowCase cases[] = {
      {"", ""},
      {"plain ASCII", "plain ASCII"},
      {"|starts with a bar", "||starts with a bar"},
      {"bar | inside", "bar | inside"},
      {"Gr\xC3\xBC\xC3\x9F" "e", "|Gr\xC3\xBC\xC3\x9F" "e"},
      {"|\xE2\x82\xAC", "||\xE2\x82\xAC"},
  };
  for (const NarrowCase& c : cases) {
    EXPECT_EQ(EncodeNarrowForm(c.text), c.stored) << c.text;
    DecodedNarrowText decoded = DecodeNarrowForm(c.stored);
    EXPECT_EQ(decoded.text, c.text) << c.stored;
    EXPECT_EQ(decoded.utf8, c.stored[0] == '|') << c.stored;
  }
}

TEST(NarrowForm, TextWithoutBarIsInTheAnsiCodePage) {
  DecodedNarrowText decoded = DecodeNarrowForm("caf\xE9");
  EXPECT_EQ(decoded.text, "caf\xE9");
  EXPECT_FALSE(decoded.utf8);
}

}  // namespace
}  // namespace palisade::format
