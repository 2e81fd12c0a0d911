#include <gtest/gtest.h>

#include "uninstall/self_delete.h"

namespace palisade {
namespace {

struct BatchCase {
  const wchar_t* subfolder;
  const wchar_t* folderLines;
};

// Folders go with plain "rd", which removes only an empty folder: what
// someone writes into the installation folder after the uninstaller ended
// stays. The batch and its own folder go on one line, read before the file
// is gone.
TEST(SelfDeletionCommands, RetriesThenRemovesTheEmptyFoldersThenItself) {
  const BatchCase cases[] = {
      {L"", L"rd \"C:\\Acme\"\r\n"},
      {L"uninstall", L"rd \"C:\\Acme\\uninstall\"\r\nrd \"C:\\Acme\"\r\n"},
      {L"support\\uninstall\\",
       L"rd \"C:\\Acme\\support\\uninstall\"\r\nrd \"C:\\Acme\\support\"\r\nrd \"C:\\Acme\"\r\n"},
  };
  for (const BatchCase& c : cases) {
    EXPECT_EQ(SelfDeletionCommands(L"C:\\Acme\\u\\Uninstall.exe", L"C:\\Acme", c.subfolder, L"C:\\T\\ps1A\\delunins.bat"),
              ts::WText(L":Repeat\r\ndel \"C:\\Acme\\u\\Uninstall.exe\"\r\nif exist \"C:\\Acme\\u\\Uninstall.exe\" goto Repeat\r\n"
                        L"CHOICE /T 3 /D Y\r\n") +
                  c.folderLines + L"del \"C:\\T\\ps1A\\delunins.bat\" & rd \"C:\\T\\ps1A\"\r\n")
        << c.subfolder;
  }
}

// Every path reaches the batch as it is: "C:\%PUBLIC:~3%" read as a
// variable would name C:\users\Public.
TEST(SelfDeletionCommands, PercentSignsInPathsStayText) {
  ts::WText commands = SelfDeletionCommands(L"C:\\%PUBLIC:~3%\\100%\\Un&install.exe", L"C:\\%PUBLIC:~3%", L"100%",
                                            L"C:\\T\\%x%\\delunins.bat");
  EXPECT_EQ(commands,
            L":Repeat\r\ndel \"C:\\%%PUBLIC:~3%%\\100%%\\Un&install.exe\"\r\n"
            L"if exist \"C:\\%%PUBLIC:~3%%\\100%%\\Un&install.exe\" goto Repeat\r\nCHOICE /T 3 /D Y\r\n"
            L"rd \"C:\\%%PUBLIC:~3%%\\100%%\"\r\nrd \"C:\\%%PUBLIC:~3%%\"\r\n"
            L"del \"C:\\T\\%%x%%\\delunins.bat\" & rd \"C:\\T\\%%x%%\"\r\n");
}

// The program of /r: starts after everything else, in its own folder, as
// the batch's line reads it.
TEST(SelfDeletionCommands, TheRequestedProgramStartsLast) {
  ts::WText commands = SelfDeletionCommands(L"C:\\Acme\\Uninstall.exe", L"C:\\Acme", L"", L"C:\\T\\delunins.bat",
                                            L"\"C:\\Setups\\Acme Setup.exe\" /a");
  EXPECT_NE(commands.find(L"rd \"C:\\Acme\"\r\nstart \"\" /D \"C:\\Setups\" \"C:\\Setups\\Acme Setup.exe\" /a\r\n"
                          L"del \"C:\\T\\delunins.bat\" & rd \"C:\\T\"\r\n"),
            ts::WText::npos)
      << ts::Utf8FromWide(commands);
  ts::WText withoutFolder = SelfDeletionCommands(L"C:\\Acme\\Uninstall.exe", L"C:\\Acme", L"", L"C:\\T\\d.bat",
                                                 L"tool.exe 100% a&b");
  EXPECT_NE(withoutFolder.find(L"\r\nstart \"\" tool.exe 100%% a^&b\r\n"), ts::WText::npos)
      << ts::Utf8FromWide(withoutFolder);
}

}  // namespace
}  // namespace palisade
