// Shared files: the items of the product's `SharedFiles` list, written as
// the file phase hands them on and read as the uninstaller finds them, and
// the system's counts going up and down with them.
#include <gtest/gtest.h>

#include <windows.h>

#include "actions/install_log.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_registry.h"
#include "core/ts_tree.h"
#include "format/product_flags.h"
#include "state/installer_state.h"
#include "uninstall/shared_files.h"

namespace palisade {
namespace {

constexpr wchar_t kCountsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

struct ItemCase {
  const char* name;
  const wchar_t* entry;
  const char* item;
};

TEST(SharedFileList, ItemsQuoteTheStoredPathWithItsMarker) {
  const ItemCase cases[] = {
      {"deleted at the last release", L"C:\\S\\a.dll", "\"C:\\S\\a.dll\""},
      {"kept", L" C:\\S\\a.dll", "\"C:\\S\\a.dll \""},
      {"COM server", L"^C:\\S\\a.dll", "\"C:\\S\\a.dll^\""},
      {"type library", L"\u00A9C:\\S\\a.tlb", "\"C:\\S\\a.tlb\xA9\""},
      {"path beyond ASCII", L"C:\\S\\\u00E9.dll", "\"|C:\\S\\\xC3\xA9.dll\""},
  };
  for (const ItemCase& c : cases) EXPECT_EQ(SharedFileItem(c.entry), c.item) << c.name;
}

// A list as the product's registration holds it, written out by hand.
TEST(SharedFileList, ItemsAreReadWithTheirMarkers) {
  const char list[] =
      "\"C:\\S\\a.dll\""        // deleted at the last release
      ";\"C:\\S\\b.dll \""      // kept
      ";\"C:\\S\\c.dll^\""      // COM server
      ";\"C:\\S\\d.tlb\xA9\""   // type library
      ";\"|C:\\S\\\xC3\xA9.dll\""  // "|" and UTF-8
      ";\"\""                   // empty: passed over
      ";\"C:\\S\\cut";          // no closing quote: the list ends
  std::vector<SharedFile> files = SharedFileItems(list);
  ASSERT_EQ(files.size(), 5u);
  const SharedFile expected[] = {{L"C:\\S\\a.dll", SharedFileMarker::kDelete},
                                 {L"C:\\S\\b.dll", SharedFileMarker::kKeep},
                                 {L"C:\\S\\c.dll", SharedFileMarker::kComServer},
                                 {L"C:\\S\\d.tlb", SharedFileMarker::kTypeLibrary},
                                 {L"C:\\S\\\u00E9.dll", SharedFileMarker::kDelete}};
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].path, expected[i].path) << i;
    EXPECT_EQ(files[i].marker, expected[i].marker) << i;
  }
}

TEST(SharedFileList, AnItemGoesInOnce) {
  EXPECT_EQ(WithSharedFileItem("", "\"C:\\a\""), "\"C:\\a\"");
  EXPECT_EQ(WithSharedFileItem("\"C:\\a\"", "\"C:\\b\""), "\"C:\\a\";\"C:\\b\"");
  EXPECT_EQ(WithSharedFileItem("\"C:\\a\";\"C:\\b\"", "\"C:\\a\""), "\"C:\\a\";\"C:\\b\"");
  EXPECT_EQ(WithSharedFileItem("\"C:\\a \"", "\"C:\\a\""), "\"C:\\a \";\"C:\\a\"") << "another marker, another item";
}

struct ReleaseCase {
  int32_t count;
  bool lastUser;
  bool writeCount;
  bool deleteCount;
  uint32_t written;
};

TEST(SharedFileCount, ReleaseStepsDown) {
  const ReleaseCase cases[] = {{3, false, true, false, 2},
                               {1, true, false, true, 0},
                               {0, true, false, false, 0},
                               {-1, true, false, false, 0},
                               {INT32_MIN, true, false, false, 0}};
  for (const ReleaseCase& c : cases) {
    CountRelease release = ReleaseCount(c.count);
    EXPECT_EQ(release.lastUser, c.lastUser) << c.count;
    EXPECT_EQ(release.writeCount, c.writeCount) << c.count;
    EXPECT_EQ(release.deleteCount, c.deleteCount) << c.count;
    if (c.writeCount) EXPECT_EQ(release.count, c.written) << c.count;
  }
}

