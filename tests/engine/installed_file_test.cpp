#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <set>
#include <vector>

#include "actions/install_log.h"
#include "actions/installed_file.h"
#include "actions/overwrite_rules.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "core/ts_tree.h"
#include "format/product_flags.h"
#include "pending_operations.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

class InstalledFile : public ::testing::Test {
 protected:
  void SetUp() override {
    g_installer = InstallerState{};
    g_installer.script.messages.assign(32, std::vector<std::u16string>(1));
    g_installer.script.messages[31][0] = u"Cannot write";
    g_installer.script.productFlagsLow = format::product_flags_low::kVerifyWrittenFiles;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = ts::WText(temp) + ts::Format(L"installed-file-test-%lu", GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    // Several of the writer's 1 MiB pieces.
    for (size_t i = 0; i < large_.size(); ++i) large_[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
  }
  void TearDown() override { ts::DeleteTree(folder_); }

  ts::WText InFolder(const wchar_t* name) { return folder_ + L"\\" + name; }

  // An earlier file of that name, last written in 2001.
  void PlaceOlderFile(const ts::WText& path) {
    ts::File file;
    ASSERT_TRUE(file.Create(path));
    file.WriteBlock("old", 3);
    SYSTEMTIME older = {2001, 1, 0, 1, 0, 0, 0, 0};
    FILETIME time;
    SystemTimeToFileTime(&older, &time);
    SetFileTime(file.Handle(), &time, nullptr, &time);
  }

  std::vector<uint8_t> Contents(const ts::WText& path) {
    ts::File file;
    ts::Text text;
    if (file.OpenForReading(path)) file.ReadWhole(text);
    return std::vector<uint8_t>(text.begin(), text.end());
  }

  std::set<ts::WText> NamesInFolder() {
    std::set<ts::WText> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(InFolder(L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
  }

  const std::vector<uint8_t> data_ = {'n', 'e', 'w'};
  std::vector<uint8_t> large_ = std::vector<uint8_t>(3 << 20);
  ts::WText folder_;
};

// However the file was written, new under another name or again in place
// with its old time held, it ends with the record's time, or without one
// with the time of its writing; nothing else is left in its folder.
TEST_F(InstalledFile, WrittenFileEndsWithTheRecordsTimeOrTheTimeOfItsWriting) {
  struct Case {
    const wchar_t* name;
    bool there;
    format::TimeStamp time;
  };
  const Case cases[] = {
      {L"new.bin", false, {2020, 6, 1, 12, 0, 0}},
      {L"new without time.bin", false, {}},
      {L"there.bin", true, {2020, 6, 1, 12, 0, 0}},
      {L"there without time.bin", true, {}},
  };
  std::set<ts::WText> written;
  for (const Case& c : cases) {
    SCOPED_TRACE(ts::Utf8FromWide(c.name));
    ts::WText path = InFolder(c.name);
    if (c.there) ASSERT_NO_FATAL_FAILURE(PlaceOlderFile(path));
    FILETIME start;
    GetSystemTimeAsFileTime(&start);
    bool replacedAtRestart = true;
    ASSERT_TRUE(WriteInstalledFile(path, std::span<const uint8_t>(large_), c.time, kLeaveAttributes, c.there,
                                   replacedAtRestart));
    EXPECT_FALSE(replacedAtRestart);
    EXPECT_TRUE(Contents(path) == large_);
    WIN32_FILE_ATTRIBUTE_DATA facts;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &facts));
    if (IsComplete(c.time)) {
      format::TimeStamp found;
      ASSERT_TRUE(ReadFileTime(path, found));
      EXPECT_EQ(found, c.time);
    } else {
      // The file system may keep coarser times than the clock gives.
      ULARGE_INTEGER earliest{{start.dwLowDateTime, start.dwHighDateTime}};
      earliest.QuadPart -= 2 * 10000000ull;
      ULARGE_INTEGER found{{facts.ftLastWriteTime.dwLowDateTime, facts.ftLastWriteTime.dwHighDateTime}};
      EXPECT_GE(found.QuadPart, earliest.QuadPart);
    }
    written.insert(c.name);
    EXPECT_EQ(NamesInFolder(), written);
  }
}

// A file that is there keeps what belongs to it: written again in place,
// its other name (a hard link) shows the new contents.
TEST_F(InstalledFile, FileThatIsThereIsWrittenAgainInPlace) {
  ts::WText path = InFolder(L"shared.bin"), otherName = InFolder(L"other name.bin");
  ASSERT_NO_FATAL_FAILURE(PlaceOlderFile(path));
  ASSERT_TRUE(CreateHardLinkW(otherName.c_str(), path.c_str(), nullptr));
  bool replacedAtRestart = true;
  ASSERT_TRUE(WriteInstalledFile(path, std::span<const uint8_t>(large_), {2020, 6, 1, 12, 0, 0}, kLeaveAttributes,
                                 true, replacedAtRestart));
  EXPECT_TRUE(Contents(otherName) == large_);
  EXPECT_EQ(NamesInFolder(), (std::set<ts::WText>{L"shared.bin", L"other name.bin"}));
}

// The null device takes every byte and gives none back, so each attempt
// writes and each reading back differs. Three mismatches are the file's
// failure: a restart cannot mend contents that do not stay written.
TEST_F(InstalledFile, ContentsThatNeverReadBackAreAFailureNotARestart) {
  size_t before = FailureSummary().size();
  bool replacedAtRestart = true;
  EXPECT_FALSE(WriteInstalledFile(L"NUL", std::span<const uint8_t>(data_), {}, kLeaveAttributes, true, replacedAtRestart));
  EXPECT_FALSE(replacedAtRestart);
  EXPECT_FALSE(g_installer.restartRequired);
  EXPECT_EQ(FailureSummary().substr(before), "Cannot write NUL\r\n" + ts::SystemErrorText(ERROR_CRC) + "\r\n\r\n");
}

// Whether the access list of `path` lets Everyone write or take over the
// file. (Wine shows a file's Unix permissions as entries, Everyone's read
// access among them, so the test looks at what an entry grants.)
bool EveryoneMayWrite(const ts::WText& path) {
  constexpr ACCESS_MASK kWriteOrTakeOver =
      FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL acl = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    ADD_FAILURE() << "no access list for " << ts::Utf8FromWide(path);
    return false;
  }
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  bool found = false;
  for (DWORD i = 0; acl && i < acl->AceCount && !found; ++i) {
    ACE_HEADER* ace = nullptr;
    if (GetAce(acl, i, reinterpret_cast<void**>(&ace)) && ace->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      const auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
      found = EqualSid(const_cast<DWORD*>(&allowed->SidStart), everyone) && (allowed->Mask & kWriteOrTakeOver);
    }
  }
  FreeSid(everyone);
  LocalFree(descriptor);
  return found;
}

// The new contents of a file in use wait beside it for the restart, which
// moves them over the file with their access list: an entry for Everyone
// would let any user replace what the restart installs, and would stay on
// the installed file.
TEST_F(InstalledFile, RestartReplacementLetsEveryoneNotWrite) {
  testing::SetPendingOperations({});
  ts::WText path = InFolder(L"in use.dll");
  ASSERT_NO_FATAL_FAILURE(PlaceOlderFile(path));
  RestartReplacement replacement = ReplaceAtNextRestart(
      path,
      [](const ts::WText& temporary) {
        ts::File file;
        return file.Create(temporary) && file.WriteBlock("new", 3) ? static_cast<DWORD>(ERROR_SUCCESS) : file.LastErrorCode();
      },
      {2020, 6, 1, 12, 0, 0});
  ASSERT_TRUE(replacement.scheduled) << ts::Utf8FromWide(replacement.failure);
  std::vector<ts::WText> pending = testing::PendingOperations();
  testing::SetPendingOperations({});
  ASSERT_EQ(pending.size(), 2u);
  ts::WText temporary = pending[0].substr(pending[0].find(L':') - 1);
  ASSERT_EQ(Contents(temporary), data_);
  EXPECT_FALSE(EveryoneMayWrite(temporary));
}

}  // namespace
}  // namespace palisade
