#include <gtest/gtest.h>

#include <windows.h>

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

}  // namespace
}  // namespace palisade
