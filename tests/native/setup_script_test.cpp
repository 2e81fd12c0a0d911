// The setup script: a script assembled by hand, field by field in its stored
// order, proves the layout (our reader finds each value where the layout puts
// it, our writer produces the same bytes); round trips and refusals cover the
// rest.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "hand_script.h"
#include "format/checks.h"
#include "format/product_flags.h"
#include "format/setup_script.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::FirstDifference;
using test_bytes::HandScript;
using test_bytes::kHandGreetingSound;
using test_bytes::kHandMergeFileText;
using namespace std::string_view_literals;

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

// The values of the hand-assembled script; every field holds a value of its
// own, so that a field read into the wrong place shows.
SetupScript EveryFieldSet() {
  SetupScript s;
  s.productFlagsLow = product_flags_low::kPreviousInstallation | product_flags_low::kArchiveCompressed |
                      product_flags_low::kSingleInstance | product_flags_low::kMasterProduct;
  s.productFlagsHigh = 0x04000805;
  s.automaticModeRequest = 2;
  s.taskbarText = "Acme taskbar";
  s.displayTitle = "Acme Notes \xE2\x80\x94 2.1";
  s.titleSize = 23.5;
  s.progressPlacement = 3;
  s.minimumStatusTime = 1500;
  s.shortcutMode = 1;
  s.uninstallerTime = {2026, 12, 7, 9, 5, 3};
  s.publisher = "Acme Software";
  s.productName = "Acme Notes";
  s.description = "Plain-text notes";
  s.bitness = 2;
  s.optionByte = 9;
  s.sharedPath = "Acme Shared";
  s.portableSharedFolder = "shared";
  s.startMenuFolder = "Acme\\Notes";
  s.displayVersion = "2.1.0";
  s.installFolderRule = "Acme\\<os>";
  s.productRegistry = "Acme\\Notes\\2";
  s.registryMergeText = u"REGEDIT4\r\n\u00FC";
  s.registryMergeFileText = kHandMergeFileText;
  s.bitmapSize = 80;
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
  s.backgroundBitmap = test_bytes::Bytes("BM\x01\x02\x03\x04");
  s.bitmapTpi = 77;
  s.copyrightPosition = 4;
  s.copyrightColor = 0xABCDEF;
  s.copyrightSize = 9.25;
  s.copyrightText = "\xC2\xA9 2026 Acme";
  s.copyrightFont = "Tahoma";
  s.masterRegistryName = "Acme Suite";
  s.masterDisplayName = "the Acme Suite";
  s.masterMinimumVersion = "3.0";
  s.greetingSound = test_bytes::Bytes(kHandGreetingSound);
  s.desktopFolder = "Acme";
  s.productIcon = test_bytes::Bytes("\x00\x00\x01\x00P1"sv);
  s.uninstallerIcon = test_bytes::Bytes("\x00\x00\x01\x00U2"sv);
  s.batches = {"echo pre", "echo post", "echo exit", "echo uninstall 1", "echo uninstall 2", "echo upgrade",
               "echo reinstall"};
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
  s.firewallText = "Acme firewall";
  s.addToPathSubfolder = "bin";
  s.pageOptions = {0x11, 0x22};
  s.pageStyles = {1, 2, 3, 4, 5, 6, 7, 8};
  s.optionalBlob = test_bytes::Bytes("\xFF\x00\xFE"sv);
  s.conditionalDeletes = {{"*.tmp", 1, "x", 8}, {"\xC3\xA9t\xC3\xA9.log", 2, "y", 1}};
  s.associations = {
      {1, ".acmenote", "Acme.Note", "Acme note", "open", "&Open", "\"%InstallDir%\\notes.exe\" \"%1\"",
       u"%InstallDir%\\notes.exe,1", "r1"},
      {2, ".txt", "!Acme.Text", "Acme-Text \xC3\xA9", "edit", "&Edit", "notes.exe /e \"%1\"", u"t\u00E9xt.ico", ""},
  };
  s.shortcuts = {{"notes.exe", "Acme Notes", "notes.ico", "--x", "%InstallDir%", 1, 1, 0, "extra", 1, 2},
                 {"help.chm", "Acme Help", "", "", "", 0, 1, 1, "", 0, 1}};
  s.rootShortcutCommand = "notes.exe /portable";
  s.rootShortcutName = "Notes";
  s.pinCommand = u"%InstallDir%\\notes.exe";
  s.pinName = u"Notes \u00E9";
  s.registrationValues = {{"HelpLink", 1, "https://example.invalid/help"}, {"Sub\\Count", 4, "3"}};
  s.supportOffer = "support";
  s.noDowngradeBelow = "2.0";
  s.mustUninstallBelow = "1.5";
  s.upgradeWarningBelow = "1.2";
  s.installFolderValue = "HKLM\\Software\\Acme\\Folder";
  s.crashReportUrl = "http://crash.example:8080/form";
  s.supportMail = "support@acme.example";
  s.rebootMarker = true;
  s.closeRules = {{"AcmeNotesMain", "*Acme", "Acme Notes", 2, 3}, {"", "Acme Helper", "Acme Helfer \xC3\xA4", 3, 1}};
  s.languageNames = {u"Deutsch", u"English"};
  s.messages = {{u"Titel", u"Title"}, {u"", u"line\r\nbreak"}, {u"%d <product>", u"\u4E2D"}};
  return s;
}

