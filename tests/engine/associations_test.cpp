// File associations in the classes root of the test's prefix: what one
// entry writes, the backups of what it replaces, the record line it leaves,
// and the uninstaller putting everything back from that line.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <vector>

#include "actions/associations.h"
#include "actions/install_log.h"
#include "core/ts_registry.h"
#include "format/product_flags.h"
#include "record/uninstall_record.h"
#include "state/installer_state.h"
#include "uninstall/undo_registrations.h"

namespace palisade {
namespace {

namespace mode = format::association_mode;

constexpr wchar_t kProduct[] = L"Acme Notes";
constexpr wchar_t kBackup[] = L"Acme Notes Backup";
constexpr wchar_t kCommand[] = L"C:\\Acme\\note.exe \"%1\"";
constexpr wchar_t kIcon[] = L"C:\\Acme\\note.exe,1";

struct NameCase {
  const wchar_t* productName;
  const wchar_t* backupName;
};

TEST(BackupValueName, ProductNameWithoutBackslashesLineBreaksAndTabs) {
  const NameCase cases[] = {
      {L"Acme Notes", L"Acme Notes Backup"},
      {L"Acme\\Notes\r\n\t2", L"AcmeNotes2 Backup"},
      {L"Caf\u00e9", L"Caf\u00e9 Backup"},
      {L"", L" Backup"},
  };
  for (const NameCase& c : cases) EXPECT_EQ(BackupValueName(c.productName), c.backupName);
}

struct KeyNameCase {
  const wchar_t* name;
  bool allowed;
};

TEST(IsClassKeyName, OnlyNamesThatStayRightBelowTheRoot) {
  const KeyNameCase cases[] = {
      {L".txt", true},       {L"Acme.Note.1", true}, {L"open", true},  {L"", false},
      {L"..\\CLSID", false}, {L"Acme\\shell", false}, {L"a\nb", false}, {L"a\tb", false},
  };
  for (const KeyNameCase& c : cases) EXPECT_EQ(IsClassKeyName(c.name), c.allowed) << ts::Utf8FromWide(c.name);
}

// A value below the classes root: its key, its name (empty for the
// default) and its text, or nothing when it must be absent.
struct Value {
  const wchar_t* key;
  const wchar_t* name;
  std::optional<ts::WText> text;
};

class Associations : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_installer;
    savedRecord_ = g_uninstallRecord;
    g_uninstallRecord = UninstallRecord{};
    g_installer.installFolder = L"C:\\Acme";
    RemoveKeys();
  }
  void TearDown() override {
    RemoveKeys();
    g_installer = saved_;
    g_uninstallRecord = savedRecord_;
  }

  static void RemoveKeys() {
    for (const wchar_t* key : {L".palisade-a", L".palisade-b", L"Palisade.Note", L"Palisade.Old", L"Palisade.Viewer"}) {
      ts::DeleteKeyTree(HKEY_CLASSES_ROOT, key, 0);
    }
  }

  static void Set(const ts::WText& key, const ts::WText& name, const ts::WText& text) {
    ts::RegistryKey opened;
    ASSERT_EQ(opened.Create(HKEY_CLASSES_ROOT, key, KEY_WRITE), ERROR_SUCCESS) << ts::Utf8FromWide(key);
    ASSERT_EQ(opened.SetText(name, text), ERROR_SUCCESS);
  }

  // An existing file type: the extension names "Palisade.Old", which has a
  // description, an icon, a default verb and an open command of its own.
  static void OldFileType(const ts::WText& extension) {
    Set(extension, L"", L"Palisade.Old");
    Set(L"Palisade.Old", L"", L"Old note");
    Set(L"Palisade.Old\\DefaultIcon", L"", L"old.exe,0");
    Set(L"Palisade.Old\\shell", L"", L"edit");
    Set(L"Palisade.Old\\shell\\open\\command", L"", L"old.exe \"%1\"");
  }

  static bool KeyExists(const ts::WText& key) {
    ts::RegistryKey opened;
    return opened.Open(HKEY_CLASSES_ROOT, key, KEY_READ) == ERROR_SUCCESS;
  }

