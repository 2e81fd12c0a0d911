// The installation's and the uninstallation's own dealings with the next
// restart: the pending list without the operations that would undo this
// run's files, and the script's conditional deletions.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "actions/install_log.h"
#include "core/ts_deferred.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_tree.h"
#include "format/product_flags.h"
#include "pending_operations.h"
#include "state/installer_state.h"
#include "uninstall/deferred.h"

namespace palisade {
namespace {

using testing::PendingOperations;
using testing::SetPendingOperations;

bool Exists(const ts::WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct PendingCase {
  const char* name;
  std::vector<ts::WText> list;
  std::vector<ts::WText> remaining;
  std::vector<RemovedPendingOperation> removed;
};

TEST(PendingList, OperationsOnTheGivenPathsAreTakenOut) {
  const std::set<ts::WText> paths = {L"c:\\app\\a.dll", L"c:\\app\\b.txt"};
  const PendingCase cases[] = {
      {"replacement of a given file, in another letter case",
       {L"\\??\\C:\\App\\TST1.tmp", L"!\\??\\C:\\APP\\A.dll"},
       {},
       {{true, L"c:\\app\\a.dll", L"\\??\\C:\\App\\TST1.tmp"}}},
      {"deletion of a given file", {L"\\??\\C:\\app\\b.txt", L""}, {}, {{false, L"c:\\app\\b.txt", L""}}},
      {"deletion of nothing", {L"", L""}, {}, {{false, L"", L""}}},
      {"operations on other files stay in order",
       {L"\\??\\C:\\x.tmp", L"!\\??\\C:\\x.dll", L"\\??\\C:\\app\\a.dll.old", L""},
       {L"\\??\\C:\\x.tmp", L"!\\??\\C:\\x.dll", L"\\??\\C:\\app\\a.dll.old", L""},
       {}},
      {"a source that is a given file is no target",
       {L"\\??\\C:\\app\\a.dll", L"!\\??\\C:\\app\\c.dll"},
       {L"\\??\\C:\\app\\a.dll", L"!\\??\\C:\\app\\c.dll"},
       {}},
      {"an odd list ends with a deletion", {L"\\??\\C:\\keep.txt", L"", L"\\??\\C:\\app\\b.txt"}, {L"\\??\\C:\\keep.txt", L""},
       {{false, L"c:\\app\\b.txt", L""}}},
  };
  for (const PendingCase& c : cases) {
    PendingListEdit edit = WithoutPendingOperations(c.list, paths);
    EXPECT_EQ(edit.remaining, c.remaining) << c.name;
    ASSERT_EQ(edit.removed.size(), c.removed.size()) << c.name;
    for (size_t i = 0; i < c.removed.size(); ++i) {
      EXPECT_EQ(edit.removed[i].move, c.removed[i].move) << c.name;
      EXPECT_EQ(edit.removed[i].target, c.removed[i].target) << c.name;
      EXPECT_EQ(edit.removed[i].waitingFile, c.removed[i].waitingFile) << c.name;
    }
  }
}

struct ConditionCase {
  const char* name;
  uint8_t kind;
  const char* value;
  const wchar_t* fileVersion;
  uint64_t fileSize;
  ConditionVerdict verdict;
};

TEST(DeleteCondition, KindsCompareVersionsAndSizes) {
  using enum ConditionVerdict;
  const ConditionCase cases[] = {
      {"always", 0, "", L"", 0, kMet},
      {"unknown kind deletes without a condition", 7, "1.0", L"9.9", 5, kMet},
      {"version equal", 1, "2.1", L"2.1", 0, kMet},
      {"version not equal", 1, "2.1", L"2.1.1", 0, kNotMet},
      {"version at least, newer", 2, "2.1", L"2.10", 0, kMet},
      {"version at least, older", 2, "2.1", L"2.0.9", 0, kNotMet},
      {"version at most, equal", 3, "2.1", L"2.1", 0, kMet},
      {"version at most, newer", 3, "2.1", L"3.0", 0, kNotMet},
      {"no version resource is older", 3, "1.0", L"", 0, kMet},
      {"empty version text", 2, "", L"1.0", 0, kBadVersion},
      {"version text without a digit", 1, "latest", L"1.0", 0, kBadVersion},
      {"size equal", 4, "20", L"", 20, kMet},
      {"size not equal", 4, "20", L"", 21, kNotMet},
      {"size at least", 5, "20", L"", 20, kMet},
      {"size at least, smaller", 5, "20", L"", 19, kNotMet},
      {"size at most", 6, "20", L"", 3, kMet},
      {"size at most, larger", 6, "20", L"", 21, kNotMet},
  };
  for (const ConditionCase& c : cases) {
    format::ConditionalDeleteRule rule{"*.dll", c.kind, c.value, 4};
    EXPECT_EQ(CheckDeleteCondition(rule, c.fileVersion, c.fileSize), c.verdict) << c.name;
  }
}

class RestartWork : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = ts::WText(temp) + ts::Format(L"restart-work-%lu", GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    g_installer = InstallerState{};
    g_installer.installFolder = folder_;
    SetPendingOperations({});
    TakeLog();
  }
  void TearDown() override {
    for (HANDLE held : held_) CloseHandle(held);
    SetPendingOperations({});
    ts::DeleteTree(folder_);
  }

  // The lines logged since the last call.
  ts::Text TakeLog() {
    ts::WText path = folder_ + L"\\taken.log";
    AppendInstallLog(path, {});
    ts::File file;
    ts::Text text;
    if (file.OpenForReading(path)) file.ReadWhole(text);
    file.Close();
    DeleteFileW(path.c_str());
    return text;
  }

  ts::WText Write(const ts::WText& name, size_t size = 1) {
    ts::WText path = folder_ + L"\\" + name;
    ts::File file;
    EXPECT_TRUE(file.Create(path));
    std::string bytes(size, 'x');
    file.WriteBlock(bytes.data(), static_cast<int>(bytes.size()));
    return path;
  }

  // Keeps the file open without leave to delete it, as a running program does.
  void Hold(const ts::WText& path) {
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    held_.push_back(held);
  }

  ts::WText Lower(const ts::WText& path) { return ts::AsciiLowerCase(path); }

  ts::WText folder_;
  std::vector<HANDLE> held_;
};

TEST_F(RestartWork, AnOlderReplacementOfAnInstalledFileIsTakenOutAndItsWaitingFileRecycled) {
  ts::WText installed = Write(L"app.dll"), waiting = Write(L"TST0001.tmp");
  CreateDirectoryW((folder_ + L"\\elsewhere").c_str(), nullptr);
  ts::WText stranger = Write(L"elsewhere\\TST0002.tmp"), other = Write(L"other.dll");
  SetPendingOperations({L"\\??\\" + waiting, L"!\\??\\" + installed, L"\\??\\" + stranger, L"!\\??\\" + installed,
                  L"\\??\\" + stranger, L"!\\??\\" + other, L"\\??\\" + installed, L""});

  RemovePendingOperations({Lower(installed)});

  EXPECT_EQ(PendingOperations(), (std::vector<ts::WText>{L"\\??\\" + stranger, L"!\\??\\" + other}));
  EXPECT_FALSE(Exists(waiting)) << "the waiting file beside the installed one is recycled";
  EXPECT_TRUE(Exists(stranger)) << "a file elsewhere that the list names is not the run's to remove";
  const ts::Text moved = "File \"" + ts::Utf8FromWide(Lower(installed)) + "\" was removed from the list of pending moves.\r\n";
  const ts::Text deletion =
      "File \"" + ts::Utf8FromWide(Lower(installed)) + "\" was removed from the list of pending deletions.\r\n";
  EXPECT_NE(TakeLog().find("\r\n\r\n" + moved + moved + deletion), ts::Text::npos);
}

TEST_F(RestartWork, TheUninstallationTakesOperationsOutWithoutALog) {
  g_installer.flags.uninstall = true;
  ts::WText removed = folder_ + L"\\gone.dll";
  SetPendingOperations({L"\\??\\" + folder_ + L"\\TST0003.tmp", L"!\\??\\" + removed});
  RemovePendingOperations({Lower(removed)});
  EXPECT_TRUE(PendingOperations().empty());
  EXPECT_EQ(TakeLog().find("pending"), ts::Text::npos);
}

TEST_F(RestartWork, NothingPendingLeavesTheLogAlone) {
  RemovePendingOperations({Lower(folder_ + L"\\app.dll")});
  EXPECT_EQ(TakeLog().find("pending"), ts::Text::npos);
  EXPECT_TRUE(PendingOperations().empty());
}

constexpr uint8_t kInstall = 4, kUninstall = 8, kOnlyAtRestart = 1, kAtRestartWhenNowFails = 2;

TEST_F(RestartWork, ConditionalDeletionAtInstallationFollowsEachRule) {
  ts::WText oldA = Write(L"a.tmp"), hidden = Write(L"b.old"), big = Write(L"big.bin", 20), small = Write(L"small.bin", 3);
  ts::WText heldRetry = Write(L"held.dll"), later = Write(L"later.txt"), heldPlain = Write(L"busy.dll");
  ts::WText uninstallOnly = Write(L"note.txt"), unknownKind = Write(L"any.log");
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Hold(heldRetry);
  Hold(heldPlain);
  g_installer.script.conditionalDeletes = {
      {"*.tmp", 0, "", kInstall},
      {"b.old", 0, "", kInstall},
      {"*.bin", 5, "10", kInstall},
      {"held.dll", 0, "", kInstall | kAtRestartWhenNowFails},
      {"%InstallDir%\\later.txt", 0, "", kInstall | kOnlyAtRestart},
      {"busy.dll", 0, "", kInstall},
      {"note.txt", 0, "", kUninstall},
      {"any.log", 9, "1", kInstall},
      {"nothing-*.txt", 0, "", kInstall},
  };
  size_t failuresBefore = FailureSummary().size();

  LogText("<<");
  RunConditionalDeletion(ConditionalPhase::kInstallation);
  LogText(">>");

  for (const ts::WText& gone : {oldA, hidden, big, unknownKind}) EXPECT_FALSE(Exists(gone)) << ts::Utf8FromWide(gone);
  for (const ts::WText& kept : {small, heldRetry, later, heldPlain, uninstallOnly}) {
    EXPECT_TRUE(Exists(kept)) << ts::Utf8FromWide(kept);
  }
  EXPECT_EQ(PendingOperations(), (std::vector<ts::WText>{L"\\??\\" + heldRetry, L"", L"\\??\\" + later, L""}));
  EXPECT_TRUE(g_installer.restartRequired);
  EXPECT_TRUE(g_installer.script.productFlagsLow & format::product_flags_low::kRestartQuestion);
  EXPECT_EQ(FailureSummary().size(), failuresBefore);
  auto text = [](const ts::WText& path) { return ts::Utf8FromWide(path); };
  const ts::Text inUse = ts::SystemErrorText(ERROR_SHARING_VIOLATION);
  const ts::Text block = "<<Deleted file: " + text(oldA) + "\r\n" +
                         "Deleted file: " + text(hidden) + "\r\n" +
                         "Deleted file: " + text(big) + "\r\n" +
                         "File \"" + text(heldRetry) + "\" will be deleted after rebooting: " + inUse + "\r\n" +
                         "File \"" + text(later) + "\" will be deleted after rebooting.\r\n" +
                         "Failed to delete file \"" + text(heldPlain) + "\": " + inUse + "\r\n" +
                         "Deleted file: " + text(unknownKind) + "\r\n" +
                         "\r\n>>";
  EXPECT_NE(TakeLog().find(block), ts::Text::npos) << block;
}

TEST_F(RestartWork, AtUninstallationOnlyRulesWithWorkLeftStayInTheRecord) {
  g_installer.flags.uninstall = true;
  ts::WText done = Write(L"done.txt"), busy = Write(L"busy.txt"), installOnly = Write(L"setup.tmp");
  Hold(busy);
  const format::ConditionalDeleteRule finished{"done.txt", 0, "", kUninstall};
  const format::ConditionalDeleteRule blocked{"busy.txt", 0, "", kUninstall};
  const format::ConditionalDeleteRule otherPhase{"setup.tmp", 0, "", kInstall};
  const format::ConditionalDeleteRule matchingNothing{"none-*.txt", 0, "", kUninstall};
  g_installer.script.conditionalDeletes = {finished, blocked, otherPhase, matchingNothing};

  LogText("<<");
  RunConditionalDeletion(ConditionalPhase::kUninstallation);
  LogText(">>");

  EXPECT_FALSE(Exists(done));
  EXPECT_TRUE(Exists(busy));
  EXPECT_TRUE(Exists(installOnly));
  ASSERT_EQ(g_installer.script.conditionalDeletes.size(), 1u);
  EXPECT_EQ(g_installer.script.conditionalDeletes[0].pattern, "busy.txt");
  EXPECT_NE(TakeLog().find("<<>>"), ts::Text::npos) << "an uninstallation logs nothing here";
}

TEST_F(RestartWork, AFileThatMayNotBeDeletedIsPassedOver) {
  g_installer.script.conditionalDeletes = {{"%WinDir%\\win.ini", 0, "", kInstall},
                                           {"..\\..\\*.ini", 0, "", kInstall}};
  RunConditionalDeletion(ConditionalPhase::kInstallation);
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_TRUE(Exists(ts::WText(windows) + L"\\win.ini"));
}

}  // namespace
}  // namespace palisade
