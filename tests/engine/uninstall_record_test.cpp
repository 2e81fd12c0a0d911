#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "actions/install_log.h"
#include "actions/registration.h"
#include "state/installer_state.h"
#include "uninstall_data_fixture.h"
#include "core/ts_csv.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "record/record_hashes.h"
#include "record/uninstall_record.h"

namespace palisade {
namespace {

std::string ReadBytes(const ts::WText& path) {
  ts::File file;
  ts::Text bytes;
  EXPECT_TRUE(file.OpenForReading(path) && file.ReadWhole(bytes)) << file.LastError();
  return bytes;
}

ts::WText ScratchFolder() {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return ts::WText(folder) + ts::Format(L"record-test-%lu", GetCurrentProcessId());
}

// --- Adding entries ---

struct AddCase {
  const wchar_t* text;
  RemovalKind kind;
  bool added;
  const char* line;  // what the entry text gains
};

TEST(RecordForRemoval, MarksEachKindAndRefusesDriveRoots) {
  const AddCase cases[] = {
      {L"C:\\App\\a.exe", RemovalKind::kFile, true, "C:\\App\\a.exe\r\n"},
      {L"C:\\App", RemovalKind::kFolder, true, "~C:\\App\r\n"},
      {L"\\HKLM\\Software\\App\\Dir", RemovalKind::kRegistryValue, true, "!\\HKLM\\Software\\App\\Dir\r\n"},
      {L"\\HKCU\\Software\\App", RemovalKind::kRegistryKey, true, "^\\HKCU\\Software\\App\r\n"},
      {L"\\HKLM\\Software\\Classes\\CLSID\\{1}", RemovalKind::kRegistryKey64, true,
       "*\\HKLM\\Software\\Classes\\CLSID\\{1}\r\n"},
      {L"C:\\App\\b.dll", static_cast<RemovalKind>(7), true, "C:\\App\\b.dll\r\n"},
      {L"C:\\x", RemovalKind::kFile, true, "C:\\x\r\n"},
      {L"C:\\", RemovalKind::kFile, false, ""},
      {L"C:\\", RemovalKind::kFolder, false, ""},
      {L"D:", RemovalKind::kRegistryKey, false, ""},
      {L"", RemovalKind::kFile, false, ""},
      {L"\u00e9\\", RemovalKind::kFolder, true, "~|\xC3\xA9\\\r\n"},  // 2 characters, but 4 bytes stored
      {L"C:\\App\\evil\r\n~C:\\Windows", RemovalKind::kFile, false, ""},
      {L"C:\\App\\evil\n", RemovalKind::kFolder, false, ""},
  };
  for (const AddCase& c : cases) {
    UninstallRecord record;
    EXPECT_EQ(AddEntry(record, StoredText(c.text), c.kind), c.added) << ts::Utf8FromWide(c.text);
    EXPECT_EQ(record.entries, c.line) << ts::Utf8FromWide(c.text);
  }
}

TEST(RecordForRemoval, NarrowTextIsMeasuredInBytes) {
  UninstallRecord record;
  EXPECT_FALSE(AddEntry(record, "abc", RemovalKind::kFile));
  EXPECT_TRUE(AddEntry(record, "abcd", RemovalKind::kFile));
  EXPECT_EQ(record.entries, "abcd\r\n");
}

TEST(RecordForRemoval, FolderRecordedOnceWhateverTheAsciiCase) {
  UninstallRecord record;
  EXPECT_TRUE(AddEntry(record, StoredText(L"C:\\Program Files\\App"), RemovalKind::kFolder));
  EXPECT_FALSE(AddEntry(record, StoredText(L"c:\\PROGRAM FILES\\app"), RemovalKind::kFolder));
  EXPECT_FALSE(AddEntry(record, StoredText(L"C:\\Program Files\\App"), RemovalKind::kFolder));
  // Files and keys are not deduplicated: each step's entry stays.
  EXPECT_TRUE(AddEntry(record, StoredText(L"C:\\Program Files\\App"), RemovalKind::kFile));
  EXPECT_TRUE(AddEntry(record, StoredText(L"C:\\Program Files\\App"), RemovalKind::kFile));
  EXPECT_EQ(record.entries, "~C:\\Program Files\\App\r\nC:\\Program Files\\App\r\nC:\\Program Files\\App\r\n");
}

TEST(RecordForRemoval, FolderCaseFoldingStaysWithinAscii) {
  UninstallRecord record;
  EXPECT_TRUE(AddEntry(record, StoredText(L"C:\\\u00c9t\u00e9"), RemovalKind::kFolder));
  EXPECT_FALSE(AddEntry(record, StoredText(L"c:\\\u00c9T\u00e9"), RemovalKind::kFolder));
  EXPECT_TRUE(AddEntry(record, StoredText(L"C:\\\u00e9t\u00e9"), RemovalKind::kFolder));
}

TEST(RecordForRemoval, FolderStoredInEitherFormIsOneFolder) {
  UninstallRecord record;
  EXPECT_TRUE(AddEntry(record, "|C:\\Apps", RemovalKind::kFolder));
  EXPECT_FALSE(AddEntry(record, "C:\\APPS", RemovalKind::kFolder));
}

TEST(RecordForRemoval, ProcessWideRecordAndItsClearing) {
  ClearRecordedEntries();
  EXPECT_TRUE(RecordForRemoval(ts::WText(L"C:\\Demo\\Sub"), RemovalKind::kFolder));
  EXPECT_TRUE(RecordForRemoval(std::string_view("C:\\Demo\\Sub\\x.txt"), RemovalKind::kFile));
  EXPECT_FALSE(RecordForRemoval(ts::WText(L"C:\\DEMO\\sub"), RemovalKind::kFolder));
  EXPECT_EQ(g_uninstallRecord.entries, "~C:\\Demo\\Sub\r\nC:\\Demo\\Sub\\x.txt\r\n");
  ClearRecordedEntries();
  EXPECT_EQ(g_uninstallRecord.entries, "");
  // A cleared record takes the same folder again.
  EXPECT_TRUE(RecordForRemoval(ts::WText(L"C:\\Demo\\Sub"), RemovalKind::kFolder));
  ClearRecordedEntries();
}

TEST(RecordSectionLine, RefusesLinesThatWouldSplit) {
  UninstallRecord record;
  EXPECT_TRUE(AddSectionLine(record, RecordSection::kPackages, "\"C:\\a.msi\",2"));
  EXPECT_FALSE(AddSectionLine(record, RecordSection::kPackages, "x\r\n[Registry2]"));
  EXPECT_TRUE(AddSectionLine(record, RecordSection::kFirewall, "1234;Demo;1;0"));
  EXPECT_EQ(record.packages, "\"C:\\a.msi\",2\r\n");
  EXPECT_EQ(record.firewall, "1234;Demo;1;0\r\n");
  EXPECT_EQ(record.associations, "");
  EXPECT_EQ(record.drivers, "");
}

// --- Stored texts and entries ---

struct StoredCase {
  const wchar_t* text;
  const char* stored;
};

TEST(StoredText, AsciiAsItIsEverythingElseBarAndUtf8) {
  const StoredCase cases[] = {
      {L"C:\\Program Files\\App", "C:\\Program Files\\App"},
      {L"C:\\Donn\u00e9es",
       "|C:\\Donn\xC3\xA9"
       "es"},
      {L"C:\\\u65e5\u672c", "|C:\\\xE6\x97\xA5\xE6\x9C\xAC"},
      {L"C:\\\U0001F600", "|C:\\\xF0\x9F\x98\x80"},
      {L"", ""},
  };
  for (const StoredCase& c : cases) {
    EXPECT_EQ(StoredText(c.text), c.stored);
    EXPECT_EQ(WideFromStoredText(c.stored), c.text) << c.stored;
  }
}

TEST(StoredText, WithoutBarIsAnsi) { EXPECT_EQ(WideFromStoredText("C:\\Apps\\readme.txt"), L"C:\\Apps\\readme.txt"); }

struct EntryCase {
  const char* line;
  RemovalKind kind;
  const wchar_t* text;
};

TEST(ParseEntry, KindFromMarkerAndTextDecoded) {
  const EntryCase cases[] = {
      {"C:\\App\\a.exe", RemovalKind::kFile, L"C:\\App\\a.exe"},
      {"~C:\\App", RemovalKind::kFolder, L"C:\\App"},
      {"~|C:\\Donn\xC3\xA9"
       "es",
       RemovalKind::kFolder, L"C:\\Donn\u00e9es"},
      {"!\\HKLM\\Software\\App\\Dir", RemovalKind::kRegistryValue, L"\\HKLM\\Software\\App\\Dir"},
      {"^\\HKCU\\Software\\App", RemovalKind::kRegistryKey, L"\\HKCU\\Software\\App"},
      {"*\\HKLM\\Software\\Classes\\CLSID\\{1}", RemovalKind::kRegistryKey64, L"\\HKLM\\Software\\Classes\\CLSID\\{1}"},
      {"|C:\\caf\xC3\xA9.txt", RemovalKind::kFile, L"C:\\caf\u00e9.txt"},
      {"~", RemovalKind::kFolder, L""},
  };
  for (const EntryCase& c : cases) {
    RecordedEntry entry = ParseEntry(c.line);
    EXPECT_EQ(entry.kind, c.kind) << c.line;
    EXPECT_EQ(entry.text, c.text) << c.line;
  }
}

TEST(ParseEntry, NonAsciiPathsRoundTrip) {
  const wchar_t* paths[] = {L"C:\\Programme\\Gr\u00fc\u00dfe\\\u00e4.txt", L"D:\\\u0414\u0435\u043c\u043e",
                            L"C:\\\U0001F600\\x"};
  for (const wchar_t* path : paths) {
    UninstallRecord record;
    ASSERT_TRUE(AddEntry(record, StoredText(path), RemovalKind::kFolder));
    UninstallData data = ParseUninstallData(record.entries);
    ASSERT_EQ(data.entries.Count(), 1);
    EXPECT_EQ(ParseEntry(data.entries[0]).text, path);
  }
}

// --- The whole file ---

using layouts::kDemoRecord;

ts::WText DemoMessage(int number) {
  switch (number) {
    case 10:
      return L"The uninstallation could not remove everything:\r\n\r\n%s";
    case 20:
      return L"Palisade Demo \u2013 Setup";
    case 53:
      return L"Remove <product> from this computer?";
    case 58:
      return L"Could not remove";
    default:
      return L"";
  }
}

void FillDemoRecord(UninstallRecord& record) {
  AddEntry(record, StoredText(L"C:\\Program Files\\Palisade Demo\\demo.exe"), RemovalKind::kFile);
  AddEntry(record, StoredText(L"C:\\Program Files\\Palisade Demo"), RemovalKind::kFolder);
  AddEntry(record, StoredText(L"C:\\Program Files\\Palisade Demo\\Donn\u00e9es"), RemovalKind::kFolder);
  AddEntry(record, StoredText(L"C:\\Program Files\\Palisade Demo\\Donn\u00e9es\\caf\u00e9.txt"), RemovalKind::kFile);
  AddEntry(record, StoredText(L"\\HKLM\\Software\\Palisade Demo\\InstallDir"), RemovalKind::kRegistryValue);
  AddEntry(record, StoredText(L"\\HKCU\\Software\\Palisade Demo"), RemovalKind::kRegistryKey);
  AddEntry(record, StoredText(L"\\HKLM\\Software\\Classes\\CLSID\\{6F2A1C3E-0B7D-4E51-9A3C-2D8E5F104B7A}"),
           RemovalKind::kRegistryKey64);
  AddSectionLine(
      record, RecordSection::kAssociations,
      AssociationLine({".pdm", "PalisadeDemo.Document", "open", "C:\\Program Files\\Palisade Demo\\demo.exe,0"}));
  AddSectionLine(record, RecordSection::kFirewall, "%InstallDir%\\demo.exe;Palisade Demo;3;0");
  AddSectionLine(record, RecordSection::kDrivers, "C:\\Windows\\INF\\oem12.inf");
  AddSectionLine(record, RecordSection::kPackages, ts::CsvLine({"C:\\Program Files\\Palisade Demo\\runtime.msi", "2"}));
}

void FillDemoScript(format::SetupScript& script) {
  script.productHeading = "Palisade Demo 2.1";
  script.closeRules = {{"DemoMainWindow", "", "Palisade Demo", 0, 3},
                       {"", "Say \"hi\", viewer", "D\xC3\xA9mo Viewer", 2, 2}};
  script.registryMergeText =
      u"\\HKLM\\Software\\Palisade Demo,\u00c9diteur,Palisade\r\n\\HKCU\\Software\\Palisade Demo,Theme,dark\r\n";
  script.conditionalDeletes = {
      {"*.tmp", 1, "", 8}, {"cache\\*.*", 1, "", 1}, {"#old#\\settings.ini", 2, "\xC3\x84rger", 9}};
}

TEST(UninstallDataText, EverySectionByteForByte) {
  UninstallRecord record;
  FillDemoRecord(record);
  format::SetupScript script;
  FillDemoScript(script);
  EXPECT_EQ(UninstallDataText(record, script, DemoMessage), kDemoRecord);
}

TEST(UninstallDataText, OptionalSectionsOnlyWhenTheyHaveLines) {
  UninstallRecord record;
  AddEntry(record, "C:\\App\\a.exe", RemovalKind::kFile);
  format::SetupScript script;
  script.conditionalDeletes = {{"*.log", 1, "", 1}};  // kept for installation only
  ts::Text text = UninstallDataText(record, script, [](int) { return ts::WText(); });
  EXPECT_EQ(text.rfind("C:\\App\\a.exe\r\n\r\n\r\n[Strings]\r\n~10\r\n\r\n~15\r\n", 0), 0u);
  ts::Text end = "~111\r\n\r\n~999\r\n\r\n";
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
  for (const char* header :
       {"[AutoClose]", "[Associations]", "[Firewall]", "[INF]", "[MSI]", "[Registry2]", "[ConditionalDelete]"}) {
    EXPECT_EQ(text.find(header), ts::Text::npos) << header;
  }
}

TEST(UninstallDataText, CharactersWithoutUtf8FormBecomeQuestionMarks) {
  UninstallRecord record;
  format::SetupScript script;
  ts::WText lone = L"a";
  lone += static_cast<wchar_t>(0xD800);
  lone += L"b";
  ts::Text text = UninstallDataText(record, script, [&](int number) { return number == 10 ? lone : ts::WText(); });
  EXPECT_NE(text.find("~10\r\na?b\r\n"), ts::Text::npos);
}

TEST(ParseUninstallData, ReadsEveryFieldOfTheDemoRecord) {
  UninstallData data = ParseUninstallData(kDemoRecord);
  const char* entries[] = {
      "C:\\Program Files\\Palisade Demo\\demo.exe",
      "~C:\\Program Files\\Palisade Demo",
      "~|C:\\Program Files\\Palisade Demo\\Donn\xC3\xA9" "es",
      "|C:\\Program Files\\Palisade Demo\\Donn\xC3\xA9" "es\\caf\xC3\xA9.txt",
      "!\\HKLM\\Software\\Palisade Demo\\InstallDir",
      "^\\HKCU\\Software\\Palisade Demo",
      "*\\HKLM\\Software\\Classes\\CLSID\\{6F2A1C3E-0B7D-4E51-9A3C-2D8E5F104B7A}",
  };
  ASSERT_EQ(data.entries.Count(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(data.entries[i], entries[i]) << i;
  EXPECT_EQ(ParseEntry(data.entries[3]).text, L"C:\\Program Files\\Palisade Demo\\Donn\u00e9es\\caf\u00e9.txt");

  const int numbers[] = {10, 15, 20, 30, 34, 35, 49, 53, 55, 56, 57, 58, 59, 65, 67, 68,
                         69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111};
  ASSERT_EQ(data.messages.Count(), 31);
  for (int i = 0; i < 31; ++i) {
    EXPECT_EQ(data.messages[i].number, numbers[i]);
    EXPECT_EQ(data.messages[i].text, DemoMessage(numbers[i])) << numbers[i];
  }
  EXPECT_EQ(data.productHeading, "Palisade Demo 2.1");

  ASSERT_EQ(data.closeRules.Count(), 2);
  EXPECT_EQ(data.closeRules[0].windowClass, "DemoMainWindow");
  EXPECT_EQ(data.closeRules[0].windowTitle, "");
  EXPECT_EQ(data.closeRules[0].applicationName, "Palisade Demo");
  EXPECT_EQ(data.closeRules[0].action, 0);
  EXPECT_EQ(data.closeRules[0].options, 2);  // closed before the confirmation
  EXPECT_EQ(data.closeRules[1].windowClass, "");
  EXPECT_EQ(data.closeRules[1].windowTitle, "Say \"hi\", viewer");
  EXPECT_EQ(data.closeRules[1].applicationName, "D\xC3\xA9mo Viewer");
  EXPECT_EQ(data.closeRules[1].action, 2);
  EXPECT_EQ(data.closeRules[1].options, 4);  // asks the user after the confirmation

  ASSERT_EQ(data.associations.Count(), 1);
  EXPECT_EQ(data.associations[0].extension, ".pdm");
  EXPECT_EQ(data.associations[0].progId, "PalisadeDemo.Document");
  EXPECT_EQ(data.associations[0].verb, "open");
  EXPECT_EQ(data.associations[0].icon, "C:\\Program Files\\Palisade Demo\\demo.exe,0");
  ASSERT_EQ(data.firewall.Count(), 1);
  EXPECT_EQ(data.firewall[0], "%InstallDir%\\demo.exe;Palisade Demo;3;0");
  ASSERT_EQ(data.drivers.Count(), 1);
  EXPECT_EQ(data.drivers[0], "C:\\Windows\\INF\\oem12.inf");
  ASSERT_EQ(data.packages.Count(), 1);
  EXPECT_EQ(data.packages[0], "C:\\Program Files\\Palisade Demo\\runtime.msi,2");
  EXPECT_EQ(data.mergeText,
            L"\\HKLM\\Software\\Palisade Demo,\u00c9diteur,Palisade\r\n\\HKCU\\Software\\Palisade Demo,Theme,dark\r\n");

  ASSERT_EQ(data.conditionalDeletes.Count(), 2);
  EXPECT_EQ(data.conditionalDeletes[0].pattern, "*.tmp");
  EXPECT_EQ(data.conditionalDeletes[0].conditionKind, 1);
  EXPECT_EQ(data.conditionalDeletes[0].value, "");
  EXPECT_EQ(data.conditionalDeletes[0].flags, 8);
  EXPECT_EQ(data.conditionalDeletes[1].pattern, "#old#\\settings.ini");
  EXPECT_EQ(data.conditionalDeletes[1].conditionKind, 2);
  EXPECT_EQ(data.conditionalDeletes[1].value, "\xC3\x84rger");
  EXPECT_EQ(data.conditionalDeletes[1].flags, 9);
}

ts::WText AdoptedMessage(const format::SetupScript& script, int number) {
  size_t index = static_cast<size_t>(number);
  if (index >= script.messages.size() || script.messages[index].empty()) return {};
  const std::u16string& text = script.messages[index][0];
  return ts::WText(text.begin(), text.end());
}

TEST(AdoptUninstallData, RewriteOfAFileReadBackIsTheSameFile) {
  UninstallData data = ParseUninstallData(kDemoRecord);
  UninstallRecord record;
  format::SetupScript script;
  AdoptUninstallData(data, record, script);
  for (const ts::Text& line : data.entries) {
    RecordedEntry entry = ParseEntry(line);
    AddEntry(record, StoredText(entry.text), entry.kind);
  }
  auto message = [&](int number) { return AdoptedMessage(script, number); };
  EXPECT_EQ(UninstallDataText(record, script, message), kDemoRecord);
}

TEST(AdoptUninstallData, UninstallerKeepsOnlyWhatRemains) {
  UninstallData data = ParseUninstallData(kDemoRecord);
  UninstallRecord record;
  format::SetupScript script;
  AdoptUninstallData(data, record, script);
  AddEntry(record, StoredText(L"C:\\Program Files\\Palisade Demo\\demo.exe"), RemovalKind::kFile);
  record.packages.clear();
  auto message = [&](int number) { return AdoptedMessage(script, number); };
  UninstallData again = ParseUninstallData(UninstallDataText(record, script, message));
  ASSERT_EQ(again.entries.Count(), 1);
  EXPECT_EQ(again.entries[0], "C:\\Program Files\\Palisade Demo\\demo.exe");
  EXPECT_EQ(again.packages.Count(), 0);
  EXPECT_EQ(again.drivers.Count(), 1);
  EXPECT_EQ(again.closeRules.Count(), 2);
  EXPECT_EQ(again.closeRules[1].options, 4);
  EXPECT_EQ(again.messages.Count(), 31);
}

// --- The reader's tolerance ---

TEST(ParseUninstallData, AcceptsEveryLineEnd) {
  const char* texts[] = {
      "a.exe\r\nb.exe\r\n[Strings]\r\n~15\r\nDone\r\n",
      "a.exe\n\rb.exe\n\r[Strings]\n\r~15\n\rDone\n\r",
      "a.exe\rb.exe\r[Strings]\r~15\rDone",
      "a.exe\nb.exe\n[Strings]\n~15\nDone",
      "a.exe\r\nb.exe\n[Strings]\r~15\n\rDone\r\n",
  };
  for (const char* text : texts) {
    UninstallData data = ParseUninstallData(text);
    ASSERT_EQ(data.entries.Count(), 2) << text;
    EXPECT_EQ(data.entries[0], "a.exe");
    EXPECT_EQ(data.entries[1], "b.exe");
    ASSERT_EQ(data.messages.Count(), 1) << text;
    EXPECT_EQ(data.messages[0].number, 15);
    EXPECT_EQ(data.messages[0].text, L"Done");
  }
}

TEST(ParseUninstallData, WithoutHeadersEveryLineIsAnEntry) {
  UninstallData data = ParseUninstallData("  C:\\a.exe\t\r\n\r\n~C:\\Folder\r\n[strings]\r\n~10\r\nlast");
  ASSERT_EQ(data.entries.Count(), 5);
  EXPECT_EQ(data.entries[0], "C:\\a.exe");
  EXPECT_EQ(data.entries[1], "~C:\\Folder");
  EXPECT_EQ(data.entries[2], "[strings]");  // headers match exactly, letter case included
  EXPECT_EQ(data.entries[3], "~10");
  EXPECT_EQ(data.entries[4], "last");
  EXPECT_EQ(data.messages.Count(), 0);
}

TEST(ParseUninstallData, EmptyFileHoldsNothing) {
  UninstallData data = ParseUninstallData("");
  EXPECT_EQ(data.entries.Count(), 0);
  EXPECT_EQ(data.messages.Count(), 0);
  EXPECT_EQ(data.mergeText, L"");
}

TEST(ParseUninstallData, HeaderIsTheWholeTrimmedLine) {
  UninstallData data = ParseUninstallData("a.exe\r\n  [INF] \t\r\nC:\\x.inf\r\n[INF] extra\r\n");
  EXPECT_EQ(data.entries.Count(), 1);
  ASSERT_EQ(data.drivers.Count(), 2);
  EXPECT_EQ(data.drivers[0], "C:\\x.inf");
  EXPECT_EQ(data.drivers[1], "[INF] extra");
}

TEST(ParseUninstallData, MessageSpanningLinesKeepsCrLfAndLosesTrailingBlanks) {
  UninstallData data = ParseUninstallData("[Strings]\n~10\n  First line\nsecond\tline\n\nthird  \n \t\n~15\nx");
  ASSERT_EQ(data.messages.Count(), 2);
  EXPECT_EQ(data.messages[0].text, L"  First line\r\nsecond\tline\r\n\r\nthird");
  EXPECT_EQ(data.messages[1].text, L"x");
}

TEST(ParseUninstallData, MessageNumbersOutsideOneToThousandStartNoText) {
  UninstallData data = ParseUninstallData(
      "[Strings]\r\n~0\r\nlost\r\n~1001\r\nlost too\r\n~1\r\none\r\n~1000\r\nthousand\r\n~x\r\nlost\r\n"
      "~-5\r\nlost\r\n~10000\r\nlost\r\n~\r\nlost\r\n~20\r\ntwenty");
  ASSERT_EQ(data.messages.Count(), 3);
  EXPECT_EQ(data.messages[0].number, 1);
  EXPECT_EQ(data.messages[0].text, L"one");
  EXPECT_EQ(data.messages[1].number, 1000);
  EXPECT_EQ(data.messages[1].text, L"thousand");
  EXPECT_EQ(data.messages[2].number, 20);
  EXPECT_EQ(data.messages[2].text, L"twenty");
}

TEST(ParseUninstallData, MessageEndsAtALineThatBeginsWithAHeader) {
  UninstallData data =
      ParseUninstallData("[Strings]\r\n~10\r\ntext\r\n[MSI] is next\r\nignored\r\n~999\r\nHeading\r\n");
  ASSERT_EQ(data.messages.Count(), 1);
  EXPECT_EQ(data.messages[0].text, L"text");
  EXPECT_EQ(data.productHeading, "Heading");
  EXPECT_EQ(data.packages.Count(), 0);
}

TEST(ParseUninstallData, MessageEndsAtASectionHeader) {
  UninstallData data = ParseUninstallData("[Strings]\r\n~10\r\ntext\r\n\r\n\r\n[MSI]\r\n\"a.msi\",2\r\n");
  ASSERT_EQ(data.messages.Count(), 1);
  EXPECT_EQ(data.messages[0].text, L"text");
  ASSERT_EQ(data.packages.Count(), 1);
}

TEST(ParseUninstallData, LinesBeforeTheFirstMessageAreIgnored) {
  UninstallData data = ParseUninstallData("[Strings]\r\nstray\r\n~15\r\nDone\r\n");
  ASSERT_EQ(data.messages.Count(), 1);
  EXPECT_EQ(data.messages[0].text, L"Done");
}

TEST(ParseUninstallData, CloseRulesNeedFourFieldsAndANumber) {
  UninstallData data = ParseUninstallData(
      "[AutoClose]\r\n"
      "Cls,Title,App,1\r\n"
      "Cls,Title,App\r\n"
      "Cls,Title,App,1,extra\r\n"
      "Cls,Title,App,one\r\n"
      "Cls,Title,App,256\r\n"
      "\"Quoted, class\" , \"Say \"\"hi\"\"\",|App \xC3\xA9,3\r\n"
      "\"|\xC3\xA9t\xC3\xA9\",,,2\r\n");
  ASSERT_EQ(data.closeRules.Count(), 3);
  EXPECT_EQ(data.closeRules[0].action, 1);
  EXPECT_EQ(data.closeRules[0].options, 2);
  EXPECT_EQ(data.closeRules[1].windowClass, "Quoted, class");
  EXPECT_EQ(data.closeRules[1].windowTitle, "Say \"hi\"");
  EXPECT_EQ(data.closeRules[1].applicationName, "App \xC3\xA9");
  EXPECT_EQ(data.closeRules[1].action, 3);
  EXPECT_EQ(data.closeRules[2].windowClass, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(data.closeRules[2].options, 4);
}

TEST(ParseUninstallData, AssociationsNeedExtensionProgIdAndVerb) {
  UninstallData data = ParseUninstallData(
      "[Associations]\r\n"
      ".a~!~A.Doc~!~open~!~a.exe,1\r\n"
      ".b~!~B.Doc~!~edit\r\n"
      ".c~!~C.Doc\r\n"
      " ~!~D.Doc~!~open~!~d.ico\r\n"
      ".e~!~ ~!~open~!~e.ico\r\n"
      ".f~!~F.Doc~!~\t~!~f.ico\r\n"
      ".g~!~G.Doc~!~open~!~g~!~more\r\n");
  ASSERT_EQ(data.associations.Count(), 3);
  EXPECT_EQ(data.associations[0].icon, "a.exe,1");
  EXPECT_EQ(data.associations[1].verb, "edit");
  EXPECT_EQ(data.associations[1].icon, "");
  EXPECT_EQ(data.associations[2].icon, "g~!~more");
}

TEST(ParseUninstallData, ConditionalDeletesNeedFourFieldsAndNumbers) {
  UninstallData data = ParseUninstallData(
      "[ConditionalDelete]\r\n"
      "*.tmp,1,,8\r\n"
      "*.tmp,1,8\r\n"
      "*.tmp,x,,8\r\n"
      "*.tmp,1,,\r\n"
      "\"a,b.txt\",2,\"1.0\",9\r\n");
  ASSERT_EQ(data.conditionalDeletes.Count(), 2);
  EXPECT_EQ(data.conditionalDeletes[1].pattern, "a,b.txt");
  EXPECT_EQ(data.conditionalDeletes[1].conditionKind, 2);
  EXPECT_EQ(data.conditionalDeletes[1].value, "1.0");
  EXPECT_EQ(data.conditionalDeletes[1].flags, 9);
}

TEST(ParseUninstallData, MergeLinesAreJoinedWithCrLf) {
  UninstallData data =
      ParseUninstallData("[Registry2]\n\\HKLM\\A,v,1\n\n  \\HKLM\\B,w,\xC3\xA9  \n[Firewall]\n80;web;1;0");
  EXPECT_EQ(data.mergeText, L"\\HKLM\\A,v,1\r\n\\HKLM\\B,w,\u00e9\r\n");
  ASSERT_EQ(data.firewall.Count(), 1);
}

TEST(ParseUninstallData, BinaryGarbageIsPassedOver) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  garbage += "\r\n[MSI]\r\n\"x.msi\",1\r\n";
  UninstallData data = ParseUninstallData(garbage);
  ASSERT_EQ(data.packages.Count(), 1);
  EXPECT_EQ(data.packages[0], "\"x.msi\",1");
}

// --- The file on disk ---

class RecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ScratchFolder();
    CreateDirectoryW(folder_.c_str(), nullptr);
    saved_ = g_installer;
    ClearRecordedEntries();
  }
  void TearDown() override {
    DeleteFileW(UninstallDataPath(folder_).c_str());
    RemoveDirectoryW(folder_.c_str());
    g_installer = saved_;
    g_uninstallRecord = UninstallRecord{};
  }

  ts::WText folder_;
  InstallerState saved_;
};

TEST_F(RecordFile, WrittenFileReadsBack) {
  g_installer.script.productHeading = "Heading \xC3\xA9";
  RecordForRemoval(ts::WText(L"C:\\Demo\\caf\u00e9.txt"), RemovalKind::kFile);
  RecordSectionLine(RecordSection::kDrivers, "C:\\Windows\\INF\\oem3.inf");
  ts::WText path = UninstallDataPath(folder_);
  EXPECT_EQ(path, folder_ + L"\\Uninstall.DAT");
  ts::Text error;
  ts::WText written, read;
  ASSERT_TRUE(WriteUninstallData(path, error, written)) << error;
  UninstallData data;
  ASSERT_EQ(ReadUninstallData(path, data, read), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(data.entries.Count(), 1);
  EXPECT_EQ(ParseEntry(data.entries[0]).text, L"C:\\Demo\\caf\u00e9.txt");
  EXPECT_EQ(data.productHeading, "Heading \xC3\xA9");
  ASSERT_EQ(data.drivers.Count(), 1);
  // The key is given the hash of the bytes on the disk, and the reader's
  // check sees the same.
  EXPECT_EQ(written, HashOfBytes(ReadBytes(path)));
  EXPECT_EQ(read, written);
}

TEST_F(RecordFile, MissingFileGivesTheSystemsErrorNumber) {
  UninstallData data;
  data.entries.Add("kept");
  ts::WText hash;
  EXPECT_EQ(ReadUninstallData(folder_ + L"\\Uninstall.DAT", data, hash), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ReadUninstallData(folder_ + L"\\missing\\Uninstall.DAT", data, hash), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(data.entries.Count(), 1);
}

// Only the folder entries count, in ASCII lower case; the "~" of the
// [Strings] section's numbers is not an entry's. The installer believes an
// earlier record only as far as the product's key vouches for it: a record
// that a user put into a folder of theirs names no folder of the product.
TEST_F(RecordFile, RecordedFoldersAreTheFolderEntriesOfARecordTheKeyVouchesFor) {
  const ts::WText key = L"Software\\Palisade Tests\\Record Key";
  ts::WText path = UninstallDataPath(folder_);
  ts::File file;
  ASSERT_TRUE(file.Create(path) && file.WriteBlock(kDemoRecord, static_cast<int>(sizeof kDemoRecord - 1)));
  file.Close();
  const std::set<ts::WText> listed = {L"c:\\program files\\palisade demo",
                                      L"c:\\program files\\palisade demo\\donn\u00e9es"};
  struct KeyCase {
    const char* name;
    bool keyExists;
    ts::WText recordHash;  // empty: no value
    ts::WText uninstallerHash;
    bool believed;
  };
  const KeyCase cases[] = {
      {"no key", false, L"", L"", false},
      {"a key from before the hashes", true, L"", L"", true},
      {"the record's own hash", true, HashOfBytes(kDemoRecord), L"0a1b", true},
      {"another record's hash", true, HashOfBytes("another record"), L"0a1b", false},
      {"the uninstaller's hash alone", true, L"", L"0a1b", false},
  };
  for (const KeyCase& c : cases) {
    ts::DeleteKeyTree(HKEY_LOCAL_MACHINE, key, 0);
    if (c.keyExists) {
      ts::RegistryKey created;
      ASSERT_EQ(created.Create(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE), ERROR_SUCCESS);
      if (!c.recordHash.empty()) created.SetText(L"UninstallDataHash", c.recordHash);
      if (!c.uninstallerHash.empty()) created.SetText(L"UninstallerHash", c.uninstallerHash);
    }
    EXPECT_EQ(RecordedFolders(path, key), c.believed ? listed : std::set<ts::WText>{}) << c.name;
  }
  DeleteFileW(path.c_str());
  EXPECT_EQ(RecordedFolders(path, key), std::set<ts::WText>{}) << "no record";
  ts::DeleteKeyTree(HKEY_LOCAL_MACHINE, key, 0);
}

TEST_F(RecordFile, InstallationWritesOnlyForAProductWithAnUninstaller) {
  g_installer.installFolder = folder_;
  g_installer.script.uninstallSubfolder = "";
  RecordForRemoval(ts::WText(L"C:\\Demo\\a.txt"), RemovalKind::kFile);
  g_installer.script.productFlagsLow = 0;
  WriteUninstallRecord();
  EXPECT_EQ(GetFileAttributesW(UninstallDataPath(folder_).c_str()), INVALID_FILE_ATTRIBUTES);
  g_installer.script.productFlagsLow = format::product_flags_low::kPreviousInstallation;
  WriteUninstallRecord();
  EXPECT_EQ(ReadBytes(UninstallDataPath(folder_)).rfind("C:\\Demo\\a.txt\r\n\r\n\r\n[Strings]\r\n", 0), 0u);
}

TEST_F(RecordFile, FailedWriteGoesToTheFailureSummary) {
  g_installer.installFolder = folder_ + L"\\missing";
  g_installer.script.uninstallSubfolder = "uninst";
  g_installer.script.productFlagsLow = format::product_flags_low::kPreviousInstallation;
  g_installer.script.messages.assign(32, std::vector<std::u16string>(1));
  g_installer.script.messages[31][0] = u"Cannot write";
  size_t before = FailureSummary().size();
  WriteUninstallRecord();
  ts::Text expected = "Cannot write " + ts::Utf8FromWide(folder_) + "\\missing\\uninst\\Uninstall.DAT\r\n" +
                      ts::SystemErrorText(ERROR_PATH_NOT_FOUND) + "\r\n\r\n";
  EXPECT_EQ(FailureSummary().substr(before), expected);
}

}  // namespace
}  // namespace palisade