  static void ExpectValues(const std::vector<Value>& values, const char* when) {
    for (const Value& v : values) {
      ts::WText text;
      bool found = ts::ReadRegistryText(HKEY_CLASSES_ROOT, v.key, v.name, text);
      std::string where = std::string(when) + ": " + ts::Utf8FromWide(v.key) + " [" + ts::Utf8FromWide(v.name) + "]";
      EXPECT_EQ(found, v.text.has_value()) << where;
      if (found && v.text) EXPECT_EQ(text, *v.text) << where;
    }
  }

  static AssociationEntry Entry(uint32_t entryMode, const wchar_t* extension, const wchar_t* progId) {
    return {entryMode, extension, progId, L"Acme note", L"open", L"&Open with Acme", kCommand, kIcon};
  }

  // The uninstaller's pass over the record that the run wrote.
  static void Uninstall() {
    UninstallData data = ParseUninstallData("[Associations]\r\n" + g_uninstallRecord.associations);
    RemoveAssociations(data.associations, kProduct, g_installer.installFolder);
  }

  InstallerState saved_;
  UninstallRecord savedRecord_;
};

TEST_F(Associations, FullAssociationOverAnExistingTypeIsBackedUpAndRestored) {
  OldFileType(L".palisade-a");
  AssociateFile(Entry(mode::kFull, L".palisade-a", L"Palisade.Note"), kBackup);
  ExpectValues({{L".palisade-a", L"", L"Palisade.Note"},
                {L".palisade-a", kBackup, L"Palisade.Old"},
                {L".palisade-a\\OpenWithProgids", L"Palisade.Note", L""},
                {L"Palisade.Note", L"", L"Acme note"},
                {L"Palisade.Note", kBackup, std::nullopt},
                {L"Palisade.Note\\DefaultIcon", L"", kIcon},
                {L"Palisade.Note\\shell", L"", L"open"},
                {L"Palisade.Note\\shell\\open", L"", L"&Open with Acme"},
                {L"Palisade.Note\\shell\\open\\command", L"", kCommand},
                {L"Palisade.Old\\shell\\open\\command", L"", L"old.exe \"%1\""}},
               "installed");
  EXPECT_EQ(g_uninstallRecord.associations, ".palisade-a~!~Palisade.Note~!~open~!~C:\\Acme\\note.exe,1\r\n");

  Uninstall();
  ExpectValues({{L".palisade-a", L"", L"Palisade.Old"},
                {L".palisade-a", kBackup, std::nullopt},
                {L"Palisade.Old", L"", L"Old note"},
                {L"Palisade.Old\\shell\\open\\command", L"", L"old.exe \"%1\""}},
               "uninstalled");
  EXPECT_FALSE(KeyExists(L".palisade-a\\OpenWithProgids"));
  EXPECT_FALSE(KeyExists(L"Palisade.Note"));
}

TEST_F(Associations, NewExtensionAndClassLeaveNothingBehind) {
  AssociateFile(Entry(mode::kFull, L".palisade-a", L"Palisade.Note"), kBackup);
  ExpectValues({{L".palisade-a", L"", L"Palisade.Note"}, {L".palisade-a", kBackup, std::nullopt}}, "installed");
  Uninstall();
  EXPECT_FALSE(KeyExists(L".palisade-a"));
  EXPECT_FALSE(KeyExists(L"Palisade.Note"));
}

TEST_F(Associations, ValueThatAlreadyHoldsTheNewTextGetsNoBackup) {
  Set(L".palisade-a", L"", L"Palisade.Note");
  Set(L"Palisade.Note\\shell\\open\\command", L"", kCommand);
  AssociateFile(Entry(mode::kFull, L".palisade-a", L"Palisade.Note"), kBackup);
  ExpectValues({{L".palisade-a", kBackup, std::nullopt},
                {L"Palisade.Note\\shell\\open\\command", kBackup, std::nullopt}},
               "installed");
}

