// What a project file turns into: defaults, named options, messages, file
// placement and the list sections.
#include <gtest/gtest.h>

#include "builder/compression_profiles.h"
#include "builder/default_messages.h"
#include "builder/messages.h"
#include "builder/project.h"
#include "builder/text_encoding.h"
#include "builder/translations.h"
#include "bitmap_file.h"
#include "builder_test_support.h"
#include "format/narrow_text.h"

namespace palisade::builder {
namespace {

using test_support::BuilderTest;

class ProjectTest : public BuilderTest {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    WriteText("app/a.txt", "alpha");
    WriteText("app/sub/b.txt", "beta");
  }

  // Reads `text` as palisade.toml; fails the test on any error.
  Project Read(std::string_view text, std::optional<int64_t> sourceDateEpoch = std::nullopt,
               std::optional<std::string> compression = std::nullopt) {
    WriteText("palisade.toml", text);
    Project project;
    Diagnostics diagnostics("palisade.toml");
    ReadProject(Path("palisade.toml"), ReadOptions{sourceDateEpoch, Variables(), compression, {}}, project, diagnostics);
    std::ostringstream problems;
    diagnostics.Print(problems);
    EXPECT_FALSE(diagnostics.HasErrors()) << problems.str();
    return project;
  }
};

std::string Message(const format::SetupScript& script, int number, std::size_t language = 0) {
  return Utf16ToUtf8(script.messages.at(static_cast<std::size_t>(number)).at(language));
}

TEST_F(ProjectTest, MinimalProjectGetsWorkingDefaults) {
  Project project = Read(test_support::kMinimalProject);
  const format::SetupScript& s = project.script;
  EXPECT_EQ(s.productName, "Acme Notes");
  EXPECT_EQ(s.displayVersion, "2.1.0");
  EXPECT_EQ(s.installFolderRule, "");  // the engine puts the product name below Program Files
  EXPECT_EQ(s.uninstallerName, "Uninstall.exe");
  EXPECT_EQ(s.taskbarText, "Acme Notes Setup");
  EXPECT_EQ(s.titleSize, 1.0);
  EXPECT_EQ(s.stretchMode, 2);
  EXPECT_EQ(s.shortcutMode, 1);
  // Uninstaller, compressed archive, kept log, folder page.
  EXPECT_EQ(s.productFlagsLow, 0x4u | 0x20u | 0x40u | 0x80u);
  // Compared versions, progress page.
  EXPECT_EQ(s.productFlagsHigh, 0x10u | 0x80000u);
  // Stripped uninstaller, uninstall notice, disk space.
  EXPECT_EQ(project.productFlags2, 0x20u | 0x40000u | 0x400000u);
  ASSERT_EQ(s.languageNames.size(), 1u);
  EXPECT_EQ(Utf16ToUtf8(s.languageNames[0]), "English");
  EXPECT_EQ(s.messages.size(), static_cast<std::size_t>(DefaultMessageCount()));
  EXPECT_EQ(Message(s, 81), "<product> is a %d-bit program and cannot be installed on this version of Windows.");
  ASSERT_EQ(project.files.size(), 2u);
  EXPECT_EQ(project.files[0].record.name, "a.txt");
  EXPECT_EQ(project.files[1].record.name, "sub\\b.txt");
  EXPECT_EQ(project.files[1].size, 4u);
  EXPECT_FALSE(project.key.has_value());
}

struct NamedOption {
  const char* table;
  const char* setting;  // a value other than the default
  char word;            // 'l' low, 'h' high, 's' `ProductFlags2`
  uint32_t bit;
};

const NamedOption kNamedOptions[] = {
    {"product", "single-instance = true", 'l', 0x100},
    {"product", "everyone-full-access = true", 'h', 0x40000},
    {"product", "add-to-path = \"bin\"", 'l', 0x1000},
    {"product", "desktop-folder = true", 'h', 0x4000000},
    {"master-product", "registry-name = \"Acme Suite\"", 'l', 0x10000},
    {"installer", "show-errors-in-automatic-mode = true", 'h', 0x8},
    {"installer", "restore-point = true", 's', 0x2},
    {"installer", "always-restart = true", 'l', 0x4000},
    {"installer", "restart-question-in-automatic-mode = true", 'h', 0x200},
    {"installer", "verify-stub = true", 'h', 0x1},
    {"installer", "verify-written-files = true", 'l', 0x40000},
    {"installer", "clear-attributes-in-the-way = true", 'l', 0x80000},
    {"installer", "replace-new-files-at-restart = true", 'l', 0x800},
    {"upgrade", "must-uninstall-first = true", 'l', 0x1},
    {"upgrade", "compare-versions = false", 'h', 0x10},
    {"upgrade", "ask-installation-type = false", 'l', 0x10000000},
    {"upgrade", "warn-when-upgrading = true", 'h', 0x1000},
    {"uninstaller", "enabled = false", 'l', 0x4},
    {"uninstaller", "strip-payload = false", 's', 0x20},
    {"uninstaller", "automatic = true", 'l', 0x200},
    {"uninstaller", "delete-install-folder = true", 'l', 0x400},
    {"uninstaller", "ask-before-removing-fonts = true", 'l', 0x10},
    {"uninstaller", "ask-before-removing-shared-files = true", 'l', 0x20000},
    {"uninstaller", "always-restart = true", 'h', 0x2000},
    {"uninstaller", "completion-message = false", 's', 0x40000},
    {"uninstaller", "start-menu-shortcut = true", 'l', 0x2},
    {"uninstaller", "desktop-shortcut = true", 'h', 0x2},
    {"uninstaller", "shortcut-in-uninstall-folder = true", 'h', 0x40},
    {"uninstaller", "shortcut-in-install-folder = true", 's', 0x200000},
    {"uninstaller", "remove-install-folder-value = true", 's', 0x2000},
    {"log", "keep = false", 'l', 0x40},
    {"log", "every-file = true", 'l', 0x100000},
    {"log", "start-menu-shortcut = true", 'h', 0x8000000},
    {"log", "keep-after-uninstall = true", 'h', 0x400000},
    {"wizard", "greeting = false", 'h', 0x800},
    {"wizard", "greeting-in-automatic-mode = true", 'l', 0x8},
    {"wizard", "choose-folder = false", 'l', 0x80},
    {"wizard", "choose-start-menu = true", 'h', 0x4},
    {"wizard", "show-disk-space = false", 's', 0x400000},
    {"wizard", "browse-from-computer = true", 'h', 0x20},
    {"wizard", "allow-cancel = false", 'l', 0x200000},
    {"wizard", "progress-page = false", 'h', 0x80000},
    {"wizard", "hide-file-names = true", 'h', 0x20000},
    {"wizard", "product-icons = true", 'h', 0x100000},
    {"wizard", "button-images = true", 's', 0x400},
    {"summary", "show = false", 'l', 0x400000},
    {"summary", "launch-checked = true", 's', 0x4},
    {"summary", "launch-directly = true", 's', 0x100000},
    {"summary", "open-checked = true", 's', 0x8},
    {"summary", "open-also-checked = true", 's', 0x10},
    {"summary", "view-log = true", 'h', 0x2000000},
    {"background", "enabled = false", 'l', 0x20000000},
    {"background", "full-screen = true", 'h', 0x100},
    {"background", "fixed-title = true", 'h', 0x400},
    {"background", "keep-for-uninstaller = true", 'l', 0x8000},
    {"portable", "registry = false", 's', 0x8000},
    {"portable", "associations = false", 's', 0x20000},
    {"portable", "firewall = false", 's', 0x80000},
    {"portable", "start-menu-page = false", 's', 0x800},
    {"batches.pre-install", "hidden = true", 'l', 0x800000},
    {"batches.pre-install", "log-output = true", 's', 0x40},
    {"batches.post-install", "hidden = true", 'l', 0x1000000},
    {"batches.post-install", "log-output = true", 's', 0x80},
    {"batches.exit", "hidden = true", 'l', 0x2000000},
    {"batches.uninstall-before", "hidden = true", 'l', 0x4000000},
    {"batches.uninstall-after", "hidden = true", 'l', 0x8000000},
    {"batches.upgrade", "hidden = true", 'h', 0x10000000},
    {"batches.upgrade", "log-output = true", 's', 0x100},
    {"batches.reinstall", "hidden = true", 'h', 0x20000000},
    {"batches.reinstall", "log-output = true", 's', 0x200},
    {"batches.reinstall", "only-same-version = true", 's', 0x1},
    {"compression", "enabled = false", 'l', 0x20},
    {"encryption", "enabled = true", 's', 0x1000},
    {"advanced.set-flags", "high = 0x40000000", 'h', 0x40000000},
    {"advanced.clear-flags", "low = 0x4", 'l', 0x4},
};

class NamedOptionTest : public ProjectTest, public ::testing::WithParamInterface<NamedOption> {};

TEST_P(NamedOptionTest, FlipsExactlyItsBit) {
  Project defaults = Read(test_support::kMinimalProject);
  std::string table = GetParam().table;
  std::string project = "[product]\nname = \"A\"\nversion = \"1\"\n";
  project += table == "product" ? std::string(GetParam().setting) : "[" + table + "]\n" + GetParam().setting;
  Project changed = Read(project + "\n[[files]]\nfrom = \"app/**\"\n");
  uint32_t before[] = {defaults.script.productFlagsLow, defaults.script.productFlagsHigh, defaults.productFlags2};
  uint32_t after[] = {changed.script.productFlagsLow, changed.script.productFlagsHigh, changed.productFlags2};
  const std::string words = "lhs";
  for (std::size_t word = 0; word < 3; ++word) {
    uint32_t expected = words[word] == GetParam().word ? GetParam().bit : 0;
    EXPECT_EQ(before[word] ^ after[word], expected) << "word " << words[word];
  }
}

INSTANTIATE_TEST_SUITE_P(EveryOption, NamedOptionTest, ::testing::ValuesIn(kNamedOptions),
                         [](const ::testing::TestParamInfo<NamedOption>& info) {
                           std::string name = std::string(info.param.table) + "_" + info.param.setting;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name + "_" + std::to_string(info.index);
                         });

TEST_F(ProjectTest, MessagesComeFromTheLanguageThenItsBuiltInTableThenEnglish) {
  WriteText("lang/tlh.toml", "42 = \"Qapla'!\"\n44 = \"from the table file\"\n");
  WriteText("legal/LICENSE.de.txt", "\xEF\xBB\xBFLizenz");
  Project project = Read(std::string(test_support::kMinimalProject) + R"(
[wizard]
languages = ["English", "Deutsch", "tlhIngan Hol"]

[messages.English]
43 = "Done"

[messages.Deutsch]
42 = "Fertig."
license = "legal/LICENSE.de.txt"

[messages."tlhIngan Hol"]
file = "lang/tlh.toml"
44 = "inline"
)");
  const format::SetupScript& s = project.script;
  ASSERT_EQ(s.languageNames.size(), 3u);
  EXPECT_EQ(Message(s, 42, 0), "<product> is installed and ready to use.");  // the default English
  EXPECT_EQ(Message(s, 43, 0), "Done");                                      // the project's English
  EXPECT_EQ(Message(s, 42, 1), "Fertig.");                                   // the project's German
  EXPECT_EQ(Message(s, 43, 1), "Installation abgeschlossen");                // the built-in German
  EXPECT_EQ(Message(s, 63, 1), "Lizenz");                                    // its licence, without the mark
  EXPECT_EQ(Message(s, 63, 0), "");
  EXPECT_EQ(Message(s, 42, 2), "Qapla'!");                                   // the table file
  EXPECT_EQ(Message(s, 44, 2), "inline");                                    // the project over its table file
  EXPECT_EQ(Message(s, 43, 2), "Done");                                      // then the project's English
  EXPECT_EQ(Message(s, 45, 2), "I &Accept");                                 // then the default English
  EXPECT_EQ(Message(s, 14, 2), "");                                          // a number the engine does not use
  EXPECT_EQ(s.messages.size(), static_cast<std::size_t>(DefaultMessageCount()));
}

struct MessageCheck {
  int number;
  const char* text;
  bool accepted;
};

TEST(MessageTextTest, FormattedMessagesKeepTheirArguments) {
  const MessageCheck checks[] = {
      {81, "Needs %d bits", true},      {81, "Needs %i bits", true},   {81, "Needs %s bits", false},
      {81, "Needs 64 bits", false},     {112, "%s too old: %s", true}, {112, "%s too old", false},
      {13, "Broken (%d), 100%%", true}, {42, "100% done", true},       {42, "%s", true},
      {61, "Not on %s%%", true},        {61, "Not on %d", false},
  };
  for (const MessageCheck& check : checks) {
    EXPECT_EQ(!CheckMessageText(check.number, check.text).has_value(), check.accepted)
        << check.number << " " << check.text;
  }
}

TEST(DefaultMessagesTest, EveryFormattedTextHasItsConversions) {
  for (const DefaultMessage& message : DefaultMessages()) {
    EXPECT_FALSE(CheckMessageText(message.number, message.text).has_value()) << message.number;
  }
}

// "<product>", "<a>" and every other tag of a text, in order.
std::vector<std::string> Tags(std::string_view text) {
  std::vector<std::string> tags;
  for (std::size_t open = text.find('<'); open != std::string_view::npos; open = text.find('<', open + 1)) {
    std::size_t close = text.find('>', open);
    if (close != std::string_view::npos) tags.emplace_back(text.substr(open, close - open + 1));
  }
  return tags;
}

TEST(BuiltInLanguagesTest, EveryTableKeepsTheConversionsPlaceholdersAndAccessKeysOfEachMessage) {
  for (const BuiltInLanguage& language : BuiltInLanguages()) {
    std::vector<int> numbers;
    for (const TranslatedMessage& message : language.messages) numbers.push_back(message.number);
    std::vector<int> expected;
    for (const DefaultMessage& message : DefaultMessages()) {
      if (!message.text.empty()) expected.push_back(message.number);
    }
    EXPECT_EQ(numbers, expected) << language.name << ": every English message, once, in order";
    for (const TranslatedMessage& message : language.messages) {
      auto english = std::find_if(DefaultMessages().begin(), DefaultMessages().end(),
                                  [&](const DefaultMessage& m) { return m.number == message.number; });
      ASSERT_NE(english, DefaultMessages().end());
      std::string where = std::string(language.name) + " " + std::to_string(message.number);
      EXPECT_EQ(CheckMessageText(message.number, message.text), std::nullopt) << where;
      EXPECT_EQ(Tags(message.text), Tags(english->text)) << where;
      EXPECT_EQ(std::count(message.text.begin(), message.text.end(), '&'),
                std::count(english->text.begin(), english->text.end(), '&'))
          << where;
      EXPECT_TRUE(IsValidUtf8(message.text)) << where;
    }
  }
}

TEST_F(ProjectTest, EveryBuiltInLanguageIsChosenByItsName) {
  std::string list = "\"English\"";
  for (const BuiltInLanguage& language : BuiltInLanguages()) list += ", \"" + std::string(language.name) + "\"";
  Project project = Read(std::string(test_support::kMinimalProject) + "[wizard]\nlanguages = [" + list + "]\n");
  ASSERT_EQ(project.script.languageNames.size(), BuiltInLanguages().size() + 1);
  for (std::size_t i = 0; i < BuiltInLanguages().size(); ++i) {
    const BuiltInLanguage& language = BuiltInLanguages()[i];
    EXPECT_EQ(Utf16ToUtf8(project.script.languageNames[i + 1]), language.name);
    auto next = std::find_if(language.messages.begin(), language.messages.end(),
                             [](const TranslatedMessage& message) { return message.number == 48; });
    ASSERT_NE(next, language.messages.end());
    EXPECT_EQ(Message(project.script, 48, i + 1), std::string(next->text)) << language.name;
  }
}

struct Placement {
  const char* entry;
  const char* name;
  const char* destination;
};

TEST_F(ProjectTest, FilesArePlacedByKindAndDestination) {
  const Placement placements[] = {
      {"from = \"app/a.txt\"", "a.txt", ""},
      {"from = \"app/**\"\nto = \"bin\"", "bin\\a.txt", ""},
      {"from = \"app/a.txt\"\nto = \"docs/en\"\nrename = \"A.md\"", "docs\\en\\A.md", ""},
      {"from = \"app/a.txt\"\nkind = \"shared-folder\"", "a.txt", ""},
      {"from = \"app/**\"\nkind = \"shared-folder\"\nexclude = [\"a.txt\"]", "sub\\b.txt", "sub\\"},
      {"from = \"app/**/b.txt\"\nto = '%AppDataDir%\\Acme'", "sub\\b.txt", "%AppDataDir%\\Acme\\sub\\"},
      {"from = \"app/a.txt\"\nkind = \"system-com\"", "a.txt", ""},
  };
  for (const Placement& placement : placements) {
    Project project =
        Read(std::string("[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\n") + placement.entry + "\n");
    ASSERT_FALSE(project.files.empty()) << placement.entry;
    EXPECT_EQ(project.files[0].record.name, placement.name) << placement.entry;
    EXPECT_EQ(Utf16ToUtf8(project.files[0].record.destinationOverride), placement.destination) << placement.entry;
  }
}

// The file names of the project's files in installation order, each with
// its record's flags.
std::vector<std::pair<std::string, uint32_t>> NamesAndFlags(const Project& project) {
  std::vector<std::pair<std::string, uint32_t>> names;
  for (const FileSource& file : project.files) names.emplace_back(file.record.name, file.record.flags);
  return names;
}

struct Overlap {
  const char* entries;
  std::vector<std::pair<std::string, uint32_t>> files;
};

TEST_F(ProjectTest, AnEntryThatNamesAFileTakesItOverFromAPattern) {
  const Overlap overlaps[] = {
      {"[[files]]\nfrom = \"app/**\"\n[[files]]\nfrom = \"app/a.txt\"\nshortcut = { desktop = true }\n",
       {{"sub\\b.txt", 0}, {"a.txt", 0x1}}},
      {"[[files]]\nfrom = \"app/a.txt\"\nshortcut = { desktop = true }\n[[files]]\nfrom = \"app/**\"\n",
       {{"a.txt", 0x1}, {"sub\\b.txt", 0}}},
      {"[[files]]\nfrom = \"app\"\n[[files]]\nfrom = \"app/a.txt\"\nto = \"backup\"\n",
       {{"sub\\b.txt", 0}, {"backup\\a.txt", 0}}},
  };
  for (const Overlap& overlap : overlaps) {
    Project project = Read(std::string("[product]\nname = \"A\"\nversion = \"1\"\n") + overlap.entries);
    EXPECT_EQ(NamesAndFlags(project), overlap.files) << overlap.entries;
  }
}

TEST_F(ProjectTest, VersionControlFoldersAreLeftOutUnlessNamed) {
  WriteText("app/.git/config", "[core]");
  WriteText("app/sub/.svn/entries", "12");
  WriteText("app/.gitignore", "*.o");
  Project project = Read("[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/**\"\n");
  std::vector<std::string> names;
  for (const FileSource& file : project.files) names.push_back(file.record.name);
  EXPECT_EQ(names, (std::vector<std::string>{".gitignore", "a.txt", "sub\\b.txt"}));
  for (const char* pattern : {"app/.git/**", "app/**/.svn/*", "app/.git/config"}) {
    Project named = Read(std::string("[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"") + pattern + "\"\n");
    EXPECT_EQ(named.files.size(), 1u) << pattern;
  }
}

TEST_F(ProjectTest, EnvironmentVariablesFillTexts) {
  variables_ = {{"VERSION", "2.3.1"}, {"DIST", "app"}, {"EMPTY", ""}};
  WriteText("app/sub/${KEPT}.txt", "kept");
  Project project = Read(R"(
[product]
name = "Acme${EMPTY} Notes"
version = "${VERSION}"
publisher = "Cost: $${NOT_A_VARIABLE} and $5"

[wizard]
languages = ["English", "${EMPTY}Deutsch"]

[[files]]
from = "${DIST}/sub/$${KEPT}.txt"
)");
  EXPECT_EQ(project.script.productName, "Acme Notes");
  EXPECT_EQ(project.script.displayVersion, "2.3.1");
  EXPECT_EQ(project.script.publisher, "Cost: ${NOT_A_VARIABLE} and $5");
  EXPECT_EQ(Utf16ToUtf8(project.script.languageNames.at(1)), "Deutsch");
  ASSERT_EQ(project.files.size(), 1u);
  EXPECT_EQ(project.files[0].record.name, "${KEPT}.txt");
}

TEST_F(ProjectTest, FileRecordFieldsFollowTheEntry) {
  WriteText("fonts/Acme Sans.ttf", "font");
  Project project = Read(R"(
[product]
name = "A"
version = "1"

[[files]]
from = "app/a.txt"
overwrite = "unless-newer"
permanent = true
attributes = ["read-only", "hidden"]
shortcut = { desktop = true, start-menu = true, name = "Café", icon = "a.ico", arguments = "--über", working-folder = "%InstallDir%" }

[[files]]
from = "fonts/*.ttf"
kind = "font"
font-name = "Acme Sans"
timestamp = "none"

[[files]]
from = "app/sub/b.txt"
kind = "msi"
msi = { ui-level = "full", remove-at-uninstall = true }
)",
                         1700000000);
  ASSERT_EQ(project.files.size(), 3u);
  const format::FileRecord& file = project.files[0].record;
  EXPECT_EQ(file.flags, 0x10u | 0x20u | 0x1u | 0x2u);
  EXPECT_EQ(file.attributes, 0x3u);
  EXPECT_EQ(file.textA, format::EncodeNarrowForm("Café"));
  EXPECT_EQ(Utf16ToUtf8(file.textB), "a.ico");
  EXPECT_EQ(file.textC,
            "--\xFC"
            "ber");  // code page 1252
  EXPECT_EQ(file.textD, "%InstallDir%");
  EXPECT_LE(file.time.year, 2023);  // clamped to SOURCE_DATE_EPOCH (2023-11-14)
  const format::FileRecord& font = project.files[1].record;
  EXPECT_EQ(font.kind, 4u);
  EXPECT_EQ(font.name, "Acme Sans.ttf");
  EXPECT_EQ(font.textA, "Acme Sans");
  EXPECT_EQ(font.time.month, 0);
  const format::FileRecord& msi = project.files[2].record;
  EXPECT_EQ(msi.kind, 11u);
  EXPECT_EQ(msi.msiUiLevel, 5u);
  EXPECT_EQ(msi.flags, 0x80u);
}

TEST_F(ProjectTest, ListSectionsBecomeScriptTexts) {
  Project project = Read(std::string(test_support::kMinimalProject) + R"(
[[registry]]
key = 'HKLM\Software\Acme'

[[registry]]
key = 'HKEY_CURRENT_USER\Software\Acme'
value = "Path, with comma"
data = "%InstallDir%"

[[registry]]
key = '\HKLM\Software\Acme'
value = "Count"
type = "dword"
data = 42
action = "set-if-missing"

[[firewall]]
program = "%InstallDir%\\sync.exe"
name = "Acme Sync"

[[firewall]]
port = 8080
protocols = ["tcp", "udp"]
keep = true

[[close]]
window-class = "AcmeMain"
action = "ask"
when = ["install", "uninstall"]

[[associations]]
extension = ".acmenote"
prog-id = "Acme.Note"
description = "Acme note é"
verb-label = "&Open"
command = '"%InstallDir%\notes.exe" "%1"'
icon = '%InstallDir%\café.exe,1'
open-with-only = true

[[conditional-delete]]
pattern = "old\\*.dll"
condition = "version-at-most"
value = "1.9"
when = ["install"]
restart = "if-locked"
)");
  const format::SetupScript& s = project.script;
  EXPECT_EQ(Utf16ToUtf8(s.registryMergeText),
            "\\HKLM\\Software\\Acme\r\n"
            "\\HKCU\\Software\\Acme,\"Path, with comma\",1,%InstallDir%,3\r\n"
            "\\HKLM\\Software\\Acme,Count,4,42,6\r\n");
  EXPECT_EQ(s.firewallText, "%InstallDir%\\sync.exe;Acme Sync;0;0\r\n8080;;3;1\r\n");
  ASSERT_EQ(s.closeRules.size(), 1u);
  EXPECT_EQ(s.closeRules[0].action, 2);
  EXPECT_EQ(s.closeRules[0].options, 3);
  ASSERT_EQ(s.associations.size(), 1u);
  const format::AssociationRecord& a = s.associations[0];
  EXPECT_EQ(a.mode, 2u);
  EXPECT_EQ(a.extension, ".acmenote");
  EXPECT_EQ(a.progId, "Acme.Note");
  EXPECT_EQ(a.description, "Acme note \xC3\xA9");
  EXPECT_EQ(a.verb, "open");
  EXPECT_EQ(a.verbLabel, "&Open");
  EXPECT_EQ(a.command, "\"%InstallDir%\\notes.exe\" \"%1\"");
  EXPECT_EQ(a.icon, u"%InstallDir%\\caf\u00E9.exe,1");
  ASSERT_EQ(s.conditionalDeletes.size(), 1u);
  EXPECT_EQ(s.conditionalDeletes[0].conditionKind, 3);
  EXPECT_EQ(s.conditionalDeletes[0].flags, 0x4 | 0x2);
}

// The script carries a picture without its 14-byte file header, its pixels
// right after its header; the engine puts a file header back when it keeps
// the picture for the uninstaller.
TEST_F(ProjectTest, BackgroundPictureIsStoredAsAPackedDib) {
  struct Case {
    const char* name;
    format::test_bytes::BitmapShape shape;
  };
  const Case cases[] = {
      {"pixels right after the header", {.width = 1, .height = 1}},
      {"a gap before the pixels", {.gap = 6}},
      {"a later header and a gap", {.headerSize = 124, .bitsPerPixel = 32, .gap = 16}},
  };
  for (const Case& c : cases) {
    WriteBytes("art/picture.bmp", format::test_bytes::BitmapFile(c.shape));
    Project project =
        Read(std::string(test_support::kMinimalProject) + "[background]\npicture = \"art/picture.bmp\"\n");
    EXPECT_EQ(project.script.backgroundBitmap, format::test_bytes::PackedDib(c.shape)) << c.name;
    EXPECT_EQ(project.script.bitmapSize, 100) << c.name;
  }
}

TEST_F(ProjectTest, UpgradeSettingsIconsAndMarkerGoIntoTheScript) {
  // One picture of one byte each, right after the directory.
  const std::string productIcon("\0\0\1\0\1\0" "\x10\x10\0\0\1\0\x20\0" "\1\0\0\0" "\x16\0\0\0" "P", 23);
  const std::string uninstallerIcon("\0\0\1\0\1\0" "\x20\x20\0\0\1\0\x20\0" "\1\0\0\0" "\x16\0\0\0" "U", 23);
  WriteText("art/product.ico", productIcon);
  WriteText("art/uninstall.ico", uninstallerIcon);
  Project project = Read(R"(
[product]
name = "Acme Notes"
version = "2.1.0"
install-folder-value = 'HKLM\Software\Acme\Notes\InstallDir'
icon = "art/product.ico"

[installer]
reboot-marker = true

[upgrade]
no-downgrade-below = "2.0"
must-uninstall-below = "1.5"
upgrade-warning-below = "1.9"

[uninstaller]
icon = "art/uninstall.ico"

[[files]]
from = "app/**"
)");
  const format::SetupScript& s = project.script;
  EXPECT_EQ(s.installFolderValue, "HKLM\\Software\\Acme\\Notes\\InstallDir");
  EXPECT_EQ(s.noDowngradeBelow, "2.0");
  EXPECT_EQ(s.mustUninstallBelow, "1.5");
  EXPECT_EQ(s.upgradeWarningBelow, "1.9");
  EXPECT_TRUE(s.rebootMarker);
  EXPECT_EQ(s.productIcon, format::Bytes(productIcon.begin(), productIcon.end()));
  EXPECT_EQ(s.uninstallerIcon, format::Bytes(uninstallerIcon.begin(), uninstallerIcon.end()));
}

TEST_F(ProjectTest, NotificationAndCrashReportAddressesGoIntoTheScript) {
  Project project = Read(R"(
[product]
name = "Acme Notes"
version = "2.1.0"

[notify]
start = "http://acme.example/start"
begin-install = "http://acme.example/begin"
new-install = "http://acme.example/new?v=%version%"
upgrade = "http://acme.example/upgrade"
downgrade = "http://acme.example/downgrade"
reinstall = "http://acme.example/again"
uninstall = "http://acme.example/gone"

[crash-report]
address = "https://crash.acme.example:8443/form"
sender = "support@acme.example"

[[files]]
from = "app/**"
)");
  const format::SetupScript& s = project.script;
  EXPECT_EQ(s.startNotifyUrl, "http://acme.example/start");
  EXPECT_EQ(s.beginNotifyUrl, "http://acme.example/begin");
  EXPECT_EQ(s.closingNotifyUrls[format::kNotifyFirstInstall], "http://acme.example/new?v=%version%");
  EXPECT_EQ(s.closingNotifyUrls[format::kNotifyUpgrade], "http://acme.example/upgrade");
  EXPECT_EQ(s.closingNotifyUrls[format::kNotifyOverNewer], "http://acme.example/downgrade");
  EXPECT_EQ(s.closingNotifyUrls[format::kNotifyReinstall], "http://acme.example/again");
  EXPECT_EQ(s.uninstallNotifyUrl, "http://acme.example/gone");
  EXPECT_EQ(s.crashReportUrl, "https://crash.acme.example:8443/form");
  EXPECT_EQ(s.supportMail, "support@acme.example");
}

TEST_F(ProjectTest, DesktopFolderIconGoesIntoTheScript) {
  // One picture of one byte, right after the directory.
  const std::string icon("\0\0\1\0\1\0" "\x10\x10\0\0\1\0\x20\0" "\1\0\0\0" "\x16\0\0\0" "F", 23);
  WriteText("art/folder.ico", icon);
  std::string project = test_support::kMinimalProject;
  project.insert(project.find("[product]") + 10, "desktop-folder = \"Acme\"\ndesktop-folder-icon = \"art/folder.ico\"\n");
  const format::SetupScript s = Read(project).script;
  EXPECT_EQ(s.desktopFolder, "Acme");
  EXPECT_EQ(s.desktopFolderIcon, format::Bytes(icon.begin(), icon.end()));
}

TEST_F(ProjectTest, SourceDateEpochClampsFileTimes) {
  Project late = Read(test_support::kMinimalProject, 86400);
  EXPECT_EQ(late.files[0].record.time, (format::TimeStamp{1970, 1, 2, 0, 0, 0}));
  EXPECT_EQ(late.script.uninstallerTime, (format::TimeStamp{1970, 1, 2, 0, 0, 0}));
}

TEST_F(ProjectTest, CompressionProfileIsChosenThenRefined) {
  struct Case {
    const char* name;
    const char* section;                     // appended to the minimal project
    std::optional<std::string> commandLine;  // --compression
    uint32_t level;
    uint32_t dictionary;
    std::size_t chunkSize;
  };
  const CompressionProfile& fastest = *FindCompressionProfile("fastest");
  const CompressionProfile& smallest = *FindCompressionProfile("smallest");
  const CompressionProfile& standard = kDefaultCompressionProfile;
  // The project's few bytes of files fit one chunk of the smallest size a
  // profile splits a payload into.
  constexpr std::size_t kSmallPayloadChunk = 8 << 20;
  const Case cases[] = {
      {"no section", "", std::nullopt, standard.level, standard.dictionaryKib * 1024, kSmallPayloadChunk},
      {"the project's profile", "[compression]\nprofile = \"smallest\"\n", std::nullopt, smallest.level,
       smallest.dictionaryKib * 1024, kSmallPayloadChunk},
      {"the command line over the project", "[compression]\nprofile = \"smallest\"\n", "fastest",
       fastest.level, fastest.dictionaryKib * 1024, kSmallPayloadChunk},
      {"keys refine the command line's profile",
       "[compression]\nlevel = 7\ndictionary-kib = 3072\nchunk-size-kib = 100\n", "fastest", 7,
       3072 * 1024, 100 * 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Project project = Read(std::string(test_support::kMinimalProject) + c.section, std::nullopt, c.commandLine);
    EXPECT_EQ(project.xz.preset, c.level);
    EXPECT_EQ(project.xz.dictionarySize, c.dictionary);
    EXPECT_EQ(project.chunkSize, c.chunkSize);
  }
}

TEST(CompressionProfiles, ChunksAreCutSoThatSeveralCoresWorkButNeverTooSmall) {
  constexpr uint64_t kMiB = 1 << 20;
  const CompressionProfile& standard = kDefaultCompressionProfile;
  const CompressionProfile& smallest = *FindCompressionProfile("smallest");
  const struct {
    const CompressionProfile& profile;
    uint64_t payload;
    std::size_t chunk;
  } cases[] = {
      {standard, 0, 8 * kMiB},                  // nothing to split
      {standard, 20 * kMiB, 8 * kMiB},          // a quarter would be under the floor
      {standard, 100 * kMiB, 25 * kMiB},        // four chunks
      {standard, 100 * kMiB + 1, 25 * kMiB + 1},  // rounded up: still four, not five
      {standard, 1024 * kMiB, standard.chunkKib * 1024},  // the profile's largest
      {smallest, 100 * kMiB, 100 * kMiB},       // one chunk
      {smallest, 1024 * kMiB, smallest.chunkKib * 1024},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChunkSizeFor(c.profile, c.payload), c.chunk) << c.profile.name << ", " << c.payload << " bytes";
  }
}

TEST_F(ProjectTest, UnknownCompressionProfileIsReported) {
  WriteText("palisade.toml", std::string(test_support::kMinimalProject) + "[compression]\nprofile = \"tiny\"\n");
  Project project;
  Diagnostics diagnostics("palisade.toml");
  ReadProject(Path("palisade.toml"), ReadOptions{std::nullopt, Variables(), {}, {}}, project, diagnostics);
  std::ostringstream problems;
  diagnostics.Print(problems);
  EXPECT_NE(problems.str().find("unknown compression profile \"tiny\"; write one of fastest, default, smallest"),
            std::string::npos)
      << problems.str();
}

}  // namespace
}  // namespace palisade::builder
