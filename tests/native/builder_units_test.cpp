// The builder's building blocks: patterns, encodings, the streamed
// checksum, the record stream and the ordered parallel encoder.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "builder/chunk_pipeline.h"
#include "builder/diagnostics.h"
#include "builder/extract.h"
#include "builder/glob.h"
#include "builder/record_stream.h"
#include "builder_test_support.h"
#include "builder/text_encoding.h"
#include "format/checksum.h"
#include "test_bytes.h"

namespace palisade::builder {
namespace {

struct GlobCase {
  const char* pattern;
  const char* path;
  bool matches;
};

TEST(GlobTest, MatchesComponentByComponent) {
  const GlobCase cases[] = {
      {"*.txt", "a.txt", true},    {"*.txt", "sub/a.txt", false},
      {"**/*.txt", "a.txt", true}, {"**/*.txt", "x/y/a.txt", true},
      {"**", "x/y/a.txt", true},   {"a?c", "abc", true},
      {"a?c", "ac", false},        {"x/**/z", "x/z", true},
      {"x/**/z", "x/a/b/z", true}, {"x/**/z", "x/a/b/y", false},
      {"*a*b*", "xxaybz", true},   {"*", "", false},
  };
  for (const GlobCase& c : cases) EXPECT_EQ(GlobMatches(c.pattern, c.path), c.matches) << c.pattern << " " << c.path;
}

TEST(TextEncodingTest, ConvertsBetweenTheEncodings) {
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("café ✓ 𝄞")), "café ✓ 𝄞");
  EXPECT_EQ(Utf8ToUtf16("𝄞"), (std::u16string{0xD834, 0xDD1E}));
  EXPECT_EQ(Utf8ToCp1252("über €"), std::optional<std::string>("\xFC"
                                                               "ber \x80"));
  EXPECT_EQ(Utf8ToCp1252("✓"), std::nullopt);
  EXPECT_EQ(Cp1252ToUtf8("\x80\x9F\xE9"), "€Ÿé");
  for (const char* invalid : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF8\x88\x80\x80\x80"}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
  }
}

TEST(RecordStreamTest, CutsRecordsIntoChunksOfTheGivenSize) {
  std::vector<std::vector<uint8_t>> chunks;
  RecordStream stream(4, [&](std::vector<uint8_t> chunk) {
    chunks.push_back(std::move(chunk));
    return true;
  });
  const uint8_t record[] = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(stream.BeginRecord(6));
  ASSERT_TRUE(stream.Append(std::span(record).first(1)));
  ASSERT_TRUE(stream.Append(std::span(record).subspan(1)));
  ASSERT_TRUE(stream.Finish());
  EXPECT_EQ(chunks, (std::vector<std::vector<uint8_t>>{{6, 0, 0, 0}, {1, 2, 3, 4}, {5, 6}}));
  EXPECT_FALSE(stream.BeginRecord(uint64_t{1} << 32));
}

TEST(RecordStreamTest, AFailingSinkStopsTheStream) {
  RecordStream stream(1, [](std::vector<uint8_t>) { return false; });
  EXPECT_FALSE(stream.BeginRecord(1));
  EXPECT_FALSE(stream.Finish());
}

TEST(ChunkPipelineTest, WritesInSubmissionOrderWhateverTheWorkTakes) {
  std::vector<uint8_t> written;
  ChunkPipeline pipeline(
      4,
      [](const std::vector<uint8_t>& plain, std::vector<uint8_t>& stored) {
        // Later chunks finish first.
        std::this_thread::sleep_for(std::chrono::milliseconds(10 - plain[0] % 10));
        stored = plain;
        return true;
      },
      [&](const std::vector<uint8_t>& stored) {
        written.push_back(stored[0]);
        return true;
      });
  for (uint8_t i = 0; i < 40; ++i) ASSERT_TRUE(pipeline.Submit({i}));
  ASSERT_TRUE(pipeline.Finish());
  std::vector<uint8_t> expected(40);
  for (uint8_t i = 0; i < 40; ++i) expected[i] = i;
  EXPECT_EQ(written, expected);
}

