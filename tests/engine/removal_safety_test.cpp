#include <gtest/gtest.h>

#include "uninstall/removal_safety.h"

namespace palisade {
namespace {

const std::vector<ts::WText> kSystem = {L"C:\\windows", L"C:\\windows\\system32", L"C:\\Program Files",
                                        L"C:\\Program Files\\Common Files", L"C:\\users", L"C:\\users\\ann\\Desktop"};

struct FolderCase {
  const wchar_t* folder;
  bool protectedFolder;
};

TEST(IsProtectedFolder, RootsSystemFoldersAndTheirParents) {
  const FolderCase cases[] = {
      {L"C:\\", true},
      {L"D:", true},
      {L"c:\\WINDOWS", true},
      {L"C:\\windows\\", true},
      {L"C:\\users\\ann", true},
      {L"C:\\Program Files", true},
      {L"C:\\Program Files\\Acme", false},
      {L"C:\\Program Files\\Acme\\bin", false},
      {L"C:\\windows\\system32\\acme", false},
      {L"C:\\windowsx", false},
      {L"D:\\Tools\\Acme", false},
  };
  for (const FolderCase& c : cases) EXPECT_EQ(IsProtectedFolder(c.folder, kSystem), c.protectedFolder) << c.folder;
}

struct PathCase {
  const wchar_t* path;
  bool plain;
};

TEST(IsPlainLocalPath, DriveAndNamesOnly) {
  const PathCase cases[] = {
      {L"C:\\Program Files\\Acme\\a.txt", true},
      {L"C:\\Program Files\\..\\windows\\system.ini", false},
      {L"C:\\Acme\\.\\a.txt", false},
      {L"\\\\server\\share\\a.txt", false},
      {L"\\\\?\\C:\\windows", false},
      {L"C:Acme", false},
      {L"C:\\Acme\\nul", false},
      {L"C:\\Acme\\a.txt:stream", false},
      {L"relative\\a.txt", false},
  };
  for (const PathCase& c : cases) EXPECT_EQ(IsPlainLocalPath(c.path), c.plain) << c.path;
}

TEST(IsRemovableFile, NothingInTheSystemsOwnFolders) {
  EXPECT_TRUE(IsRemovableFile(L"C:\\Program Files\\Acme\\a.txt", kSystem, L"C:\\windows"));
  EXPECT_TRUE(IsRemovableFile(L"D:\\Tools\\acme.exe", kSystem, L"C:\\windows"));
  EXPECT_FALSE(IsRemovableFile(L"C:\\windows\\win.ini", kSystem, L"C:\\windows"));
  EXPECT_FALSE(IsRemovableFile(L"C:\\WINDOWS\\Fonts\\x.ttf", kSystem, L"C:\\windows"));
  EXPECT_FALSE(IsRemovableFile(L"C:\\Program Files\\desktop.ini", kSystem, L"C:\\windows"));
  EXPECT_FALSE(IsRemovableFile(L"C:\\boot.ini", kSystem, L"C:\\windows"));
  EXPECT_FALSE(IsRemovableFile(L"C:\\Acme\\..\\windows\\win.ini", kSystem, L"C:\\windows"));
}

TEST(IsRemovableRegistryKey, ProductKeysOnly) {
  EXPECT_TRUE(IsRemovableRegistryKey(L"\\HKLM\\Software\\Acme"));
  EXPECT_TRUE(IsRemovableRegistryKey(L"\\HKCU\\Software\\Acme\\Notes"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM\\Software"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM\\SYSTEM\\CurrentControlSet"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM\\sam\\SAM"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKXX\\Software\\Acme"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM"));
}

}  // namespace
}  // namespace palisade