// Byte strings in full, as hex: gtest's printer cuts long ones short.
std::string Printed(const Bytes& bytes) {
  std::ostringstream out;
  out << std::hex;
  for (uint8_t byte : bytes) out << ' ' << +byte;
  return out.str();
}

std::string Printed(const std::vector<Bytes>& list) {
  std::string out;
  for (const Bytes& bytes : list) out += "[" + Printed(bytes) + " ]";
  return out;
}

template <typename T>
std::string Printed(const T& value) {
  return ::testing::PrintToString(value);
}

template <typename T>
void Line(std::ostringstream& out, const char* name, const T& value) {
  out << name << ": " << Printed(value) << "\n";
}

// One line per field, so that a failed comparison names the field misread.
std::string Fields(const SetupScript& s) {
  std::ostringstream o;
  Line(o, "ProductFlags", std::make_tuple(s.productFlagsLow, s.productFlagsHigh));
  Line(o, "automatic mode", +s.automaticModeRequest);
  Line(o, "TaskbarText", s.taskbarText);
  Line(o, "DisplayTitle", s.displayTitle);
  Line(o, "TitleSize", s.titleSize);
  Line(o, "progress placement", s.progressPlacement);
  Line(o, "minimum status time", s.minimumStatusTime);
  Line(o, "ShortcutMode", +s.shortcutMode);
  const TimeStamp& t = s.uninstallerTime;
  Line(o, "uninstaller time", std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second));
  Line(o, "Publisher", s.publisher);
  Line(o, "product name", s.productName);
  Line(o, "description", s.description);
  Line(o, "Bitness", +s.bitness);
  Line(o, "option byte", +s.optionByte);
  Line(o, "SharedPath", s.sharedPath);
  Line(o, "portable shared folder", s.portableSharedFolder);
  Line(o, "ProductStartMenu", s.startMenuFolder);
  Line(o, "DisplayVersion", s.displayVersion);
  Line(o, "installation folder rule", s.installFolderRule);
  Line(o, "ProductRegistry", s.productRegistry);
  Line(o, "registry merge text", s.registryMergeText);
  Line(o, "registry merge file text", s.registryMergeFileText);
  Line(o, "BitmapSize", s.bitmapSize);
  Line(o, "StretchMode", s.stretchMode);
  Line(o, "greeting link text", s.greetingLinkText);
  Line(o, "license texts", s.licenseTexts);
  Line(o, "readme texts", s.readmeTexts);
  Line(o, "UninstallSubdir", s.uninstallSubfolder);
  Line(o, "uninstaller name", s.uninstallerName);
  Line(o, "uninstall name", s.uninstallName);
  Line(o, "text 31", s.text31);
  Line(o, "product heading", s.productHeading);
  Line(o, "banner text colour", s.bannerTextColor);
  Line(o, "side-picture frame", +s.sidePictureFrame);
  Line(o, "TitleColor", s.titleColor);
  Line(o, "TitleShadow", +s.titleShadow);
  Line(o, "TitlePosition", +s.titlePosition);
  Line(o, "TitleFont", s.titleFont);
  Line(o, "TopColor", s.topColor);
  Line(o, "BottomColor", s.bottomColor);
  Line(o, "background bitmap", s.backgroundBitmap);
  Line(o, "BitmapTPI", s.bitmapTpi);
  Line(o, "copyright", std::make_tuple(s.copyrightPosition, s.copyrightColor, s.copyrightSize, s.copyrightText,
                                s.copyrightFont));
  Line(o, "master product", std::make_tuple(s.masterRegistryName, s.masterDisplayName, s.masterMinimumVersion));
  Line(o, "greeting sound", s.greetingSound);
  Line(o, "DesktopFolder", s.desktopFolder);
  Line(o, "product icon", s.productIcon);
  Line(o, "uninstaller icon", s.uninstallerIcon);
  Line(o, "batches", s.batches);
  Line(o, "block 48", s.block48);
  Line(o, "excluded systems", s.excludedSystems);
  Line(o, "archive source", +s.archiveFromFile);
  Line(o, "launch and open", std::make_tuple(s.launchProgram, s.openDocument, s.summaryOpenTarget));
  Line(o, "notifications", std::make_tuple(s.startNotifyUrl, s.beginNotifyUrl, s.closingNotifyUrls, s.uninstallNotifyUrl));
  Line(o, "greeting text", s.greetingText);
  Line(o, "text 52", s.text52);
  Line(o, "text 53", s.text53);
  Line(o, "field 54", std::make_tuple(s.password, s.text54, s.firewallText, s.addToPathSubfolder));
  Line(o, "page options", s.pageOptions);
  Line(o, "page styles", s.pageStyles);
  Line(o, "optional blob", s.optionalBlob);
  for (const ConditionalDeleteRule& r : s.conditionalDeletes) {
    Line(o, "conditional delete", std::make_tuple(r.pattern, r.conditionKind, r.value, r.flags));
  }
  for (const AssociationRecord& r : s.associations) {
    Line(o, "association", std::make_tuple(r.mode, r.extension, r.progId, r.description, r.verb, r.verbLabel, r.command,
                                    r.icon, r.reserved));
  }
  for (const ShortcutRecord& r : s.shortcuts) {
    Line(o, "shortcut", std::make_tuple(r.target, r.name, r.icon, r.arguments, r.workingFolder, r.desktop, r.startMenu,
                                 r.startup, r.extraFolder, r.permanent, r.windowState));
  }
  Line(o, "field 60", std::make_tuple(s.rootShortcutCommand, s.rootShortcutName, s.pinCommand, s.pinName));
  for (const RegistrationValue& r : s.registrationValues) {
    Line(o, "registration value", std::make_tuple(r.name, r.type, r.data));
  }
  Line(o, "SupportOffer", s.supportOffer);
  Line(o, "NoDowngradeBelow", s.noDowngradeBelow);
  Line(o, "MustUninstallBelow", s.mustUninstallBelow);
  Line(o, "UpgradeWarningBelow", s.upgradeWarningBelow);
  Line(o, "InstallFolderValue", s.installFolderValue);
  Line(o, "CrashReportUrl", s.crashReportUrl);
  Line(o, "SupportMail", s.supportMail);
  Line(o, "RebootMarker", s.rebootMarker);
  for (const CloseRule& r : s.closeRules) {
    Line(o, "close rule", std::make_tuple(r.windowClass, r.windowTitle, r.applicationName, r.action, r.options));
  }
  Line(o, "languages", s.languageNames);
  Line(o, "messages", s.messages);
  return o.str();
}