TEST(ChunkPipelineTest, AFailedEncodingFailsTheRun) {
  std::atomic<int> writes = 0;
  ChunkPipeline pipeline(
      2, [](const std::vector<uint8_t>& plain, std::vector<uint8_t>&) { return plain[0] != 3; },
      [&](const std::vector<uint8_t>&) {
        ++writes;
        return true;
      });
  for (uint8_t i = 0; i < 10; ++i) pipeline.Submit({i});
  EXPECT_FALSE(pipeline.Finish());
  EXPECT_LE(writes.load(), 3);
}

TEST(DiagnosticsTest, SuggestsOnlyNearMisses) {
  const std::string_view keys[] = {"install-folder", "start-menu-folder", "name"};
  EXPECT_EQ(ClosestWord("instal-folder", keys), "install-folder");
  EXPECT_EQ(ClosestWord("nmae", keys), "name");
  EXPECT_EQ(ClosestWord("colour", keys), "");
}

struct ExtractedName {
  const char* stored;
  uint32_t kind;
  const char* override;
  const char* path;  // empty: refused
};

TEST(ExtractTest, NamesStayInsideTheFolder) {
  const ExtractedName names[] = {
      {"docs\\a.txt", 0, "", "docs/a.txt"},
      {"a.ttf", 4, "", "font/a.ttf"},
      {"sub\\a.txt", 0, "%AppDataDir%\\Acme\\", "elsewhere/%AppDataDir%/Acme/a.txt"},
      {"a.txt", 0, "C:\\Tools\\", "elsewhere/C/Tools/a.txt"},
      {"..\\a.txt", 0, "", ""},
      {"docs\\\\a.txt", 0, "", ""},
      {"a/..\\b", 0, "", ""},
  };
  for (const ExtractedName& name : names) {
    format::FileRecord record;
    record.name = name.stored;
    record.kind = name.kind;
    record.destinationOverride = Utf8ToUtf16(name.override);
    std::optional<std::filesystem::path> path = ExtractedPath(record);
    EXPECT_EQ(path ? path->generic_string() : "", name.path) << name.stored;
  }
}

}  // namespace
}  // namespace palisade::builder

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

class GlobWalk : public test_support::BuilderTest {};

TEST_F(GlobWalk, SymbolicLinkedFilesKeepTheirOwnNames) {
  WriteText("elsewhere/target.dll", "bytes");
  WriteText("app/real.txt", "real");
  fs::create_symlink(Path("elsewhere/target.dll"), Path("app/link.dll"));
  std::vector<GlobMatch> matches;
  std::string problem;
  ASSERT_TRUE(ExpandGlob(Path(""), "app/**", {}, matches, problem)) << problem;
  ASSERT_EQ(matches.size(), 2u);
  EXPECT_EQ(matches[0].relative, "link.dll");
  EXPECT_EQ(matches[1].relative, "real.txt");
}

}  // namespace
}  // namespace palisade::builder

namespace palisade::builder {
namespace {

// `palisade build palisade.toml` in the project's own folder: the project
// folder is then an empty path, and a pattern without a base walks it.
TEST_F(GlobWalk, PatternsOfAProjectInTheCurrentFolderWalkIt) {
  WriteText("bin/tool.exe", "tool");
  WriteText("readme.txt", "read me");
  fs::path before = fs::current_path();
  fs::current_path(Path(""));
  std::vector<GlobMatch> matches;
  std::string problem;
  bool walked = ExpandGlob(fs::path("palisade.toml").parent_path(), "**", {"engine.exe"}, matches, problem);
  std::string packed = matches.empty() ? "" : test_support::ReadText(matches[0].source);
  fs::current_path(before);
  ASSERT_TRUE(walked) << problem;
  ASSERT_EQ(matches.size(), 2u);
  EXPECT_EQ(matches[0].relative, "bin/tool.exe");
  EXPECT_EQ(matches[1].relative, "readme.txt");
  EXPECT_EQ(packed, "tool");
}

}  // namespace
}  // namespace palisade::builder
