#include <gtest/gtest.h>

#include "state/installer_state.h"
#include "core/system_facts.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/script_reader.h"

namespace palisade {
namespace {

format::SetupScript Script() {
  format::SetupScript script;
  script.productName = "Acme Notes";
  script.languageNames = {u"English"};
  script.messages.assign(120, std::vector<std::u16string>(1));
  return script;
}

// Reads the script as a fresh run with the given flags and command line would.
void Read(const format::SetupScript& script, RunFlags flags = {}, CommandLineValues values = {}) {
  g_installer = InstallerState{};
  g_installer.flags = flags;
  g_installer.commandLine = values;
  std::vector<uint8_t> bytes;
  std::string problem;
  ASSERT_TRUE(format::WriteSetupScript(script, bytes, problem)) << problem;
  ReadSetupScriptIntoState(bytes, 0);
}

struct AutomaticCase {
  uint8_t request;
  bool automatic;
  bool silent;
  bool expected;
};

TEST(ScriptReader, AutomaticModeRequest) {
  const AutomaticCase cases[] = {
      {0, false, false, false}, {1, false, false, true}, {2, true, false, false},
      {2, true, true, true},    {0, true, false, true},  {7, false, false, false},
  };
  for (const AutomaticCase& c : cases) {
    format::SetupScript script = Script();
    script.automaticModeRequest = c.request;
    Read(script, RunFlags{c.automatic, c.silent, false, false});
    EXPECT_EQ(g_installer.flags.automatic, c.expected)
        << "request " << int(c.request) << (c.silent ? " silent" : c.automatic ? " automatic" : "");
  }
}

TEST(ScriptReader, SilentRunsClearTheFolderPageAndShowNoWindows) {
  format::SetupScript script = Script();
  script.productFlagsLow = 0xFFFFFFFF;
  script.productFlagsHigh = 0;
  Read(script, RunFlags{true, true, false, false});
  EXPECT_EQ(g_installer.script.productFlagsLow, 0x7FFFFF7Fu);
  EXPECT_EQ(g_installer.script.productFlagsHigh, 0x800u);
  script.productFlagsLow = 0;
  script.productFlagsHigh = 0xFFFFFFFF;
  Read(script, RunFlags{true, true, false, false});
  EXPECT_EQ(g_installer.script.productFlagsLow, 0x30600000u);
  EXPECT_EQ(g_installer.script.productFlagsHigh, 0xFFF7EDE3u);
}

TEST(ScriptReader, FlagsStayAsStoredOutsideSilentMode) {
  format::SetupScript script = Script();
  script.productFlagsLow = 0x80;
  script.productFlagsHigh = 0x4;
  Read(script, RunFlags{true, false, false, false});
  EXPECT_EQ(g_installer.script.productFlagsLow, 0x80u);
  EXPECT_EQ(g_installer.script.productFlagsHigh, 0x4u);
}

TEST(ScriptReader, EmptySettingsTakeTheirDefaults) {
  format::SetupScript script = Script();
  Read(script);
  EXPECT_EQ(g_installer.script.description, "Acme Notes");
  EXPECT_EQ(g_installer.script.sharedPath, "Acme Notes");
  EXPECT_EQ(g_installer.script.startMenuFolder, "Acme Notes");
  EXPECT_EQ(g_installer.script.uninstallName, "Acme Notes");
  EXPECT_EQ(g_installer.script.desktopFolder, "");

  script.publisher = "Acme Software";
  script.productFlagsHigh = format::product_flags_high::kDesktopFolderIsProductName;
  Read(script);
  EXPECT_EQ(g_installer.script.sharedPath, "Acme Software");
  EXPECT_EQ(g_installer.script.desktopFolder, "Acme Notes");
}

TEST(ScriptReader, ProductNameOverrideWinsAndFeedsTheDefaults) {
  CommandLineValues values;
  values.productName = L"Acme Notes Beta";
  Read(Script(), {}, values);
  EXPECT_EQ(g_installer.script.productName, "Acme Notes Beta");
  EXPECT_EQ(g_installer.script.description, "Acme Notes Beta");
}

TEST(ScriptReader, MessageLineBreaksBecomeCrLf) {
  format::SetupScript script = Script();
  script.messages[65][0] = u"one\ntwo\r\nthree\rfour";
  Read(script);
  EXPECT_EQ(MessageText(65), L"one\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(MessageText(5000), L"");
}

struct LanguageCase {
  std::vector<std::u16string> names;
  int chosen;
};

TEST(ScriptReader, DefaultLanguageIsTheLastEnglishElseTheFirst) {
  const LanguageCase cases[] = {
      {{u"Deutsch", u"English"}, 1},
      {{u"Deutsch", u"Fran\u00E7ais"}, 0},
      {{u"english", u"Deutsch", u"ENGLISH"}, 2},
  };
  for (const LanguageCase& c : cases) {
    format::SetupScript script = Script();
    script.languageNames = c.names;
    script.messages.assign(120, std::vector<std::u16string>(c.names.size()));
    Read(script);
    EXPECT_EQ(g_installer.language, c.chosen);
  }
}

TEST(ScriptReader, ProductHeadingGetsItsTags) {
  format::SetupScript script = Script();
  script.description = "Plain-text notes";
  script.productHeading = "<product>: <description>";
  Read(script);
  EXPECT_EQ(g_installer.script.productHeading, "Acme Notes: Plain-text notes");
}

TEST(ScriptReader, ProductHeadingNamesTheSystem) {
  format::SetupScript script = Script();
  script.productHeading = "<product> for <os>";
  Read(script);
  EXPECT_EQ(g_installer.script.productHeading,
            "Acme Notes for " + ts::Utf8FromWide(ts::SystemName(ts::system_name::kForMessages)));
}

// Where a relative folder rule of a product for either system puts it.
ts::WText EitherProductsProgramFiles() {
  bool product64 = IsProduct64(static_cast<uint8_t>(Bitness::kEither));
  return ts::ProgramFilesFolder(product64 ? ts::FolderKind::k64Bit : ts::FolderKind::k32Bit);
}

struct ExpandedRuleCase {
  const char* rule;
  ts::WText folder;
};

TEST(ScriptReader, InstallationFolderRuleTakesTheSystemNameAndVariables) {
  const ts::WText programs = EitherProductsProgramFiles();
  const ExpandedRuleCase cases[] = {
      {"Acme\\<os>", programs + L"\\Acme\\" + ts::SystemName(ts::system_name::kForMessages)},
      {"Acme\\<OS>", programs + L"\\Acme\\" + ts::SystemName(ts::system_name::kForMessages)},
      {"%CompanyName%\\%productname% %VERSION%", programs + L"\\Acme Software\\Acme Notes 2.5"},
      {"Acme\\%NoSuchVariableOfPalisade%", programs + L"\\Acme\\%NoSuchVariableOfPalisade%"},
      {"HKLM\\Software\\%ProductName%\\Folder", L"HKLM\\Software\\Acme Notes\\Folder"},
  };
  for (const ExpandedRuleCase& c : cases) {
    format::SetupScript script = Script();
    script.publisher = "Acme Software";
    script.displayVersion = "2.5";
    script.installFolderRule = c.rule;
    Read(script);
    EXPECT_EQ(g_installer.installFolder, c.folder) << c.rule;
  }
}

struct FolderCase {
  const char* rule;
  const wchar_t* commandLineFolder;
  InstallFolderSource source;
  const wchar_t* folderTail;  // the folder's end, after the program-files folder
};

TEST(ScriptReader, InstallationFolderRule) {
  const FolderCase cases[] = {
      {"", L"", InstallFolderSource::kFolder, L"\\Acme Notes"},
      {"Acme\\Notes 2", L"", InstallFolderSource::kFolder, L"\\Acme\\Notes 2"},
      {"<MASTER>", L"", InstallFolderSource::kMaster, nullptr},
      {"HKLM\\Software\\Acme\\Folder", L"D:\\Elsewhere", InstallFolderSource::kRegistry,
       L"HKLM\\Software\\Acme\\Folder"},
      {"Acme", L"D:\\Elsewhere", InstallFolderSource::kFolder, L"D:\\Elsewhere"},
      {"E:\\Apps\\Acme", L"", InstallFolderSource::kFolder, L"E:\\Apps\\Acme"},
      {"\\\\server\\apps\\Acme", L"", InstallFolderSource::kFolder, L"\\\\server\\apps\\Acme"},
      {"<master>", L"D:\\Elsewhere", InstallFolderSource::kFolder, L"D:\\Elsewhere"},
  };
  for (const FolderCase& c : cases) {
    format::SetupScript script = Script();
    script.installFolderRule = c.rule;
    CommandLineValues values;
    values.installFolder = c.commandLineFolder;
    Read(script, {}, values);
    EXPECT_EQ(g_installer.installFolderSource, c.source) << c.rule;
    if (!c.folderTail) continue;
    const ts::WText& folder = g_installer.installFolder;
    ts::WText tail = c.folderTail;
    bool absolute = (tail.size() > 1 && tail[1] == L':') || tail.rfind(L"\\\\", 0) == 0;
    ts::WText expected = absolute || tail.rfind(L"HK", 0) == 0 ? tail : EitherProductsProgramFiles() + tail;
    EXPECT_EQ(folder, expected) << c.rule;
  }
}

}  // namespace
}  // namespace palisade
