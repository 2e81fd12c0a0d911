#include <gtest/gtest.h>

#include <functional>

#include "format/checks.h"
#include "format/product_flags.h"
#include "format/setup_script.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Every field holds a value of its own, so that a field read into the wrong
// place shows.
SetupScript EveryFieldSet() {
  SetupScript s;
  s.productFlagsLow = product_flags_low::kMasterProduct | product_flags_low::kPreviousInstallation | 0x1;
  s.productFlagsHigh = 0x80000001;
  s.automaticModeRequest = 2;
  s.taskbarText = "taskbar";
  s.displayTitle = "Acme Notes \xE2\x80\x94 2.1";
  s.titleSize = 23.5;
  s.progressPlacement = 3;
  s.minimumStatusTime = 9999;
  s.shortcutMode = 1;
  s.uninstallerTime = {2026, 12, 7, 9, 5, 3};
  s.publisher = "Acme";
  s.productName = "Acme Notes";
  s.description = "notes";
  s.bitness = 1;
  s.optionByte = 9;
  s.sharedPath = "Acme Shared";
  s.portableSharedFolder = "shared";
  s.startMenuFolder = "Acme\\Notes";
  s.displayVersion = "2.1.0";
  s.installFolderRule = "%ProgramsDir%\\Acme";
  s.productRegistry = "Acme\\Notes";
  s.registryMergeText = u"REGEDIT4\r\n\u00FC";
  s.registryMergeFileText = "[HKEY_CURRENT_USER\\Software\\Acme]";
  s.bitmapSize = 100;
  s.stretchMode = -1;
  s.greetingLinkText = "|starts with a bar";
  s.licenseTexts = {test_bytes::Bytes("{\\rtf1 license}"), test_bytes::Bytes("Lizenz")};
  s.readmeTexts = {test_bytes::Bytes("readme")};
  s.uninstallSubfolder = "uninstall";
  s.uninstallerName = "Uninstall Acme.exe";
  s.uninstallName = "Acme Notes 2";
  s.text31 = "t31";
  s.productHeading = "<product> <description>";
  s.bannerTextColor = 0x112233;
  s.sidePictureFrame = 3;
  s.titleColor = 0xFFFFFF;
  s.titleShadow = 1;
  s.titlePosition = 2;
  s.titleFont = "Segoe UI";
  s.topColor = 0x1E3A5F;
  s.bottomColor = 0x0B1624;
  s.backgroundBitmap = test_bytes::Hex("424d 0102 0304");
  s.bitmapTpi = 77;
  s.copyrightPosition = 4;
  s.copyrightColor = 0xABCDEF;
  s.copyrightSize = 9.25;
  s.copyrightText = "\xC2\xA9 2026 Acme";
  s.copyrightFont = "Tahoma";
  s.masterRegistryName = "Acme Suite";
  s.masterDisplayName = "the Acme Suite";
  s.masterMinimumVersion = "3.0";
  s.greetingSound = test_bytes::Hex("52494646 00ff 00");
  s.desktopFolder = "Acme";
  s.dataBlock46 = test_bytes::Hex("0a0b");
  for (int i = 0; i < kBatchCount; ++i) s.batches[static_cast<size_t>(i)] = "echo batch " + std::to_string(i);
  for (size_t i = 0; i < s.block48.size(); ++i) s.block48[i] = static_cast<uint8_t>(i + 1);
  s.excludedSystems = 0x100;
  s.archiveFromFile = 1;
  s.launchProgram = "%InstallDir%\\notes.exe";
  s.openDocument = "readme.txt";
  s.summaryOpenTarget = "https://example.invalid/";
  s.startNotifyUrl = "start";
  s.beginNotifyUrl = "begin";
  s.closingNotifyUrls = {"first", "upgrade", "newer", "again"};
  s.uninstallNotifyUrl = "gone";
  s.greetingText = "welcome";
  s.text52 = "t52";
  s.text53 = "t53";
  s.password = "secret";
  s.text54 = "t54";
  s.firewallText = "fw";
  s.addToPathSubfolder = "bin";
  s.pageOptions = {1, 2};
  s.pageStyles = {1, 2, 3, 0, 1, 2, 3, 0};
  s.optionalBlob = test_bytes::Hex("ff");
  s.conditionalDeletes = {{"*.tmp", 1, "x", 8}, {"\xC3\xA9t\xC3\xA9.log", 2, "", 0}};
  AssociationRecord association{1, ".acmenote", "Acme.Note", "Acme note", "open", "&Open", "\"%1\"", u"notes.exe,1", ""};
  s.associations = {association};
  s.shortcuts = {{"notes.exe", "Acme Notes", "notes.ico", "--x", "%InstallDir%", 1, 1, 0, "extra", 1, 2}};
  s.rootShortcutCommand = "notes.exe";
  s.rootShortcutName = "Notes";
  s.pinCommand = u"notes.exe";
  s.pinName = u"Notes \u00E9";
  s.registrationValues = {{"HelpLink", 1, "https://example.invalid/help"}, {"Sub\\Count", 4, "3"}};
  s.supportOffer = "support";
  s.dataBlock63 = test_bytes::Hex("63");
  s.closeRules = {{"AcmeNotesMain", "", "Acme Notes", 2, 1}};
  s.languageNames = {u"English", u"Deutsch"};
  s.messages = {{u"title", u"Titel"}, {u"line\r\nbreak", u""}};
  return s;
}

std::string Identity(std::string_view text) { return std::string(text); }

bool SameScript(const SetupScript& a, const SetupScript& b) {
  Bytes left, right;
  std::string problem;
  return WriteSetupScript(a, left, problem) && WriteSetupScript(b, right, problem) && left == right;
}