// A stored text without the bar would be in the ANSI code page; the fixture
// has none, so the conversion must not be asked for.
std::string NoAnsiTexts(std::string_view text) {
  ADD_FAILURE() << "ANSI conversion asked for " << text;
  return std::string(text);
}

std::string Identity(std::string_view text) { return std::string(text); }

TEST(SetupScriptLayout, ReaderFindsEveryFieldOfAHandAssembledScript) {
  const std::vector<uint8_t> bytes = HandScript().Bytes();
  SetupScript read;
  ASSERT_EQ(ReadSetupScript(bytes, NoAnsiTexts, read), Error::kNone);
  EXPECT_EQ(Fields(read), Fields(EveryFieldSet()));
}

TEST(SetupScriptLayout, WriterProducesTheHandAssembledBytes) {
  const std::vector<uint8_t> expected = HandScript().Bytes();
  std::vector<uint8_t> written;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(EveryFieldSet(), written, problem)) << problem;
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_EQ(FirstDifference(written, expected), expected.size()) << "first differing byte";
}

// The hand-assembled script with the settings block replaced, read back.
SetupScript WithSettingsBlock(std::string_view block) {
  HandScript hand;
  hand.Field(63) = test_bytes::Assembly().Blob(block);
  SetupScript read;
  EXPECT_EQ(ReadSetupScript(hand.Bytes(), Identity, read), Error::kNone);
  return read;
}

struct SettingsCase {
  const char* name;
  std::string_view block;
  const char* noDowngradeBelow;
  const char* installFolderValue;
  bool rebootMarker;
};

