#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <map>

#include "actions/registration_values.h"

namespace palisade {
namespace {

using Kind = UninstallKeyValue::Kind;

format::SetupScript Script() {
  format::SetupScript script;
  script.productName = "Acme Notes";
  script.displayVersion = "7.10.3";
  script.uninstallName = "Acme Notes";
  script.productFlagsLow = 0x4;
  script.productFlagsHigh = 0x1;
  script.topColor = 0x112233;
  script.bottomColor = 0x445566;
  script.copyrightColor = 0x00C08040;
  script.noDowngradeBelow = "7.0";
  return script;
}

RegistrationFacts Facts() {
  RegistrationFacts facts;
  facts.uninstallerPath = L"C:\\Program Files\\Acme\\uninstall\\Uninstall Acme.exe";
  facts.uninstallName = L"Acme Notes";
  facts.installerPath = L"D:\\Downloads\\AcmeSetup.exe";
  facts.installFolder = L"C:\\Program Files\\Acme";
  facts.productFlags2 = 0x20;
  facts.installedBytes = 5000;
  facts.installDate = L"20261207";
  facts.displayTitle = L"Acme Notes Setup";
  facts.displayIcon = L"C:\\Program Files\\Acme\\uninstall\\product.ico";
  return facts;
}

std::map<ts::WText, UninstallKeyValue> ByName(const std::vector<UninstallKeyValue>& values) {
  std::map<ts::WText, UninstallKeyValue> named;
  for (const UninstallKeyValue& value : values) named[value.subkey + L"|" + value.name] = value;
  return named;
}

// Stands in for the installation variables: one folder and one number.
void ExpandTestVariables(ts::WText& text) {
  for (auto [name, value] : {std::pair{L"%InstallDir%", L"C:\\Program Files\\Acme"}, std::pair{L"%Seats%", L"25"}}) {
    for (size_t at = text.find(name); at != ts::WText::npos; at = text.find(name)) text.replace(at, wcslen(name), value);
  }
}

std::vector<UninstallKeyValue> Values(const format::SetupScript& script, const RegistrationFacts& facts) {
  bool unknownType = false;
  std::vector<UninstallKeyValue> values = UninstallKeyValues(script, facts, ExpandTestVariables, unknownType);
  EXPECT_FALSE(unknownType);
  return values;
}

TEST(UninstallKeyValues, CommandLinesNamesAndNumbers) {
  auto values = ByName(Values(Script(), Facts()));
  EXPECT_EQ(values[L"|UninstallString"].text,
            L"\"C:\\Program Files\\Acme\\uninstall\\Uninstall Acme.exe\" /u:\"Acme Notes\"");
  EXPECT_EQ(values[L"|QuietUninstallString"].text,
            L"\"C:\\Program Files\\Acme\\uninstall\\Uninstall Acme.exe\" /a /u:\"Acme Notes\"");
  EXPECT_EQ(values[L"|VersionMajor"].number, 7u);
  EXPECT_EQ(values[L"|VersionMinor"].number, 10u);
  EXPECT_EQ(values[L"|ProductFlags"].text, L"4294967300");
  EXPECT_EQ(values[L"|ProductFlags2"].text, L"32");
  EXPECT_EQ(values[L"|EstimatedSize"].number, 4u);
  EXPECT_EQ(values[L"|CopyrightColor"].text, L"4080C0");
  EXPECT_EQ(values[L"|DisplayTitle"].text, L"Acme Notes Setup") << "the title as the background showed it";
  EXPECT_EQ(values[L"|BottomColor"].kind, Kind::kNumber);
  EXPECT_EQ(values[L"|MonoColor"].number, 0u);
  EXPECT_EQ(values[L"|InstallDate"].text, L"20261207");
  EXPECT_EQ(values[L"|NoDowngradeBelow"].text, L"7.0");
  EXPECT_EQ(values[L"|DisplayIcon"].text, L"C:\\Program Files\\Acme\\uninstall\\product.ico");
}

TEST(UninstallKeyValues, FirstAndLastInTheirOrder) {
  std::vector<UninstallKeyValue> values = Values(Script(), Facts());
  ASSERT_GE(values.size(), 3u);
  EXPECT_EQ(values.front().name, L"UninstallString");
  EXPECT_EQ(values[1].name, L"QuietUninstallString");
  EXPECT_EQ(values.back().name, L"InstallDate");
  EXPECT_EQ(values[values.size() - 2].name, L"InstallLocation");
}

struct DeletionCase {
  const char* name;
  std::function<void(format::SetupScript&, RegistrationFacts&)> shape;
  const wchar_t* value;
};

TEST(UninstallKeyValues, EmptyTextsAndZeroNumbersAreDeleted) {
  const DeletionCase cases[] = {
      {"no publisher", [](auto&, auto&) {}, L"|Publisher"},
      {"nothing installed", [](auto&, RegistrationFacts& f) { f.installedBytes = 1023; }, L"|EstimatedSize"},
      {"size beyond 32 bits", [](auto&, RegistrationFacts& f) { f.installedBytes = 1ULL << 50; }, L"|EstimatedSize"},
      {"shortcuts for one user", [](format::SetupScript& s, auto&) { s.shortcutMode = 0; }, L"|ShortcutMode"},
      {"one colour", [](format::SetupScript& s, auto&) { s.bottomColor = s.topColor; }, L"|BottomColor"},
      {"no bitmap", [](auto&, auto&) {}, L"|BitmapTPI"},
      {"no product icon written", [](auto&, RegistrationFacts& f) { f.displayIcon.clear(); }, L"|DisplayIcon"},
      {"no downgrade floor", [](format::SetupScript& s, auto&) { s.noDowngradeBelow.clear(); }, L"|NoDowngradeBelow"},
  };
  for (const DeletionCase& c : cases) {
    format::SetupScript script = Script();
    RegistrationFacts facts = Facts();
    c.shape(script, facts);
    EXPECT_EQ(ByName(Values(script, facts))[c.value].kind, Kind::kDelete) << c.name;
  }
}

TEST(UninstallKeyValues, VersionWithoutADotWritesNoParts) {
  format::SetupScript script = Script();
  script.displayVersion = "7";
  auto values = ByName(Values(script, Facts()));
  EXPECT_EQ(values.count(L"|VersionMajor"), 0u);
  EXPECT_EQ(values.count(L"|VersionMinor"), 0u);
}

TEST(UninstallKeyValues, ExtraValuesByTypeAndSubkey) {
  format::SetupScript script = Script();
  script.registrationValues = {{"HelpLink", 1, "https://example.invalid/"},
                               {"Support\\Hours", 2, "%Hours%"},
                               {"Seats", 4, "25"},
                               {"Unused", 1, ""}};
  auto values = ByName(Values(script, Facts()));
  EXPECT_EQ(values[L"|HelpLink"].kind, Kind::kText);
  EXPECT_EQ(values[L"Support|Hours"].kind, Kind::kExpandableText);
  EXPECT_EQ(values[L"|Seats"].number, 25u);
  EXPECT_EQ(values[L"|Unused"].kind, Kind::kDelete);
  EXPECT_EQ(ExtraValueName(values[L"Support|Hours"]), L"Support\\Hours");
  for (const wchar_t* name : {L"|HelpLink", L"Support|Hours", L"|Seats", L"|Unused"}) EXPECT_TRUE(values[name].extra) << name;
  EXPECT_FALSE(values[L"|UninstallString"].extra);

  script.registrationValues = {{"Odd", 3, "x"}};
  bool unknownType = false;
  UninstallKeyValues(script, Facts(), ExpandTestVariables, unknownType);
  EXPECT_TRUE(unknownType);
}

// Every type is expanded before it is stored; a number is read from its
// expanded text.
TEST(UninstallKeyValues, ExtraValuesAreExpanded) {
  format::SetupScript script = Script();
  script.registrationValues = {{"Docs", 1, "%InstallDir%\\docs"},
                               {"Tools\\Home", 2, "%InstallDir%\\bin;%PATH%"},
                               {"Seats", 4, "%Seats%"}};
  auto values = ByName(Values(script, Facts()));
  EXPECT_EQ(values[L"|Docs"].text, L"C:\\Program Files\\Acme\\docs");
  EXPECT_EQ(values[L"Tools|Home"].text, L"C:\\Program Files\\Acme\\bin;%PATH%");
  EXPECT_EQ(values[L"|Seats"].kind, Kind::kNumber);
  EXPECT_EQ(values[L"|Seats"].number, 25u);
}

struct PathCase {
  const wchar_t* path;
  const wchar_t* folder;
  const wchar_t* result;
};

TEST(SearchPathWith, AddsTheFolderOnce) {
  const PathCase cases[] = {
      {L"C:\\windows;C:\\tools", L"C:\\Acme\\bin", L"C:\\windows;C:\\tools;C:\\Acme\\bin"},
      {L"C:\\windows;", L"C:\\Acme", L"C:\\windows;C:\\Acme"},
      {L"C:\\windows;c:\\acme;D:\\x", L"C:\\Acme", L"C:\\windows;c:\\acme;D:\\x"},
      {L"C:\\windows;C:\\ACME", L"C:\\Acme", L"C:\\windows;C:\\ACME"},
      {L"", L"C:\\Acme", L""},
  };
  for (const PathCase& c : cases) EXPECT_EQ(SearchPathWith(c.path, c.folder), c.result) << c.path;
}

TEST(SearchPathWithout, TakesOutTheFolderOnly) {
  const PathCase cases[] = {
      {L"C:\\windows;C:\\Acme\\bin;D:\\x", L"C:\\Acme\\bin", L"C:\\windows;D:\\x"},
      {L"C:\\windows;c:\\acme\\BIN", L"C:\\Acme\\bin", L"C:\\windows"},
      {L"C:\\Acme\\bin;C:\\windows;", L"C:\\Acme\\bin", L"C:\\windows;"},
      {L"C:\\windows;C:\\Acme\\bin2", L"C:\\Acme\\bin", L"C:\\windows;C:\\Acme\\bin2"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(SearchPathWithout(c.path, c.folder), c.result) << c.path;
}

TEST(SearchPathFolder, InstallFolderSubfolderOrAbsolute) {
  EXPECT_EQ(SearchPathFolder(L"C:\\Acme", L""), L"C:\\Acme");
  EXPECT_EQ(SearchPathFolder(L"C:\\Acme", L"bin"), L"C:\\Acme\\bin");
  EXPECT_EQ(SearchPathFolder(L"C:\\Acme", L"D:\\Tools"), L"D:\\Tools");
}

}  // namespace
}  // namespace palisade