TEST(SetupScript, EveryFieldRoundTrips) {
  SetupScript written = EveryFieldSet();
  Bytes bytes;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(written, bytes, problem)) << problem;
  SetupScript read;
  ASSERT_EQ(ReadSetupScript(bytes, Identity, read), Error::kNone);
  EXPECT_TRUE(SameScript(written, read));
  EXPECT_EQ(read.displayTitle, written.displayTitle);
  EXPECT_EQ(read.greetingLinkText, "|starts with a bar");
  EXPECT_EQ(read.associations[0].description, "Acme note");
  EXPECT_EQ(read.shortcuts[0].windowState, 2);
  EXPECT_EQ(read.messages[1][0], u"line\r\nbreak");
  EXPECT_EQ(read.registryMergeText, written.registryMergeText);
  EXPECT_EQ(read.uninstallerTime, written.uninstallerTime);
}

TEST(SetupScript, OptionalFieldsFollowTheirFlags) {
  SetupScript script = EveryFieldSet();
  script.productFlagsLow = 0;
  script.copyrightPosition = 0;
  script.backgroundBitmap.clear();
  Bytes bytes;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(script, bytes, problem));
  SetupScript read;
  ASSERT_EQ(ReadSetupScript(bytes, Identity, read), Error::kNone);
  EXPECT_EQ(read.masterRegistryName, "");
  EXPECT_TRUE(read.optionalBlob.empty());
  EXPECT_EQ(read.copyrightText, "");
  EXPECT_EQ(read.bitmapTpi, 0u);
  EXPECT_EQ(read.password, "secret");
}

TEST(SetupScript, NonAsciiTextsAreStoredWithTheBar) {
  SetupScript script = EveryFieldSet();
  Bytes bytes;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(script, bytes, problem));
  std::string stored(bytes.begin(), bytes.end());
  EXPECT_NE(stored.find("|\xC2\xA9 2026 Acme"), std::string::npos);
  EXPECT_NE(stored.find("||starts with a bar"), std::string::npos);
}

TEST(SetupScript, TextsWithoutTheBarAreConvertedFromTheAnsiCodePage) {
  SetupScript script = EveryFieldSet();
  Bytes bytes;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(script, bytes, problem));
  // Store the publisher as an old builder would have: Latin-1, no bar.
  std::string stored(bytes.begin(), bytes.end());
  size_t at = stored.find("\x04" "Acme");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 4] = 0xE9;  // "Acm\xE9"
  SetupScript read;
  ASSERT_EQ(ReadSetupScript(bytes, Latin1ToUtf8, read), Error::kNone);
  EXPECT_EQ(read.publisher, "Acm\xC3\xA9");
}

struct RefusalCase {
  const char* name;
  std::function<void(SetupScript&)> spoil;
  const char* field;
};

TEST(SetupScript, WriterRefusesWhatTheReaderWouldReject) {
  const RefusalCase cases[] = {
      {"status time", [](SetupScript& s) { s.minimumStatusTime = 10000; }, "minimum status time"},
      {"bitmap size", [](SetupScript& s) { s.bitmapSize = 101; }, "bitmap size"},
      {"license texts", [](SetupScript& s) { s.licenseTexts.resize(21); }, "license texts"},
      {"shortcuts", [](SetupScript& s) { s.shortcuts.resize(1001); }, "shortcuts"},
      {"close rules", [](SetupScript& s) { s.closeRules.resize(1001, CloseRule{"c", "", "", 0, 0}); }, "close rules"},
      {"conditional deletes",
       [](SetupScript& s) { s.conditionalDeletes.resize(1002, ConditionalDeleteRule{"x", 0, "", 0}); },
       "conditional deletes"},
      {"no language", [](SetupScript& s) { s.languageNames.clear(); }, "languages"},
      {"ragged messages", [](SetupScript& s) { s.messages[0].pop_back(); }, "messages: one text per language"},
      {"end text as a rule", [](SetupScript& s) { s.closeRules[0].windowClass = kCloseRuleListEnd; },
       "close rule window class"},
      {"NUL in a narrow text", [](SetupScript& s) { s.uninstallerName = std::string("a\0b", 3); }, "uninstaller name"},
      {"short string too long", [](SetupScript& s) { s.text53 = std::string(256, 'x'); }, "text 53"},
  };
  for (const RefusalCase& c : cases) {
    SetupScript script = EveryFieldSet();
    c.spoil(script);
    Bytes bytes = {1, 2, 3};
    std::string problem;
    EXPECT_FALSE(WriteSetupScript(script, bytes, problem)) << c.name;
    EXPECT_EQ(problem, c.field) << c.name;
    EXPECT_EQ(bytes, Bytes({1, 2, 3})) << c.name;
  }
}

TEST(SetupScript, ListsAtTheirLimitsAreAccepted) {
  SetupScript script = EveryFieldSet();
  script.conditionalDeletes.assign(1001, ConditionalDeleteRule{"x", 0, "", 0});
  script.closeRules.assign(1000, CloseRule{"c", "", "", 0, 0});
  Bytes bytes;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(script, bytes, problem)) << problem;
  SetupScript read;
  ASSERT_EQ(ReadSetupScript(bytes, Identity, read), Error::kNone);
  EXPECT_EQ(read.conditionalDeletes.size(), 1001u);
  EXPECT_EQ(read.closeRules.size(), 1000u);
}

TEST(SetupScript, ScriptCutShortFailsAtTheEndMarker) {
  Bytes bytes;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(EveryFieldSet(), bytes, problem));
  for (size_t keep : {bytes.size() - 1, bytes.size() - 4}) {
    SetupScript read;
    Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_EQ(ReadSetupScript(cut, Identity, read), Error::kEndMarker) << keep;
  }
}

}  // namespace
}  // namespace palisade::format