TEST_F(Associations, CreateMarkMakesTheClassOnlyWhenTheExtensionHasNone) {
  AssociateFile(Entry(mode::kFull, L".palisade-a", L"!Palisade.Note"), kBackup);
  OldFileType(L".palisade-b");
  AssociateFile(Entry(mode::kFull, L".palisade-b", L"!Palisade.Note2"), kBackup);
  ExpectValues({{L".palisade-a", L"", L"Palisade.Note"},
                {L"Palisade.Note", L"", L"Acme note"},
                {L".palisade-b", L"", L"Palisade.Old"},
                {L".palisade-b", kBackup, std::nullopt},
                // The existing class keeps its description and gains the command.
                {L"Palisade.Old", L"", L"Old note"},
                {L"Palisade.Old\\shell\\open\\command", L"", kCommand},
                {L"Palisade.Old\\shell\\open\\command", kBackup, L"old.exe \"%1\""},
                {L"Palisade.Old\\shell", kBackup, L"edit"}},
               "installed");
  EXPECT_FALSE(KeyExists(L"Palisade.Note2"));
  EXPECT_FALSE(KeyExists(L"!Palisade.Note"));
  EXPECT_EQ(g_uninstallRecord.associations,
            ".palisade-a~!~Palisade.Note~!~open~!~C:\\Acme\\note.exe,1\r\n"
            ".palisade-b~!~Palisade.Old~!~open~!~C:\\Acme\\note.exe,1\r\n");

  Uninstall();
  EXPECT_FALSE(KeyExists(L".palisade-a"));
  EXPECT_FALSE(KeyExists(L"Palisade.Note"));
  ExpectValues({{L".palisade-b", L"", L"Palisade.Old"},
                {L"Palisade.Old", L"", L"Old note"},
                {L"Palisade.Old\\DefaultIcon", L"", L"old.exe,0"},
                {L"Palisade.Old\\shell", L"", L"edit"},
                {L"Palisade.Old\\shell", kBackup, std::nullopt},
                {L"Palisade.Old\\shell\\open\\command", L"", L"old.exe \"%1\""},
                {L"Palisade.Old\\shell\\open\\command", kBackup, std::nullopt}},
               "uninstalled");
}

TEST_F(Associations, OpenWithEntryNeverChangesTheExtensionsDefault) {
  OldFileType(L".palisade-a");
  AssociateFile(Entry(mode::kOpenWithOnly, L".palisade-a", L"Palisade.Viewer"), kBackup);
  ExpectValues({{L".palisade-a", L"", L"Palisade.Old"},
                {L".palisade-a", kBackup, std::nullopt},
                {L".palisade-a\\OpenWithProgids", L"Palisade.Viewer", L""},
                {L"Palisade.Viewer\\shell", L"", std::nullopt},
                {L"Palisade.Viewer\\shell\\open\\command", L"", kCommand}},
               "installed");
  Uninstall();
  ExpectValues({{L".palisade-a", L"", L"Palisade.Old"}}, "uninstalled");
  EXPECT_FALSE(KeyExists(L".palisade-a\\OpenWithProgids"));
  EXPECT_FALSE(KeyExists(L"Palisade.Viewer"));
}

TEST_F(Associations, ClassValueThatTheInstallationDidNotMakeKeepsTheClass) {
  AssociateFile(Entry(mode::kFull, L".palisade-a", L"Palisade.Note"), kBackup);
  Set(L"Palisade.Note", L"FriendlyTypeName", L"mine");
  Uninstall();
  ExpectValues({{L"Palisade.Note", L"FriendlyTypeName", L"mine"}, {L".palisade-a", L"", L"Palisade.Note"}},
               "uninstalled");
  EXPECT_FALSE(KeyExists(L"Palisade.Note\\shell"));
}

struct ForeignClassCase {
  const char* name;
  const wchar_t* command;
};

// A record line that names a class the product never made (as an edited
// record names exefile) leaves the class, its command, its icon, its
// default verb and the extension that names it as they are.
TEST_F(Associations, RecordLineForAClassThatIsNotTheProductsChangesNothing) {
  const ForeignClassCase cases[] = {
      {"a program that runs itself", L"\"%1\" %*"},
      {"a program elsewhere", L"C:\\Tools\\view.exe \"%1\""},
      {"a folder whose name begins like the product's", L"\"C:\\Acme2\\note.exe\" \"%1\""},
      {"a way out of the product's folder", L"C:\\Acme\\..\\Tools\\view.exe %1"},
  };
  for (const ForeignClassCase& c : cases) {
    Set(L".palisade-b", L"", L"Palisade.Old");
    Set(L".palisade-b\\OpenWithProgids", L"Palisade.Old", L"");
    Set(L"Palisade.Old\\DefaultIcon", L"", L"%1");
    Set(L"Palisade.Old\\shell", L"", L"open");
    Set(L"Palisade.Old\\shell\\open", L"", L"Open");
    Set(L"Palisade.Old\\shell\\open\\command", L"", c.command);
    UninstallData data = ParseUninstallData("[Associations]\r\n.palisade-b~!~Palisade.Old~!~open~!~%1\r\n");
    RemoveAssociations(data.associations, kProduct, g_installer.installFolder);
    ExpectValues({{L".palisade-b", L"", L"Palisade.Old"},
                  {L".palisade-b\\OpenWithProgids", L"Palisade.Old", L""},
                  {L"Palisade.Old\\DefaultIcon", L"", L"%1"},
                  {L"Palisade.Old\\shell", L"", L"open"},
                  {L"Palisade.Old\\shell\\open", L"", L"Open"},
                  {L"Palisade.Old\\shell\\open\\command", L"", ts::WText(c.command)}},
                 c.name);
    RemoveKeys();
  }
}

