#include <gtest/gtest.h>

#include "core/ts_system.h"
#include "uninstall/removal_safety.h"

namespace palisade {
namespace {

const std::vector<ts::WText> kMachine = {L"C:\\windows", L"C:\\windows\\system32", L"C:\\Program Files",
                                         L"C:\\Program Files\\Common Files", L"C:\\users", L"C:\\users\\ann"};
// The machine's folders and two of the user's special folders.
const std::vector<ts::WText> kProtected = [] {
  std::vector<ts::WText> folders = kMachine;
  folders.push_back(L"C:\\users\\ann\\Desktop");
  folders.push_back(L"C:\\users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
  return folders;
}();

// A path and what the function under test says of it.
struct PathCase {
  const wchar_t* path;
  bool expected;
};

TEST(IsProtectedFolder, RootsProtectedFoldersAndTheirParents) {
  const PathCase cases[] = {
      {L"C:\\", true},
      {L"D:", true},
      {L"c:\\WINDOWS", true},
      {L"C:\\windows\\", true},
      {L"C:\\users\\ann", true},
      {L"C:\\Program Files", true},
      {L"C:\\users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\STARTUP", true},
      {L"C:\\users\\ann\\AppData\\Roaming\\Microsoft", true},
      {L"C:\\users\\ann\\Desktop\\", true},
      {L"C:\\users\\ann\\Desktop\\Acme", false},
      {L"C:\\Program Files\\Acme", false},
      {L"C:\\Program Files\\Acme\\bin", false},
      {L"C:\\windows\\system32\\acme", false},
      {L"C:\\windowsx", false},
      {L"D:\\Tools\\Acme", false},
  };
  for (const PathCase& c : cases) EXPECT_EQ(IsProtectedFolder(c.path, kProtected), c.expected) << c.path;
}

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
      {L"C:\\", true},
      // Only the form that is judged is used: no other separator, none
      // doubled, none closing.
      {L"C:\\Acme Tool\\j/victim3.txt", false},
      {L"C:/Acme/a.txt", false},
      {L"C:\\Acme\\\\a.txt", false},
      {L"C:\\Acme\\bin\\", false},
  };
  for (const PathCase& c : cases) EXPECT_EQ(IsPlainLocalPath(c.path), c.expected) << c.path;
}

TEST(IsRemovableFile, ProductFilesAndShortcutsButNothingOfTheSystems) {
  const PathCase cases[] = {
      {L"C:\\Program Files\\Acme\\a.txt", true},
      {L"D:\\Tools\\acme.exe", true},
      // Shortcuts and per-user files lie directly in the user's special folders.
      {L"C:\\users\\ann\\Desktop\\Acme.lnk", true},
      {L"C:\\users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\Acme.lnk", true},
      {L"C:\\users\\ann\\AppData\\Roaming\\acme.ini", true},
      {L"C:\\windows\\win.ini", false},
      {L"C:\\WINDOWS\\Fonts\\x.ttf", false},
      {L"C:\\windows\\system32\\acme\\acme.dll", false},
      {L"C:\\Program Files\\desktop.ini", false},
      {L"C:\\users\\ann\\ntuser.dat", false},
      {L"C:\\boot.ini", false},
      {L"C:\\Acme\\..\\windows\\win.ini", false},
      {L"\\\\server\\share\\acme.exe", false},
  };
  for (const PathCase& c : cases) EXPECT_EQ(IsRemovableFile(c.path, kMachine, L"C:\\windows"), c.expected) << c.path;
}

// A name that the file system reads as another: a step's closing dot,
// which Win32 drops, and the short name of a step. These need the real
// folders of the machine the tests run on.
struct ReadAsCase {
  ts::WText path;
  bool removableFile;
  bool protectedFolder;
};

TEST(RemovalSafety, NamesTheFileSystemReadsAsASystemFolderAreJudgedAsThatFolder) {
  const ts::WText programFiles = ts::ShortPath(L"C:\\Program Files");
  ASSERT_NE(programFiles, L"C:\\Program Files") << "the system gives no short name";
  const ReadAsCase cases[] = {
      {L"C:\\windows.\\win.ini", false, false},
      {L"C:\\windows.", false, true},
      {L"C:\\windows.\\system32.", false, true},
      {L"C:\\Program Files.\\desktop.ini", false, false},
      {L"C:\\Program Files.", false, true},
      {programFiles + L"\\desktop.ini", false, false},
      {programFiles, false, true},
      {programFiles + L"\\Common Files", false, true},
      // A product's own file stays removable under either name.
      {programFiles + L"\\Acme\\a.txt", true, false},
  };
  for (const ReadAsCase& c : cases) {
    EXPECT_EQ(IsRemovableFile(c.path, kMachine, L"C:\\windows"), c.removableFile) << ts::Utf8FromWide(c.path);
    EXPECT_EQ(IsProtectedFolder(c.path, kProtected), c.protectedFolder) << ts::Utf8FromWide(c.path);
  }
}

struct RootShortcutCase {
  const wchar_t* path;
  bool portable;
  bool removable;
};

TEST(IsPortableRootShortcut, OnlyALinkInThePortableDrivesRoot) {
  const RootShortcutCase cases[] = {
      {L"E:\\Acme Notes.lnk", true, true},
      {L"e:\\Acme Notes.LNK", true, true},
      {L"E:\\Acme Notes.lnk", false, false},
      {L"C:\\Acme Notes.lnk", true, false},
      {L"E:\\boot.ini", true, false},
      {L"E:\\.lnk", true, false},
      {L"E:\\Tools\\Acme.lnk", true, false},
      {L"E:\\..\\Acme.lnk", true, false},
      {L"E:Acme.lnk", true, false},
  };
  for (const RootShortcutCase& c : cases) {
    EXPECT_EQ(IsPortableRootShortcut(c.path, L"E:\\Acme", c.portable), c.removable) << ts::Utf8FromWide(c.path);
  }
}

}  // namespace
}  // namespace palisade