TEST(SetupScriptSettings, BlockLinesSetWhatTheyNameAndNothingElse) {
  const SettingsCase cases[] = {
      {"empty block", "", "", "", false},
      {"unknown name", "Colour=blue\r\nNoDowngradeBelow=3.0", "3.0", "", false},
      {"line without equals sign", "NoDowngradeBelow 3.0\r\nRebootMarker=1", "", "", true},
      {"name in another letter case", "nodowngradebelow=3.1", "3.1", "", false},
      {"reboot marker other than 1", "RebootMarker=yes", "", "", false},
      {"value holding an equals sign", "InstallFolderValue=HKCU\\Software\\A=B\\Dir", "", "HKCU\\Software\\A=B\\Dir",
       false},
      {"bare line feeds and a closing line break", "RebootMarker=1\nNoDowngradeBelow=4\n", "4", "", true},
      {"empty value", "NoDowngradeBelow=", "", "", false},
  };
  for (const SettingsCase& c : cases) {
    SetupScript read = WithSettingsBlock(c.block);
    EXPECT_EQ(read.noDowngradeBelow, c.noDowngradeBelow) << c.name;
    EXPECT_EQ(read.installFolderValue, c.installFolderValue) << c.name;
    EXPECT_EQ(read.rebootMarker, c.rebootMarker) << c.name;
    EXPECT_EQ(read.mustUninstallBelow, "") << c.name;
    EXPECT_EQ(read.supportOffer, "support") << c.name << ": the field before";
    EXPECT_EQ(read.closeRules.size(), 2u) << c.name << ": the field after";
  }
}

TEST(SetupScriptSettings, WriterRefusesAValueWithALineBreak) {
  SetupScript script = EveryFieldSet();
  script.upgradeWarningBelow = "1.0\r\nRebootMarker=1";
  Bytes bytes;
  std::string problem;
  EXPECT_FALSE(WriteSetupScript(script, bytes, problem));
  EXPECT_EQ(problem, "settings: a value with a line break");
}

struct IconCase {
  const char* name;
  std::string_view block;
  std::string_view productIcon;
  std::string_view uninstallerIcon;
};

TEST(SetupScriptIcons, RecordsOfTheBlockByKind) {
  const IconCase cases[] = {
      {"empty block", "", "", ""},
      {"uninstaller icon first", "\x02\x01\x00\x00\x00U\x01\x02\x00\x00\x00PP"sv, "PP", "U"},
      {"unknown kind skipped", "\x07\x03\x00\x00\x00xyz\x01\x01\x00\x00\x00P"sv, "P", ""},
      {"length past the end ends the list", "\x01\x01\x00\x00\x00P\x02\x09\x00\x00\x00UU"sv, "P", ""},
      {"a record head cut short", "\x01\x01\x00\x00\x00P\x02\x01\x00"sv, "P", ""},
      {"empty icon", "\x01\x00\x00\x00\x00\x02\x01\x00\x00\x00U"sv, "", "U"},
  };
  for (const IconCase& c : cases) {
    HandScript hand;
    hand.Field(46) = test_bytes::Assembly().Blob(c.block);
    SetupScript read;
    ASSERT_EQ(ReadSetupScript(hand.Bytes(), Identity, read), Error::kNone) << c.name;
    EXPECT_EQ(read.productIcon, test_bytes::Bytes(c.productIcon)) << c.name;
    EXPECT_EQ(read.uninstallerIcon, test_bytes::Bytes(c.uninstallerIcon)) << c.name;
    EXPECT_EQ(read.desktopFolder, "Acme") << c.name << ": the field before";
    EXPECT_EQ(read.batches[0], "echo pre") << c.name << ": the field after";
  }
}

TEST(SetupScript, EveryFieldRoundTrips) {
  SetupScript written = EveryFieldSet();
  Bytes bytes;
  std::string problem;
  ASSERT_TRUE(WriteSetupScript(written, bytes, problem)) << problem;
  SetupScript read;
  ASSERT_EQ(ReadSetupScript(bytes, Identity, read), Error::kNone);
  EXPECT_EQ(Fields(read), Fields(written));
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
  size_t at = stored.find("\x0D" "Acme Software");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 4] = 0xE9;  // "Acm\xE9 Software"
  SetupScript read;
  ASSERT_EQ(ReadSetupScript(bytes, Latin1ToUtf8, read), Error::kNone);
  EXPECT_EQ(read.publisher, "Acm\xC3\xA9 Software");
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