struct UnusableCase {
  const char* name;
  const wchar_t* existingDefault;  // nullptr: no extension key
  const wchar_t* progId;
};

TEST_F(Associations, ExtensionWithoutAClassToUseIsPassedOverUnrecorded) {
  const UnusableCase cases[] = {
      {"no extension key", nullptr, L""},
      {"no extension key, class to create", nullptr, L"!"},
      {"extension without a class", L"", L""},
  };
  ts::Text summary = FailureSummary();
  for (const UnusableCase& c : cases) {
    if (c.existingDefault) Set(L".palisade-a", L"", c.existingDefault);
    AssociateFile(Entry(mode::kFull, L".palisade-a", c.progId), kBackup);
    EXPECT_EQ(g_uninstallRecord.associations, "") << c.name;
    RemoveKeys();
  }
  EXPECT_EQ(FailureSummary(), summary);
}

TEST_F(Associations, CommandThatCannotBeSetIsAFailureButRecorded) {
  AssociationEntry entry = Entry(mode::kFull, L".palisade-a", L"Palisade.Note");
  entry.verb = L"open\\..\\..";
  ts::Text summary = FailureSummary();
  AssociateFile(entry, kBackup);
  EXPECT_EQ(FailureSummary(), summary + "Failed to associate file type:  \".palisade-a\".\r\n\r\n");
  EXPECT_EQ(g_uninstallRecord.associations, ".palisade-a~!~Palisade.Note~!~open\\..\\..~!~C:\\Acme\\note.exe,1\r\n");
}

struct PortableCase {
  bool portable;
  uint32_t productFlags2;
  bool associated;
};

TEST_F(Associations, PortableInstallationSkipsThemWhenItsFlagSaysSo) {
  const PortableCase cases[] = {
      {false, format::product_flags2::kNoAssociationsWhenPortable, true},
      {true, 0, true},
      {true, format::product_flags2::kNoAssociationsWhenPortable, false},
  };
  format::AssociationRecord record;
  record.mode = mode::kFull;
  record.extension = ".palisade-a";
  record.progId = "Palisade.Note";
  record.verb = "open";
  record.command = "note.exe";
  for (const PortableCase& c : cases) {
    g_installer.portable = c.portable;
    g_installer.productFlags2 = c.productFlags2;
    g_installer.script.associations = {record};
    AssociateFiles();
    EXPECT_EQ(KeyExists(L"Palisade.Note\\shell\\open\\command"), c.associated) << c.portable << " " << c.productFlags2;
    RemoveKeys();
  }
}

struct ResolvedCase {
  const char16_t* icon;
  const wchar_t* resolved;
};

TEST_F(Associations, IconBelowTheInstallationFolderWhenRelative) {
  const ResolvedCase cases[] = {
      {u"note.exe,1", L"C:\\Acme\\note.exe,1"},
      {u"%InstallDir%\\note.exe,2", L"C:\\Acme\\note.exe,2"},
      {u"D:\\Tools\\note.ico", L"D:\\Tools\\note.ico"},
      {u"\\\\server\\share\\note.ico", L"\\\\server\\share\\note.ico"},
      {u"", L""},
  };
  for (const ResolvedCase& c : cases) {
    format::AssociationRecord record;
    record.command = "\"%InstallDir%\\note.exe\" \"%1\"";
    record.icon = c.icon;
    AssociationEntry entry = ResolvedAssociation(record);
    EXPECT_EQ(entry.icon, c.resolved);
    EXPECT_EQ(entry.command, L"\"C:\\Acme\\note.exe\" \"%1\"");
  }
}

}  // namespace
}  // namespace palisade
