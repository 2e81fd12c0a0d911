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
// stays.
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
                  c.folderLines + L"del \"C:\\T\\ps1A\\delunins.bat\"\r\n")
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
            L"del \"C:\\T\\%%x%%\\delunins.bat\"\r\n");
}

// The program of /r: starts after everything else, in its own folder, as
// the batch's line reads it.
TEST(SelfDeletionCommands, TheRequestedProgramStartsLast) {
  ts::WText commands = SelfDeletionCommands(L"C:\\Acme\\Uninstall.exe", L"C:\\Acme", L"", L"C:\\T\\delunins.bat",
                                            L"\"C:\\Setups\\Acme Setup.exe\" /a");
  EXPECT_NE(commands.find(L"rd \"C:\\Acme\"\r\nstart \"\" /D \"C:\\Setups\" \"C:\\Setups\\Acme Setup.exe\" /a\r\n"
                          L"del \"C:\\T\\delunins.bat\"\r\n"),
            ts::WText::npos)
      << ts::Utf8FromWide(commands);
  ts::WText withoutFolder = SelfDeletionCommands(L"C:\\Acme\\Uninstall.exe", L"C:\\Acme", L"", L"C:\\T\\d.bat",
                                                 L"tool.exe 100% a&b");
  EXPECT_NE(withoutFolder.find(L"\r\nstart \"\" tool.exe 100%% a^&b\r\n"), ts::WText::npos)
      << ts::Utf8FromWide(withoutFolder);
}

// The batch's folder goes after the batch, from the interpreter's command
// line: inside the batch its own file is still open under Wine.
TEST(SelfDeletionArguments, TheFolderGoesOnceTheBatchHasEnded) {
  EXPECT_EQ(SelfDeletionArguments(L"C:\\T\\PS1A2B~1\\delunins.bat", L"C:\\T\\PS1A2B~1"),
            L"\"\"C:\\T\\PS1A2B~1\\delunins.bat\" & rd \"C:\\T\\PS1A2B~1\"\"");
}

}  // namespace
}  // namespace palisade
