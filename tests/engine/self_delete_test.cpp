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

// The program of /r: starts after everything else, in its own folder, as
// the batch's line reads it.
TEST(SelfDeletionCommands, TheRequestedProgramStartsLast) {
  ts::WText commands = SelfDeletionCommands(L"C:\\Acme\\Uninstall.exe", L"C:\\Acme", L"", L"C:\\T\\delunins.bat", false,
                                            L"\"C:\\Setups\\Acme Setup.exe\" /a");
  EXPECT_NE(commands.find(L"rd \"C:\\Acme\"\r\nstart \"\" /D \"C:\\Setups\" \"C:\\Setups\\Acme Setup.exe\" /a\r\n"
                          L"del \"C:\\T\\delunins.bat\"\r\n"),
            ts::WText::npos)
      << ts::Utf8FromWide(commands);
  ts::WText withoutFolder = SelfDeletionCommands(L"C:\\Acme\\Uninstall.exe", L"C:\\Acme", L"", L"C:\\T\\d.bat", false,
                                                 L"notepad.exe");
  EXPECT_NE(withoutFolder.find(L"\r\nstart \"\" notepad.exe\r\n"), ts::WText::npos) << ts::Utf8FromWide(withoutFolder);
}

struct BatchLineCase {
  const wchar_t* commandLine;
  const wchar_t* line;
};

TEST(BatchCommandLine, PercentSignsAndOperatorsStayText) {
  const BatchLineCase cases[] = {
      {L"\"C:\\A\\setup.exe\" /a", L"\"C:\\A\\setup.exe\" /a"},
      {L"tool.exe 100% done", L"tool.exe 100%% done"},
      {L"tool.exe a&b|c<d>e^f", L"tool.exe a^&b^|c^<d^>e^^f"},
      {L"\"C:\\R&D\\tool.exe\" \"x%y\"", L"\"C:\\R&D\\tool.exe\" \"x%%y\""},
  };
  for (const BatchLineCase& c : cases) EXPECT_EQ(BatchCommandLine(c.commandLine), c.line) << ts::Utf8FromWide(c.commandLine);
}

}  // namespace
}  // namespace palisade