class SharedCounts : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = ts::WText(temp) + ts::Format(L"shared-files-%lu", GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    g_installer = InstallerState{};
    g_installer.flags.automatic = true;
    g_installer.script.productFlagsLow = format::product_flags_low::kPreviousInstallation;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kCountsKey);
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kCountsKey);
    ts::DeleteTree(folder_);
  }

  ts::WText Write(const wchar_t* name) {
    ts::WText path = folder_ + L"\\" + name;
    ts::File file;
    EXPECT_TRUE(file.Create(path));
    return path;
  }
  static void SetCount(const ts::WText& path, DWORD count) {
    ts::RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, kCountsKey, KEY_ALL_ACCESS), ERROR_SUCCESS);
    key.SetNumber(path, count);
  }
  // -1 when the file has no count.
  static int64_t Count(const ts::WText& path) {
    ts::RegistryKey key;
    DWORD count = 0;
    if (key.Open(HKEY_LOCAL_MACHINE, kCountsKey, KEY_READ) != ERROR_SUCCESS || !key.ReadNumber(path, count)) return -1;
    return count;
  }
  static bool Exists(const ts::WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  ts::WText folder_;
};

TEST_F(SharedCounts, AProductCountsEachFileOnceHoweverOftenItIsInstalled) {
  ts::WText mine = folder_ + L"\\mine.dll", common = folder_ + L"\\common.dll";
  SetCount(common, 4);
  g_installer.followUps.sharedFiles = {mine, L" " + common};
  CountSharedFiles();
  EXPECT_EQ(Count(mine), 1);
  EXPECT_EQ(Count(common), 5);
  const ts::Text list = "\"" + ts::Utf8FromWide(mine) + "\";\"" + ts::Utf8FromWide(common) + " \"";
  EXPECT_EQ(g_installer.sharedFileList, list);

  // The same product again, its earlier list read from its registration.
  CountSharedFiles();
  EXPECT_EQ(Count(mine), 1);
  EXPECT_EQ(Count(common), 5);
  EXPECT_EQ(g_installer.sharedFileList, list);
}

TEST_F(SharedCounts, APortableInstallationOrOneWithoutUninstallerCountsNothing) {
  ts::WText file = folder_ + L"\\a.dll";
  g_installer.followUps.sharedFiles = {file};
  g_installer.portable = true;
  CountSharedFiles();
  g_installer.portable = false;
  g_installer.script.productFlagsLow = 0;
  CountSharedFiles();
  EXPECT_EQ(Count(file), -1);
  EXPECT_EQ(g_installer.sharedFileList, "");
}

TEST_F(SharedCounts, TheLastUserDeletesTheFileUnlessItIsKept) {
  ts::WText stillUsed = Write(L"used.dll"), unused = Write(L"unused.dll"), kept = Write(L"kept.dll");
  ts::WText uncounted = Write(L"uncounted.dll"), zero = Write(L"zero.dll"), negative = Write(L"negative.dll");
  SetCount(stillUsed, 2);
  SetCount(unused, 1);
  SetCount(kept, 1);
  SetCount(zero, 0);
  SetCount(negative, 0x80000000);
  auto item = [](const ts::WText& path, const char* marker) { return "\"" + ts::Utf8FromWide(path) + marker + "\""; };
  ts::Text list = item(stillUsed, "") + ";" + item(unused, "") + ";" + item(kept, " ") + ";" + item(uncounted, "") +
                  ";" + item(zero, "") + ";" + item(negative, "");

  ReleaseSharedFiles(ts::WideFromAnsi(list), false);

  EXPECT_EQ(Count(stillUsed), 1);
  EXPECT_TRUE(Exists(stillUsed));
  EXPECT_EQ(Count(unused), -1);
  EXPECT_FALSE(Exists(unused));
  EXPECT_EQ(Count(kept), -1);
  EXPECT_TRUE(Exists(kept)) << "a kept file stays when its count goes";
  EXPECT_TRUE(Exists(uncounted)) << "a file whose count is gone is left alone";
  EXPECT_EQ(Count(zero), 0) << "a count of 0 is not written";
  EXPECT_FALSE(Exists(zero));
  EXPECT_EQ(Count(negative), 0x80000000) << "a count below 0 is not written";
  EXPECT_FALSE(Exists(negative));
}

TEST_F(SharedCounts, ACountsKeyThatCannotBeOpenedIsReported) {
  size_t before = FailureSummary().size();
  ReleaseSharedFiles(L"\"C:\\S\\a.dll\"", true);
  ReleaseSharedFiles(L"", false);
  EXPECT_EQ(FailureSummary().size(), before) << "nothing to release: nothing opened";
  ReleaseSharedFiles(L"\"C:\\S\\a.dll\"", false);
  EXPECT_EQ(FailureSummary().substr(before), "REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n");
}

}  // namespace
}  // namespace palisade
