// The engine reading real payloads under Wine: sound installers run through
// to the end of what the engine does today, and every kind of damage is
// reported with its error number on standard error and exit code 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "format/checksum.h"
#include "format/pe_image.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

std::string CorruptReport(int code) {
  return "This installation program is corrupt.  This is usually caused by a faulty download, but it can also be "
         "caused by a virus on your computer.  The installation cannot proceed.\r\n\r\n"
         "Delete the corrupted installer (to prevent caching), then re-download it.  If the problem persists, check "
         "your system for viruses.\r\n\r\nError code: " +
         std::to_string(code) + "\r\n";
}

InstallerRecipe TwoFiles() {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.files = {{"readme.txt", "hello, world"}, {"bin\\tool.dat", std::string(3000, 'x')}};
  return recipe;
}

size_t Find(const Bytes& bytes, const std::string& text, size_t from = 0) {
  auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), text.begin(), text.end());
  if (at == bytes.end()) throw std::runtime_error("not found: " + text);
  return static_cast<size_t>(at - bytes.begin());
}

void PutU32(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutU16(Bytes& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// Distinctive texts in the fields stored just before the ones that the
// cases damage, so that a case finds its field in the script's bytes.
constexpr char kTitleMarker[] = "MARK-TITLE";  // then title size, placement, minimum status time
constexpr char kLinkMarker[] = "MARK-LINK";    // then the license and readme counts
constexpr char kMergeMarker[] = "MARK-MERGE";  // then the bitmap size
constexpr char16_t kPinMarker[] = u"MARK-PIN";  // then, after its NUL, the registration value count

size_t After(const Bytes& script, const std::string& marker) { return Find(script, marker) + marker.size(); }

size_t AfterPinMarker(const Bytes& script) {
  std::string utf16;
  for (const char16_t* c = kPinMarker; *c; ++c) utf16 += {static_cast<char>(*c), '\0'};
  return After(script, utf16) + 2;
}

// Each sentinel list ends with its end text alone (11 bytes and the NUL):
// the conditional-delete list is followed by the association and shortcut
// counts, the close-rule list by the language and message counts.
size_t AfterConditionalDeletes(const Bytes& script) { return Find(script, "~~THE END~~") + 12; }
size_t AfterCloseRules(const Bytes& script) { return Find(script, "~~THE~END~~") + 12; }

// A record the reader takes for one more entry of a sentinel list.
void InsertBefore(Bytes& script, const std::string& end, const std::string& record) {
  size_t at = Find(script, end);
  script.insert(script.begin() + static_cast<std::ptrdiff_t>(at), record.begin(), record.end());
}

// Changes a byte of a chunk's stored data and mends the chunk's checksum,
// so that only the decoding fails.
void SpoilFirstChunkData(Bytes& archive) {
  uint32_t size = archive[0] | archive[1] << 8 | archive[2] << 16 | static_cast<uint32_t>(archive[3]) << 24;
  archive[8 + size / 2] ^= 0x5A;
  PutU32(archive, 4, format::Checksum(std::span<const uint8_t>(archive.data() + 8, size)));
}

// A byte of the padding after the section table: the loader ignores it, the
// stub checksum covers it.
void ChangeHeaderPadding(Bytes& installer) {
  uint32_t pe = installer[60] | installer[61] << 8;
  uint32_t sections = installer[pe + 6] | installer[pe + 7] << 8;
  uint32_t optionalHeader = installer[pe + 20] | installer[pe + 21] << 8;
  installer[pe + 24 + optionalHeader + 40 * sections + 16] ^= 0xAA;
}

struct CorruptCase {
  const char* name;
  std::function<void(InstallerRecipe&)> damage;
  int code;
};

std::vector<CorruptCase> CorruptCases() {
  using HF = HeaderField;
  auto header = [](HF field, uint32_t value) {
    return [=](InstallerRecipe& r) { r.editInstaller = [=](Bytes& b) { PatchHeaderField(b, field, value); }; };
  };
  auto script = [](std::function<void(Bytes&)> edit) { return [=](InstallerRecipe& r) { r.editScript = edit; }; };
  auto archive = [](std::function<void(Bytes&)> edit) { return [=](InstallerRecipe& r) { r.editArchive = edit; }; };
  auto plainChunk = [](std::function<void(Bytes&)> edit) {
    return [=](InstallerRecipe& r) { r.editPlainChunk = [=](Bytes& c, size_t) { edit(c); }; };
  };
  return {
      {"wrong magic", [](InstallerRecipe& r) { r.editInstaller = [](Bytes& b) { b[PayloadOffset(b)] ^= 0xFF; }; }, 20},
      {"script block size 0", header(HF::kScriptBlockSize, 0), 22},
      {"script block size 0x3200000", header(HF::kScriptBlockSize, 0x3200000), 22},
      {"negative entry count", header(HF::kEntryCount, 0xFFFFFFFF), 27},
      {"entry size above 0x40000000", header(HF::kFirstEntrySize, 0x40000001), 28},
      {"negative archive length", header(HF::kArchiveLength, 0xFFFFFFFF), 29},
      {"negative archive end", header(HF::kArchiveEnd, 0xFFFFFFFF), 45},
      {"script block damaged",
       [](InstallerRecipe& r) { r.editScriptBlock = [](Bytes& block) { block[block.size() / 2] ^= 0x33; }; }, 47},
      {"script checksum differs",
       [](InstallerRecipe& r) {
         r.encipher = true;  // unscrambling would use the checksum as its key
         r.editHeader = [](format::PayloadHeader& h) { h.scriptChecksum ^= 1; };
       },
       25},
      {"minimum status time 10000", script([](Bytes& s) { PutU16(s, After(s, kTitleMarker) + 12, 10000); }), 19},
      {"21 license texts", script([](Bytes& s) { PutU32(s, After(s, kLinkMarker), 21); }), 24},
      {"21 readme texts", script([](Bytes& s) { PutU32(s, After(s, kLinkMarker) + 4, 21); }), 26},
      {"bitmap size 101", script([](Bytes& s) { PutU32(s, After(s, kMergeMarker), 101); }), 39},
      {"1002 conditional deletes",
       [](InstallerRecipe& r) {
         r.script.conditionalDeletes.assign(1001, format::ConditionalDeleteRule{"x", 0, "", 0});
         r.editScript = [](Bytes& s) { InsertBefore(s, "~~THE END~~", std::string("y\0\0\0\0", 5)); };
       },
       38},
      {"1001 associations", script([](Bytes& s) { PutU32(s, AfterConditionalDeletes(s), 1001); }), 36},
      {"1001 shortcuts", script([](Bytes& s) { PutU32(s, AfterConditionalDeletes(s) + 4, 1001); }), 48},
      {"1001 registration values", script([](Bytes& s) { PutU32(s, AfterPinMarker(s), 1001); }), 37},
      {"1001 close rules",
       [](InstallerRecipe& r) {
         r.script.closeRules.assign(1000, format::CloseRule{"c", "", "", 0, 0});
         r.editScript = [](Bytes& s) { InsertBefore(s, "~~THE~END~~", std::string("d\0\0\0\0\0", 6)); };
       },
       41},
      {"no languages", script([](Bytes& s) { s[AfterCloseRules(s)] = 0; }), 30},
      {"10001 messages", script([](Bytes& s) { PutU32(s, AfterCloseRules(s) + 1, 10001); }), 31},
      {"no end marker", script([](Bytes& s) { s.back() ^= 0xFF; }), 32},
      {"stub changed",
       [](InstallerRecipe& r) {
         r.script.productFlagsHigh |= format::product_flags_high::kVerifyStub;
         r.editInstaller = ChangeHeaderPadding;
       },
       40},
      {"archive length differs", header(HF::kArchiveLength, 1), 46},
      {"archive end before the archive start",
       [](InstallerRecipe& r) {
         r.files.clear();  // an empty archive, truly described by its length and checksum
         r.editInstaller = [](Bytes& b) { PatchHeaderField(b, HF::kArchiveEnd, 16); };
       },
       46},
      {"archive checksum differs", header(HF::kArchiveChecksum, 0x12345678), 55},
      {"chunk does not decode", archive(SpoilFirstChunkData), 60},
      {"chunk size 0", archive([](Bytes& a) { PutU32(a, 0, 0); }), 61},
      {"chunk checksum differs", archive([](Bytes& a) { a[4] ^= 1; }), 62},
      {"chunk runs past the archive", archive([](Bytes& a) { PutU32(a, 0, static_cast<uint32_t>(a.size())); }), 63},
      {"record length 0x10000000", plainChunk([](Bytes& c) { PutU32(c, 0, 0x10000000); }), 63},
      {"record length 0x80000000", plainChunk([](Bytes& c) { PutU32(c, 0, 0x80000000); }), 63},
      {"record length 0xFFFFFFFF", plainChunk([](Bytes& c) { PutU32(c, 0, 0xFFFFFFFF); }), 63},
      {"record length 0xFFFFFFFF in chunks stored uncompressed",
       [](InstallerRecipe& r) {
         r.script.productFlagsLow &= ~format::product_flags_low::kArchiveCompressed;
         r.editPlainChunk = [](Bytes& c, size_t) { PutU32(c, 0, 0xFFFFFFFF); };
       },
       63},
      {"empty file name", plainChunk([](Bytes& c) { c[4] = 0; }), 70},
      {"destination kind 3", [](InstallerRecipe& r) { r.files[1].kind = 3; }, 110},
      {"registration value of type 3",
       [](InstallerRecipe& r) {
         r.script.productFlagsLow |= format::product_flags_low::kPreviousInstallation;
         r.script.uninstallerName = "Uninstall.exe";
         r.script.registrationValues = {{"HelpLink", 1, "https://example.invalid/"}, {"Odd", 3, "x"}};
       },
       200},
      {"chunk after the last record", archive([](Bytes& a) {
         Bytes copy = a;
         a.insert(a.end(), copy.begin(), copy.end());
       }), 80},
      {"bytes after the last record", plainChunk([](Bytes& c) { c.push_back(0); }), 83},
      {"file bytes changed", plainChunk([](Bytes& c) { c[Find(c, "hello")] = 'j'; }), 100},
  };
}

InstallerRecipe MarkedTwoFiles() {
  InstallerRecipe recipe = TwoFiles();
  recipe.script.displayTitle = kTitleMarker;
  recipe.script.greetingLinkText = kLinkMarker;
  recipe.script.registryMergeFileText = kMergeMarker;
  recipe.script.pinName = kPinMarker;
  return recipe;
}

class CorruptPayload : public SharedPrefixTest {
 protected:
  RunResult RunSilently(const Bytes& installer, const std::string& name, const std::string& option = "") {
    std::string path = prefix_->DriveC() + "/cases/" + name + ".exe";
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
    WriteBytes(path, installer);
    std::vector<std::string> command = {"C:\\cases\\" + name + ".exe", "/silent"};
    if (!option.empty()) command.push_back(option);
    return prefix_->Run(command);
  }

};

std::string FileName(const char* name) {
  std::string file = name;
  std::replace(file.begin(), file.end(), ' ', '-');
  return file;
}

TEST_F(CorruptPayload, EachDamageIsReportedWithItsErrorNumber) {
  for (const CorruptCase& c : CorruptCases()) {
    InstallerRecipe recipe = MarkedTwoFiles();
    c.damage(recipe);
    RunResult run = RunSilently(BuildInstaller(recipe), FileName(c.name));
    EXPECT_EQ(run.exitCode, 1) << c.name;
    EXPECT_EQ(run.err, CorruptReport(c.code)) << c.name;
  }
}

// Once the script is read, its own corrupt-installer text takes the place of
// the built-in one, with the error number and its tags filled in.
TEST_F(CorruptPayload, ScriptsCorruptTextReplacesTheBuiltInOne) {
  InstallerRecipe recipe = TwoFiles();
  recipe.script.messages[13][0] = u"<PRODUCT> is damaged (error %d); fetch <product> again.";
  recipe.editInstaller = [](Bytes& b) { PatchHeaderField(b, HeaderField::kArchiveChecksum, 0x12345678); };
  RunResult run = RunSilently(BuildInstaller(recipe), "own-corrupt-text");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Palisade Test Product is damaged (error 55); fetch Palisade Test Product again.\r\n");
}

TEST_F(CorruptPayload, ForeignEngineVersionIsRefusedByName) {
  InstallerRecipe recipe = TwoFiles();
  recipe.editInstaller = [](Bytes& b) { b[PayloadOffset(b) + 4 + 5] = '2'; };
  RunResult run = RunSilently(BuildInstaller(recipe), "foreign-version");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "The installer version (39.0.1) does not match the version of Palisade Setup (39.0.2).  Close all "
            "applications and reinstall Palisade Setup.\r\n");
}

struct SoundCase {
  const char* name;
  std::function<void(InstallerRecipe&)> shape;
};

TEST_F(CorruptPayload, SoundPayloadsAreReadToTheEnd) {
  const SoundCase cases[] = {
      {"scrambled and compressed", [](InstallerRecipe&) {}},
      {"enciphered", [](InstallerRecipe& r) { r.encipher = true; }},
      {"not compressed", [](InstallerRecipe& r) { r.script.productFlagsLow &= ~format::product_flags_low::kArchiveCompressed; }},
      {"records straddle small chunks", [](InstallerRecipe& r) { r.chunkSize = 7; }},
      {"enciphered small chunks", [](InstallerRecipe& r) { r.encipher = true; r.chunkSize = 5; }},
      {"archive read from the file", [](InstallerRecipe& r) { r.script.archiveFromFile = 1; }},
      {"stub verified", [](InstallerRecipe& r) { r.script.productFlagsHigh |= format::product_flags_high::kVerifyStub; }},
      {"stripped uninstaller", [](InstallerRecipe& r) { r.productFlags2 |= format::product_flags2::kStripPayload; }},
      {"no files", [](InstallerRecipe& r) { r.files.clear(); }},
      {"script in two xz streams", [](InstallerRecipe& r) { r.scriptInTwoStreams = true; }},
      {"enciphered script in two xz streams",
       [](InstallerRecipe& r) {
         r.scriptInTwoStreams = true;
         r.encipher = true;
       }},
      {"empty file", [](InstallerRecipe& r) { r.files.push_back({"empty.txt", ""}); }},
      {"1001 conditional deletes and 1000 close rules",
       [](InstallerRecipe& r) {
         r.script.conditionalDeletes.assign(1001, format::ConditionalDeleteRule{"x", 0, "", 0});
         r.script.closeRules.assign(1000, format::CloseRule{"c", "", "", 0, 0});
       }},
      {"signature appended to an archive read from the file",
       [](InstallerRecipe& r) {
         r.script.archiveFromFile = 1;
         r.editInstaller = [](Bytes& b) { b.insert(b.end(), 512, 0x30); };
       }},
  };
  // An installation ends with exit code 1 whether or not it worked: only
  // the files show that the archive was read to the end.
  for (const SoundCase& c : cases) {
    InstallerRecipe recipe = TwoFiles();
    c.shape(recipe);
    RunResult run = RunSilently(BuildInstaller(recipe), FileName(c.name), "/d:C:\\installed\\" + FileName(c.name));
    EXPECT_EQ(run.exitCode, 1) << c.name;
    EXPECT_EQ(run.err, "") << c.name;
    for (const TestFile& file : recipe.files) {
      std::string relative = file.name;
      std::replace(relative.begin(), relative.end(), '\\', '/');
      std::string installed = prefix_->DriveC() + "/installed/" + FileName(c.name) + "/" + relative;
      EXPECT_TRUE(FileExists(installed)) << c.name << ": " << relative;
      EXPECT_EQ(ReadFile(installed), file.content) << c.name << ": " << relative;
    }
  }
}

TEST_F(CorruptPayload, StrippedUninstallerImageStartsAndHasNoInstallationData) {
  InstallerRecipe recipe = TwoFiles();
  recipe.productFlags2 |= format::product_flags2::kStripPayload;
  Bytes installer = BuildInstaller(recipe);
  format::SectionSearch search = format::FindPayloadSection(installer);
  ASSERT_TRUE(search.found);
  const format::SectionLocation& s = search.section;
  Bytes stripped = format::StripPayloadSection(
      std::span<const uint8_t>(installer.data(), s.rawOffset),
      std::span<const uint8_t>(installer.data() + s.rawOffset + s.rawSize, installer.size() - s.rawOffset - s.rawSize), s);
  EXPECT_FALSE(format::FindPayloadSection(stripped).found);
  EXPECT_EQ(stripped.size(), ReadFile(EnginePath()).size());
  RunResult run = RunSilently(stripped, "stripped-uninstaller");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("There is no installation data present."), std::string::npos) << run.err;
}

}  // namespace
}  // namespace palisade::testing
