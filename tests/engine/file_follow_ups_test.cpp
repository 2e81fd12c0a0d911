#include <gtest/gtest.h>

#include "actions/file_follow_ups.h"

namespace palisade {
namespace {

namespace kind = format::destination_kind;
namespace record_flags = format::record_flags;

format::FileRecord Record(uint32_t fileKind, uint32_t flags = 0) {
  format::FileRecord record;
  record.name = "f";
  record.kind = fileKind;
  record.flags = flags;
  record.textB = u"app.ico";
  return record;
}

FileFollowUps Collect(const format::FileRecord& record, FileOutcome outcome, bool portable = false) {
  FileFollowUps lists;
  CollectFollowUps(record, outcome, portable, L"Acme Sans", L"Acme", L"--x", L"C:\\W", lists);
  return lists;
}

const FileOutcome kWritten{L"C:\\S\\acme.dll", true, false};

struct SharedCase {
  const char* name;
  uint32_t kind;
  uint32_t flags;
  bool portable;
  const wchar_t* entry;  // nullptr: not shared
};

TEST(CollectFollowUps, SharedFilesWithTheirMarkers) {
  const SharedCase cases[] = {
      {"shared folder", kind::kSharedFolder, 0, false, L"C:\\S\\acme.dll"},
      {"shared folder, portable", kind::kSharedFolder, 0, true, nullptr},
      {"system shared", kind::kSystemShared, 0, false, L" C:\\S\\acme.dll"},
      {"COM server", kind::kSystemCom, 0, false, L"^C:\\S\\acme.dll"},
      {"type library", kind::kSystemTypeLibrary, 0, false, L"\u00A9C:\\S\\acme.dll"},
      {"permanent COM server", kind::kSystemCom, record_flags::kPermanent, false, L" C:\\S\\acme.dll"},
      {"installation folder", kind::kInstallFolder, 0, false, nullptr},
  };
  for (const SharedCase& c : cases) {
    FileFollowUps lists = Collect(Record(c.kind, c.flags), kWritten, c.portable);
    if (!c.entry) {
      EXPECT_TRUE(lists.sharedFiles.Empty()) << c.name;
      continue;
    }
    ASSERT_EQ(lists.sharedFiles.Count(), 1) << c.name;
    EXPECT_EQ(lists.sharedFiles[0], c.entry) << c.name;
  }
}

TEST(CollectFollowUps, KindListsOnlyForWrittenFiles) {
  EXPECT_EQ(Collect(Record(kind::kSystemCom), kWritten).comServers.Count(), 1);
  EXPECT_EQ(Collect(Record(kind::kSystemCom), {L"C:\\S\\a.dll", false, true}).comServers.Count(), 0);
  EXPECT_EQ(Collect(Record(kind::kSystemTypeLibrary), kWritten).typeLibraries.Count(), 1);
  EXPECT_EQ(Collect(Record(kind::kDriverPackage), kWritten).driverPackages.Count(), 1);
  EXPECT_TRUE(FollowsUp(kind::kMsiPackage, kWritten));
  EXPECT_FALSE(FollowsUp(kind::kMsiPackage, {L"C:\\a.msi", false, true}));
  EXPECT_TRUE(FollowsUp(kind::kControlPanelApplet, {L"C:\\a.cpl", false, true}))
      << "an applet waiting for a restart is still registered";
  EXPECT_FALSE(FollowsUp(kind::kControlPanelApplet, {L"C:\\a.cpl", false, false}));
  EXPECT_EQ(Collect(Record(kind::kInstallFolder), kWritten).installedFiles.Count(), 1);
  EXPECT_EQ(Collect(Record(kind::kInstallFolder), {L"C:\\a", false, true}).installedFiles.Count(), 0);
}

TEST(CollectFollowUps, FontListNamesFaceAndFileOfNonPermanentFonts) {
  FileFollowUps lists;
  CollectFollowUps(Record(kind::kFont), {L"C:\\windows\\Fonts\\acme.ttf", true, false}, false, L"Acme Sans", L"", L"",
                   L"", lists);
  CollectFollowUps(Record(kind::kFont, record_flags::kPermanent), {L"C:\\windows\\Fonts\\keep.ttf", true, false}, false,
                   L"Keep", L"", L"", L"", lists);
  EXPECT_TRUE(FollowsUp(kind::kFont, {L"C:\\windows\\Fonts\\keep.ttf", true, false}));
  EXPECT_EQ(lists.fontList, L"\"Acme Sans\" \"acme.ttf\" ");
}

TEST(CollectFollowUps, ShortcutEntriesForStartupFilesAndFlaggedFiles) {
  FileFollowUps plain = Collect(Record(kind::kInstallFolder), kWritten);
  EXPECT_TRUE(plain.shortcuts.Empty());

  FileFollowUps flagged =
      Collect(Record(kind::kInstallFolder, record_flags::kDesktopShortcut | record_flags::kPermanent), kWritten);
  ASSERT_EQ(flagged.shortcuts.Count(), 1);
  const ShortcutEntry& entry = flagged.shortcuts[0];
  EXPECT_TRUE(entry.desktop);
  EXPECT_FALSE(entry.startMenu);
  EXPECT_FALSE(entry.startup);
  EXPECT_TRUE(entry.permanent);
  EXPECT_EQ(entry.target, L"C:\\S\\acme.dll");
  EXPECT_EQ(entry.name, L"Acme");
  EXPECT_EQ(entry.icon, L"app.ico");
  EXPECT_EQ(entry.arguments, L"--x");
  EXPECT_EQ(entry.workingFolder, L"C:\\W");

  FileFollowUps startup = Collect(Record(kind::kStartup), kWritten);
  ASSERT_EQ(startup.shortcuts.Count(), 1);
  EXPECT_TRUE(startup.shortcuts[0].startup);
}

}  // namespace
}  // namespace palisade
