#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "core/ts_format.h"
#include "core/ts_no_follow.h"
#include "core/ts_system.h"
#include "core/ts_tree.h"
#include "folder_link.h"

namespace {

using ts::ObjectKind;
using ts::Reach;

bool Exists(const ts::WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Write(const ts::WText& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << ts::Utf8FromWide(path);
  CloseHandle(file);
}

TEST(NormalisedPath, SeparatorsAsTheFileSystemReadsThem) {
  const struct {
    const wchar_t* path;
    const wchar_t* normal;
  } cases[] = {
      {L"C:\\Acme Tool\\j/victim3.txt", L"C:\\Acme Tool\\j\\victim3.txt"},
      {L"C:/Acme/j/Temp/*", L"C:\\Acme\\j\\Temp\\*"},
      {L"C:\\Acme\\\\bin\\", L"C:\\Acme\\bin"},
      {L"C:\\Acme\\/\\bin\\\\", L"C:\\Acme\\bin"},
      {L"C:\\", L"C:\\"},
      {L"C:\\\\", L"C:\\"},
      {L"C:/", L"C:\\"},
      {L"C:\\Acme\\a.txt", L"C:\\Acme\\a.txt"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ts::NormalisedPath(c.path), c.normal) << ts::Utf8FromWide(c.path);
}

// A product folder and, beside it, folders of someone else's that links in
// the product folder lead to: "j" to one that holds a file and a folder,
// "k" to an empty one.
class NoFollow : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = ts::WText(temp) + ts::Format(L"no-follow-%lu-%d", GetCurrentProcessId(), ++instance_);
    for (const wchar_t* folder : {L"", L"\\product", L"\\product\\bin", L"\\product\\full", L"\\outside",
                                  L"\\outside\\Temp", L"\\empty outside"}) {
      ASSERT_TRUE(CreateDirectoryW((root_ + folder).c_str(), nullptr)) << ts::Utf8FromWide(folder);
    }
    Write(root_ + L"\\product\\bin\\a.txt");
    Write(root_ + L"\\product\\full\\b.txt");
    Write(root_ + L"\\product\\read only.txt", FILE_ATTRIBUTE_READONLY);
    Write(root_ + L"\\outside\\victim.txt");
    ASSERT_TRUE(MakeFolderLink(Path(L"product\\j"), Path(L"outside")));
    ASSERT_TRUE(MakeFolderLink(Path(L"product\\k"), Path(L"empty outside")));
  }

  ts::WText Path(const ts::WText& relative) const { return root_ + L"\\" + relative; }

  static int instance_;
  ts::WText root_;
};

int NoFollow::instance_ = 0;

struct DeletionCase {
  const wchar_t* path;        // below the fixture's root
  ObjectKind kind;
  Reach reach;
  DWORD error;                // the system's error after it
  const wchar_t* survivor;    // what must still be there; null: the path is gone
};

TEST_F(NoFollow, DeletesThePathsOwnObjectAndNothingALinkLeadsTo) {
  const DeletionCase cases[] = {
      {L"product\\bin\\a.txt", ObjectKind::kFile, Reach::kObject, 0, nullptr},
      {L"product\\read only.txt", ObjectKind::kFile, Reach::kObject, 0, nullptr},
      {L"product\\bin", ObjectKind::kFolder, Reach::kObject, 0, nullptr},
      {L"product\\missing.txt", ObjectKind::kFile, Reach::kNothing, ERROR_FILE_NOT_FOUND, nullptr},
      {L"product\\missing\\a.txt", ObjectKind::kFile, Reach::kNothing, ERROR_PATH_NOT_FOUND, nullptr},
      // A folder is no file, and a file no folder.
      {L"product\\full", ObjectKind::kFile, Reach::kNothing, ERROR_FILE_NOT_FOUND, L"product\\full\\b.txt"},
      {L"product\\full\\b.txt", ObjectKind::kFolder, Reach::kNothing, ERROR_FILE_NOT_FOUND, L"product\\full\\b.txt"},
      {L"product\\full", ObjectKind::kFolder, Reach::kFailure, ERROR_DIR_NOT_EMPTY, L"product\\full\\b.txt"},
      // Through a link on the way, and the link itself.
      {L"product\\j\\victim.txt", ObjectKind::kFile, Reach::kElsewhere, ERROR_CANT_RESOLVE_FILENAME, L"outside\\victim.txt"},
      {L"product\\j\\Temp", ObjectKind::kFolder, Reach::kElsewhere, ERROR_CANT_RESOLVE_FILENAME, L"outside\\Temp"},
      {L"product\\k", ObjectKind::kFolder, Reach::kElsewhere, ERROR_CANT_RESOLVE_FILENAME, L"empty outside"},
      {L"product\\k", ObjectKind::kAny, Reach::kElsewhere, ERROR_CANT_RESOLVE_FILENAME, L"empty outside"},
  };
  for (const DeletionCase& c : cases) {
    SCOPED_TRACE(ts::Utf8FromWide(c.path));
    Reach reach = ts::DeleteThroughHandle(Path(c.path), c.kind);
    DWORD error = GetLastError();
    EXPECT_EQ(reach, c.reach);
    if (c.reach != Reach::kObject) EXPECT_EQ(error, c.error);
    EXPECT_TRUE(c.survivor ? Exists(Path(c.survivor)) : !Exists(Path(c.path)));
  }
}

TEST_F(NoFollow, FileInUseIsAFailureAndStays) {
  HANDLE held = CreateFileW(Path(L"product\\bin\\a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ts::DeleteThroughHandle(Path(L"product\\bin\\a.txt"), ObjectKind::kFile), Reach::kFailure);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
  EXPECT_TRUE(Exists(Path(L"product\\bin\\a.txt")));
}

TEST_F(NoFollow, LeadsElsewhereWhenTheExistingPartGoesThroughALink) {
  const struct {
    const wchar_t* path;
    bool elsewhere;
  } cases[] = {
      {L"product\\bin\\a.txt", false},
      {L"product\\bin", false},
      {L"product\\missing\\deeper\\a.txt", false},
      {L"product\\j", true},
      {L"product\\j\\victim.txt", true},
      {L"product\\j\\Temp", true},
      {L"product\\j\\missing\\a.txt", true},
      {L"product\\k", true},
  };
  for (const auto& c : cases) EXPECT_EQ(ts::LeadsElsewhere(Path(c.path)), c.elsewhere) << ts::Utf8FromWide(c.path);
}

// A folder that was listed and then swapped for a link before its entry
// was opened: the entry, opened relative to the held folder, is the link
// itself or shows that it leads elsewhere, never the folder it points at.
TEST_F(NoFollow, EntrySwappedForALinkAfterTheListingIsNotEntered) {
  ts::HeldObject product;
  ASSERT_EQ(product.Open(Path(L"product"), ObjectKind::kFolder), Reach::kObject);
  std::vector<ts::WText> names;
  ASSERT_TRUE(product.ListEntries(names));
  EXPECT_NE(std::find(names.begin(), names.end(), L"bin"), names.end());
  ASSERT_TRUE(MoveFileW(Path(L"product\\bin").c_str(), Path(L"product\\bin.moved").c_str()));
  ASSERT_TRUE(MakeFolderLink(Path(L"product\\bin"), Path(L"outside")));
  ts::HeldObject entry;
  Reach reach = entry.OpenEntry(product, L"bin");
  EXPECT_TRUE(reach == Reach::kElsewhere || (reach == Reach::kObject && entry.IsLink()));
}

TEST_F(NoFollow, TreeWithLinksInsideKeepsWhatTheyLeadTo) {
  bool deleted = ts::DeleteTree(Path(L"product"));
  EXPECT_TRUE(Exists(Path(L"outside\\victim.txt")));
  EXPECT_TRUE(Exists(Path(L"outside\\Temp")));
  EXPECT_TRUE(Exists(Path(L"empty outside")));
  for (const wchar_t* gone : {L"product\\bin", L"product\\full", L"product\\read only.txt"}) {
    EXPECT_FALSE(Exists(Path(gone))) << ts::Utf8FromWide(gone);
  }
  // Where the system can delete a link as itself, the links go and the
  // tree with them; where it cannot (Wine), they stay, and so the tree.
  EXPECT_EQ(deleted, !Exists(Path(L"product\\j")));
}

TEST_F(NoFollow, TreeThatIsALinkIsNotDeleted) {
  EXPECT_FALSE(ts::DeleteTree(Path(L"product\\j")));
  EXPECT_TRUE(Exists(Path(L"outside\\victim.txt")));
}

// On 64-bit Windows a 32-bit process that names the system folder reaches
// the 32-bit one; that is no link, and a product's file there goes.
TEST(NoFollowInTheSystemFolder, FileIsReachedAsItself) {
  const ts::WText path = ts::SystemFolder() + ts::Format(L"\\no-follow-%lu.txt", GetCurrentProcessId());
  Write(path);
  EXPECT_FALSE(ts::LeadsElsewhere(path));
  EXPECT_EQ(ts::DeleteThroughHandle(path, ObjectKind::kFile), Reach::kObject);
  EXPECT_FALSE(Exists(path));
}

}  // namespace
