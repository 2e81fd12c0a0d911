#include <gtest/gtest.h>

#include "uninstall/self_delete.h"

namespace palisade {
namespace {

struct BatchCase {
  const wchar_t* subfolder;
  bool wholeInstallFolder;
  const wchar_t* folderLines;
};

TEST(SelfDeletionCommands, RetriesThenRemovesTheFoldersThenItself) {
  const BatchCase cases[] = {
      {L"", false, L"rd \"C:\\Acme\"\r\n"},
      {L"uninstall", false, L"rd \"C:\\Acme\\uninstall\"\r\nrd \"C:\\Acme\"\r\n"},
      {L"support\\uninstall\\", false,
       L"rd \"C:\\Acme\\support\\uninstall\"\r\nrd \"C:\\Acme\\support\"\r\nrd \"C:\\Acme\"\r\n"},
      // A product that deletes its folder whole: the folder goes with
      // whatever the user left in it.
      {L"uninstall", true, L"rd \"C:\\Acme\\uninstall\"\r\nrd /s /q \"C:\\Acme\"\r\n"},
  };
  for (const BatchCase& c : cases) {
    EXPECT_EQ(SelfDeletionCommands(L"C:\\Acme\\u\\Uninstall.exe", L"C:\\Acme", c.subfolder, L"C:\\T\\delunins.bat",
                                   c.wholeInstallFolder),
              ts::WText(L":Repeat\r\ndel \"C:\\Acme\\u\\Uninstall.exe\"\r\nif exist \"C:\\Acme\\u\\Uninstall.exe\" goto Repeat\r\n"
                        L"CHOICE /T 3 /D Y\r\n") +
                  c.folderLines + L"del \"C:\\T\\delunins.bat\"\r\n")
        << c.subfolder;
  }
}

}  // namespace
}  // namespace palisade
