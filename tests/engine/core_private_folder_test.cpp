// The folders that hold the run's batches and temporary files: made in one
// step under a name nobody can guess, with an access list that leaves
// everybody else out.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "core/system_facts.h"
#include "core/ts_deferred.h"
#include "core/ts_file.h"
#include "core/ts_private_folder.h"

namespace {

bool Exists(const ts::WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(PrivateFolder, IsNewUnguessableAndOnlyAdministratorsAndSystemGetIn) {
  ts::PrivateFolder first, second;
  ASSERT_EQ(first.Create(), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(second.Create(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_NE(first.Path(), second.Path());
  for (const ts::WText& path : {first.Path(), second.Path()}) {
    EXPECT_EQ(path.rfind(ts::TempFolder() + L"\\ps", 0), 0u) << ts::Utf8FromWide(path);
    EXPECT_EQ(path.size(), ts::TempFolder().size() + 3 + 16) << ts::Utf8FromWide(path);
    EXPECT_TRUE(Exists(path));
  }
  // The engine's tests run with Wine's administrator's rights. (Wine 8 keeps
  // no access list given to a new folder, and shows one made from the
  // folder's Unix permissions instead, so the list is checked as it is
  // handed to the system.)
  EXPECT_EQ(ts::PrivateFolderAccess(), L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)");
}

TEST(PrivateFolder, GoesWhenEmptyStaysWhenReleased) {
  ts::WText removed, kept, released;
  {
    ts::PrivateFolder empty, holding, handedOn;
    ASSERT_EQ(empty.Create(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(holding.Create(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(handedOn.Create(), static_cast<DWORD>(ERROR_SUCCESS));
    removed = empty.Path();
    kept = holding.Path();
    released = handedOn.Path();
    ts::File file;
    ASSERT_TRUE(file.CreateNew(holding.FileIn(L"SETUPBAT.BAT")));
    handedOn.Release();
    EXPECT_TRUE(handedOn.Path().empty());
  }
  EXPECT_FALSE(Exists(removed));
  EXPECT_TRUE(Exists(kept + L"\\SETUPBAT.BAT")) << "a folder that still holds a file is not removed";
  EXPECT_TRUE(Exists(released));
  DeleteFileW((kept + L"\\SETUPBAT.BAT").c_str());
  RemoveDirectoryW(kept.c_str());
  RemoveDirectoryW(released.c_str());
}

// A temporary file is made in one step under a fresh name; a folder that is
// not there is a failure, never a reason to look elsewhere.
TEST(MakeTemporaryFileName, CreatesAFreshFileOrFails) {
  ts::PrivateFolder folder;
  ASSERT_EQ(folder.Create(), static_cast<DWORD>(ERROR_SUCCESS));
  std::set<ts::WText> names;
  for (int i = 0; i < 20; ++i) names.insert(ts::MakeTemporaryFileName(folder.Path(), L".reg"));
  EXPECT_EQ(names.size(), 20u);
  for (const ts::WText& name : names) {
    EXPECT_EQ(name.rfind(folder.Path() + L"\\TST", 0), 0u) << ts::Utf8FromWide(name);
    EXPECT_EQ(name.size(), folder.Path().size() + 4 + 8 + 4) << ts::Utf8FromWide(name);
    EXPECT_TRUE(Exists(name));
    DeleteFileW(name.c_str());
  }
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(ts::MakeTemporaryFileName(folder.Path() + L"\\missing"), L"");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(ts::MakeTemporaryFileName(L""), L"") << "no folder is no folder, not the current drive's root";
}

}  // namespace
