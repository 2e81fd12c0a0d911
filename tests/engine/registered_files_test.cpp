#include <gtest/gtest.h>

#include <windows.h>

#include "core/ts_file.h"
#include "core/ts_format.h"
#include "record/record_hashes.h"
#include "uninstall/registered_files.h"

namespace palisade {
namespace {

// FIPS 180-4's example message "abc".
constexpr wchar_t kAbcHash[] = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

class RegisteredFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    install_ = ts::WText(temp) + ts::Format(L"Registered Files %lu", GetCurrentProcessId());
    uninstallFolder_ = install_ + L"\\uninstall";
    uninstaller_ = uninstallFolder_ + L"\\Uninstall Product.exe";
    copy_ = install_ + L"\\Uninstall Product.exe";
    CreateDirectoryW(install_.c_str(), nullptr);
    CreateDirectoryW(uninstallFolder_.c_str(), nullptr);
    for (const ts::WText& path : {uninstaller_, copy_}) Write(path, "abc");
  }
  void TearDown() override {
    DeleteFileW(uninstaller_.c_str());
    DeleteFileW(copy_.c_str());
    RemoveDirectoryW(uninstallFolder_.c_str());
    RemoveDirectoryW(install_.c_str());
  }
  static void Write(const ts::WText& path, const char* bytes) {
    ts::File file;
    ASSERT_TRUE(file.Create(path) && file.WriteBlock(bytes, static_cast<int>(strlen(bytes)))) << file.LastError();
  }
  static ts::WText Command(const ts::WText& program) { return L"\"" + program + L"\" /u:\"Product\""; }

  ts::WText install_, uninstallFolder_, uninstaller_, copy_;
};

TEST_F(RegisteredFilesTest, FileHashIsTheLowercaseHexSha256OfItsBytes) {
  EXPECT_EQ(HashOfFile(uninstaller_), kAbcHash);
  EXPECT_EQ(HashOfBytes("abc"), kAbcHash);
  EXPECT_EQ(HashOfFile(install_ + L"\\missing.exe"), L"") << "a missing file matches no stored hash";
}

// The key names the uninstaller that may run and the folder that holds it;
// however the path is spelled, the opened objects decide.
TEST_F(RegisteredFilesTest, OnlyTheRegisteredUninstallerInTheUninstallFolderRuns) {
  wchar_t shortUninstaller[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(uninstaller_.c_str(), shortUninstaller, MAX_PATH), 0u);
  struct RunCase {
    const char* name;
    ts::WText command;
    ts::WText running;
    ts::WText folder;
    bool runs;
  };
  const RunCase cases[] = {
      {"as registered", Command(uninstaller_), uninstaller_, uninstallFolder_, true},
      {"registered in short names", Command(shortUninstaller), uninstaller_, uninstallFolder_, true},
      {"registered in other letter case", Command(install_ + L"\\UNINSTALL\\uninstall product.EXE"), uninstaller_,
       uninstallFolder_ + L"\\", true},
      {"a copy with the same bytes runs", Command(uninstaller_), copy_, uninstallFolder_, false},
      {"the key names a program outside the uninstall folder", Command(copy_), copy_, uninstallFolder_, false},
      {"the key names another uninstall folder", Command(uninstaller_), uninstaller_, install_, false},
      {"no command", L"", uninstaller_, uninstallFolder_, false},
      {"a program without a folder", L"\"Uninstall Product.exe\" /u:\"Product\"", uninstaller_, uninstallFolder_, false},
  };
  for (const RunCase& c : cases) {
    RegisteredFiles registered;
    registered.uninstallerCommand = c.command;
    EXPECT_EQ(RunsAsRegisteredUninstaller(registered, c.running, c.folder), c.runs) << c.name;
  }
}

TEST(RegisteredHashes, BothMustMatchUnlessTheKeyPredatesThem) {
  struct HashCase {
    const char* name;
    const wchar_t* storedRecord;
    const wchar_t* storedUninstaller;
    const wchar_t* record;
    const wchar_t* uninstaller;
    bool matches;
  };
  const HashCase cases[] = {
      {"both match", L"aa11", L"bb22", L"aa11", L"bb22", true},
      {"a key from before the hashes", L"", L"", L"aa11", L"bb22", true},
      {"record changed", L"aa11", L"bb22", L"aa12", L"bb22", false},
      {"uninstaller changed", L"aa11", L"bb22", L"aa11", L"bb23", false},
      {"record hash without the uninstaller's", L"aa11", L"", L"aa11", L"bb22", false},
      {"uninstaller hash without the record's", L"", L"bb22", L"aa11", L"bb22", false},
      {"the running uninstaller could not be read", L"aa11", L"", L"aa11", L"", false},
  };
  for (const HashCase& c : cases) {
    RegisteredFiles registered;
    registered.recordHash = c.storedRecord;
    registered.uninstallerHash = c.storedUninstaller;
    EXPECT_EQ(MatchesRegisteredHashes(registered, c.record, c.uninstaller), c.matches) << c.name;
  }
}

}  // namespace
}  // namespace palisade
