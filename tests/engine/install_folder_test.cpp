// The installation folder's checks and the access list of the folders made
// for it. Links and other owners cannot be made from inside Wine; the Wine
// tests make them from Linux and run whole installations.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include "actions/install_folder.h"
#include "core/ts_format.h"
#include "core/ts_no_follow.h"
#include "core/ts_security.h"

namespace palisade {
namespace {

TEST(PathSteps, EveryStepFromTheRootDown) {
  struct Case {
    const wchar_t* path;
    std::vector<ts::WText> steps;
  };
  const Case cases[] = {
      {L"C:\\Acme\\App", {L"C:\\", L"C:\\Acme", L"C:\\Acme\\App"}},
      {L"C:\\Acme\\App\\", {L"C:\\", L"C:\\Acme", L"C:\\Acme\\App"}},
      {L"C:\\", {L"C:\\"}},
      {L"\\\\server\\share\\Acme\\App",
       {L"\\\\server\\share\\", L"\\\\server\\share\\Acme", L"\\\\server\\share\\Acme\\App"}},
      {L"\\\\server\\share", {L"\\\\server\\share"}},
  };
  for (const Case& c : cases) EXPECT_EQ(PathSteps(c.path), c.steps) << ts::Utf8FromWide(c.path);
}

TEST(NeedsProgramFolderList, FoldersOnTheWayToTheProductsOutsideTheProgramFolders) {
  const std::vector<ts::WText> product = {L"C:\\Acme\\App", L"C:\\ProgramData\\Acme Shared"};
  const std::vector<ts::WText> program = {L"C:\\Program Files", L"C:\\windows"};
  struct Case {
    const char* name;
    const wchar_t* folder;
    bool needed;
  };
  const Case cases[] = {
      {"below a drive root", L"C:\\Acme", true},
      {"the installation folder", L"C:\\Acme\\App", true},
      {"letter case", L"c:\\ACME", true},
      {"the shared folder in the program data", L"C:\\ProgramData\\Acme Shared", true},
      {"inside the installation folder, which passes its list on", L"C:\\Acme\\App\\bin", false},
      {"a name that only begins like a step", L"C:\\Acm", false},
      {"elsewhere", L"D:\\Data", false},
  };
  for (const Case& c : cases) EXPECT_EQ(NeedsProgramFolderList(c.folder, product, program), c.needed) << c.name;

  const std::vector<ts::WText> inProgramFiles = {L"C:\\Program Files\\Acme\\App", L"C:\\Program Files (x86)\\Acme"};
  EXPECT_FALSE(NeedsProgramFolderList(L"C:\\Program Files\\Acme", inProgramFiles, program));
  EXPECT_TRUE(NeedsProgramFolderList(L"C:\\Program Files (x86)\\Acme", inProgramFiles, program))
      << "a folder whose name only begins like a program folder is not one";
  EXPECT_FALSE(NeedsProgramFolderList(L"C:\\Acme", {L"", L""}, program)) << "no product folder named";
}

struct Entry {
  WELL_KNOWN_SID_TYPE who;
  ACCESS_MASK rights;
};

bool IsSid(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// The list that the folders below a drive root get, read entry by entry:
// nothing from the parent, nothing for anyone but these three, and all of
// it passed on to what is made inside.
TEST(ProgramFolderDescriptor, AdministratorsAndSystemInFullUsersToReadAllInherited) {
  ts::SecurityDescriptor descriptor = ts::ProgramFolderDescriptor();
  ASSERT_TRUE(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &list, &defaulted));
  ASSERT_TRUE(present && list);
  const Entry expected[] = {
      {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
      {WinLocalSystemSid, FILE_ALL_ACCESS},
      {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE},
  };
  ASSERT_EQ(list->AceCount, std::size(expected));
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(list, i, &entry));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
    EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
    EXPECT_TRUE(IsSid(&allowed->SidStart, expected[i].who)) << i;
    EXPECT_EQ(allowed->Mask, expected[i].rights) << i;
  }
}

class InstallFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = ts::WText(temp) + ts::Format(L"install-folder-test-%lu", GetCurrentProcessId());
    CreateDirectoryW(root_.c_str(), nullptr);
  }
  void TearDown() override {
    DeleteFileW((root_ + L"\\file.txt").c_str());
    RemoveDirectoryW(root_.c_str());
  }
  ts::WText root_;
};

// Under Wine every folder of the prefix is the user's who runs Wine, an
// administrator: the owner rule must take that user's folders.
TEST_F(InstallFolder, ThisAdministratorsFolderAndFoldersStillToBeMadeAreTaken) {
  ASSERT_TRUE(ts::RunsAsAdministrator());
  EXPECT_EQ(InstallFolderRefusal(root_, false), L"");
  EXPECT_EQ(InstallFolderRefusal(root_ + L"\\Acme\\App", false), L"");
  ts::FileOwner owner;
  ASSERT_EQ(ts::ReadOwner(root_, owner), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(owner.administrative) << ts::Utf8FromWide(owner.name);
  EXPECT_FALSE(owner.name.empty());
}

TEST_F(InstallFolder, ReachOfTellsAPlainFolderAndAFileFromAMissingStep) {
  HANDLE file = CreateFileW((root_ + L"\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  for (const ts::WText& path : {root_, root_ + L"\\file.txt"}) EXPECT_EQ(ts::ReachOf(path), ts::Reach::kObject);
  EXPECT_EQ(ts::ReachOf(root_ + L"\\missing"), ts::Reach::kNothing);
  EXPECT_EQ(ts::ReachOf(root_ + L"\\missing\\deeper"), ts::Reach::kNothing);
}

// Wine reads full access back without the rights to change the owner and
// the access list; what matters is all the rest.
TEST_F(InstallFolder, EveryoneGetsFullAccessToAFolderThatExists) {
  constexpr ACCESS_MASK kReadWriteRunDelete = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
  EXPECT_EQ(ts::GrantEveryoneFullAccess(root_ + L"\\missing"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(ts::GrantEveryoneFullAccess(root_), static_cast<DWORD>(ERROR_SUCCESS));
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(root_.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                                  nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  bool everyone = false;
  for (DWORD i = 0; list && i < list->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(list, i, &entry)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    everyone |= allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && IsSid(&allowed->SidStart, WinWorldSid) &&
                (allowed->Mask & kReadWriteRunDelete) == kReadWriteRunDelete;
  }
  LocalFree(descriptor);
  EXPECT_TRUE(everyone);
}

}  // namespace
}  // namespace palisade
