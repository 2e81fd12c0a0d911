// The file operations left to the next restart, against the system's own
// pending list and a "wininit.ini" of the test's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "core/ts_deferred.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_tree.h"
#include "pending_operations.h"

namespace {

bool Exists(const ts::WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

using palisade::testing::PendingOperations;
using palisade::testing::SetPendingOperations;

ts::Text ReadAll(const ts::WText& path) {
  ts::File file;
  ts::Text text;
  if (file.OpenForReading(path)) file.ReadWhole(text);
  return text;
}

class DeferredFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = ts::WText(temp) + ts::Format(L"deferred-test-%lu", GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    SetPendingOperations({});
  }
  void TearDown() override {
    SetPendingOperations({});
    ts::DeleteTree(folder_);
  }

  ts::WText Write(const wchar_t* name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    ts::WText path = folder_ + L"\\" + name;
    ts::File file;
    EXPECT_TRUE(file.Create(path));
    file.WriteBlock("x", 1);
    file.Close();
    SetFileAttributesW(path.c_str(), attributes);
    return path;
  }

  ts::WText folder_;
};

struct WininitCase {
  const char* name;
  const char* before;
  const char* after;
};

TEST(WininitLine, GoesRightBelowTheSectionHeaderOrIntoANewSectionAtTheEnd) {
  const WininitCase cases[] = {
      {"section with lines", "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n",
       "[boot]\r\nx=1\r\n[rename]\r\nC:\\APP.DLL=C:\\TST1.TMP\r\nNUL=C:\\OLD.TXT\r\n"},
      {"no section", "[boot]\r\nx=1\r\n", "[boot]\r\nx=1\r\n[rename]\r\nC:\\APP.DLL=C:\\TST1.TMP"},
      {"no line end at the end", "[boot]", "[boot]\r\n[rename]\r\nC:\\APP.DLL=C:\\TST1.TMP"},
      {"empty file", "", "[rename]\r\nC:\\APP.DLL=C:\\TST1.TMP"},
  };
  for (const WininitCase& c : cases) {
    EXPECT_EQ(ts::WithWininitLine(c.before, "C:\\APP.DLL", "C:\\TST1.TMP"), c.after) << c.name;
  }
}

TEST_F(DeferredFiles, WininitGetsShortPathsAndNulForADeletion) {
  ts::WText ini = folder_ + L"\\wininit.ini";
  ts::WText file = Write(L"a long file name.text");
  wchar_t shortName[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(file.c_str(), shortName, MAX_PATH), 0u);
  ASSERT_TRUE(ts::AddWininitLine(ini, L"", file));
  EXPECT_EQ(ReadAll(ini), "[rename]\r\nNUL=" + ts::AnsiFromWide(shortName));
  EXPECT_FALSE(ts::AddWininitLine(folder_ + L"\\missing\\wininit.ini", L"", file));
}

TEST_F(DeferredFiles, TemporaryNamesAreCreatedInTheFolderWithTheirExtension) {
  ts::WText plain = ts::MakeTemporaryFileName(folder_);
  ts::WText merge = ts::MakeTemporaryFileName(folder_, L".reg");
  for (const ts::WText& name : {plain, merge}) {
    EXPECT_EQ(name.rfind(folder_ + L"\\TST", 0), 0u) << ts::Utf8FromWide(name);
    EXPECT_TRUE(Exists(name)) << ts::Utf8FromWide(name);
  }
  EXPECT_EQ(plain.substr(plain.size() - 4), L".tmp");
  EXPECT_EQ(merge.substr(merge.size() - 4), L".reg");
  EXPECT_NE(plain, merge);
  EXPECT_EQ(ts::MakeTemporaryFileName(folder_ + L"\\missing"), L"");
}

struct DeleteCase {
  const char* name;
  DWORD attributes;  // INVALID_FILE_ATTRIBUTES: no file
  uint32_t flags;
  bool deleted;
  bool stays;
};

TEST_F(DeferredFiles, DeletionFollowsItsFlags) {
  namespace del = ts::delete_file;
  const DeleteCase cases[] = {
      {"plain file", FILE_ATTRIBUTE_NORMAL, 0, true, false},
      {"read-only file", FILE_ATTRIBUTE_READONLY, 0, true, false},
      {"read-only file kept as it is", FILE_ATTRIBUTE_READONLY, del::kKeepAttributes, false, true},
      {"missing file", INVALID_FILE_ATTRIBUTES, 0, false, false},
      {"missing file that counts as deleted", INVALID_FILE_ATTRIBUTES, del::kMissingIsDeleted, true, false},
      {"missing file at restart if in use", INVALID_FILE_ATTRIBUTES, del::kAtRestartIfInUse, false, false},
  };
  for (const DeleteCase& c : cases) {
    ts::WText path = folder_ + L"\\victim.txt";
    if (c.attributes != INVALID_FILE_ATTRIBUTES) Write(L"victim.txt", c.attributes);
    EXPECT_EQ(ts::DeleteFileWithOptions(path, c.flags), c.deleted) << c.name;
    EXPECT_EQ(Exists(path), c.stays) << c.name;
    EXPECT_TRUE(PendingOperations().empty()) << c.name;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
  EXPECT_FALSE(ts::DeleteFileWithOptions(L"", 0));
}

TEST_F(DeferredFiles, AFileInUseIsLeftToTheRestartWhenTheFlagsSaySo) {
  ts::WText path = Write(L"in use.dll");
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ts::DeleteFileWithOptions(path, 0));
  EXPECT_TRUE(PendingOperations().empty());
  EXPECT_TRUE(ts::DeleteFileWithOptions(path, ts::delete_file::kAtRestartIfInUse));
  CloseHandle(held);
  EXPECT_TRUE(Exists(path));
  EXPECT_EQ(PendingOperations(), (std::vector<ts::WText>{L"\\??\\" + path, L""}));
}

TEST_F(DeferredFiles, RestartOperationsGoIntoTheSystemsListInTheirOrder) {
  ts::WText target = Write(L"app.dll"), waiting = Write(L"TST1234.tmp"), old = Write(L"old.dll");
  ASSERT_TRUE(ts::ReplaceAtRestart(waiting, target));
  ASSERT_TRUE(ts::DeleteFileWithOptions(old, ts::delete_file::kAtRestart));
  EXPECT_EQ(PendingOperations(), (std::vector<ts::WText>{L"\\??\\" + waiting, L"!\\??\\" + target, L"\\??\\" + old, L""}));
  EXPECT_TRUE(Exists(old));
}

}  // namespace
