#include <gtest/gtest.h>

#include <windows.h>

#include "core/ts_format.h"
#include "core/ts_tree.h"

namespace {

bool Exists(const ts::WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = ts::WText(temp) + ts::Format(L"tree-test-%lu", GetCurrentProcessId());
    for (const wchar_t* folder : {L"", L"\\bin", L"\\bin\\deep", L"\\uninstall", L"\\empty"}) {
      CreateDirectoryW((root_ + folder).c_str(), nullptr);
    }
    for (const wchar_t* file : {L"\\app.txt", L"\\bin\\deep\\tool.bin", L"\\uninstall\\Uninstall Demo.exe",
                                L"\\uninstall\\Uninstall.DAT", L"\\uninstall\\Install.log"}) {
      Write(root_ + file);
    }
    SetFileAttributesW((root_ + L"\\app.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  }
  void TearDown() override { ts::DeleteTree(root_); }

  static void Write(const ts::WText& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }

  ts::WText root_;
};

TEST_F(Tree, DeletesEverythingReadOnlyIncluded) {
  EXPECT_TRUE(ts::DeleteTree(root_));
  EXPECT_FALSE(Exists(root_));
}

TEST_F(Tree, KeepsTheNamedFilesAndTheFoldersThatHoldThem) {
  // The running uninstaller as a caller may name it: other letter case.
  EXPECT_TRUE(ts::DeleteTree(root_, {root_ + L"\\UNINSTALL\\uninstall demo.EXE", root_ + L"\\missing.txt"}));
  EXPECT_TRUE(Exists(root_ + L"\\uninstall\\Uninstall Demo.exe"));
  for (const wchar_t* gone : {L"\\app.txt", L"\\bin", L"\\empty", L"\\uninstall\\Uninstall.DAT", L"\\uninstall\\Install.log"}) {
    EXPECT_FALSE(Exists(root_ + gone)) << ts::Utf8FromWide(gone);
  }
}

TEST_F(Tree, KeptFileNamedByItsShortNameIsKept) {
  wchar_t shortName[MAX_PATH];
  ASSERT_NE(GetShortPathNameW((root_ + L"\\uninstall\\Uninstall Demo.exe").c_str(), shortName, MAX_PATH), 0u);
  EXPECT_TRUE(ts::DeleteTree(root_, {shortName}));
  EXPECT_TRUE(Exists(root_ + L"\\uninstall\\Uninstall Demo.exe"));
  EXPECT_FALSE(Exists(root_ + L"\\uninstall\\Install.log"));
}

TEST_F(Tree, FileInUseIsAFailureAndStays) {
  HANDLE held = CreateFileW((root_ + L"\\bin\\deep\\tool.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ts::DeleteTree(root_, {root_ + L"\\uninstall\\Uninstall Demo.exe"}));
  CloseHandle(held);
  EXPECT_TRUE(Exists(root_ + L"\\bin\\deep\\tool.bin"));
  EXPECT_FALSE(Exists(root_ + L"\\app.txt"));
}

}  // namespace
