#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "core/system_facts.h"
#include "core/ts_file.h"
#include "core/ts_system.h"

namespace {

struct ProgramCase {
  const wchar_t* commandLine;
  const wchar_t* folder;
};

TEST(ProgramFolderOf, FolderOfTheFirstToken) {
  const ProgramCase cases[] = {
      {L"C:\\Tools\\viewer.exe /open", L"C:\\Tools"},
      {L"\"C:\\Program Files\\Acme\\notes.exe\" \"C:\\My Files\\a.txt\"", L"C:\\Program Files\\Acme"},
      {L"  \"C:\\Program Files\\Acme\\notes.exe\"", L"C:\\Program Files\\Acme"},
      {L"C:\\setup.exe", L"C:\\"},
      {L"\"C:\\Program Files\\Acme\\unclosed.exe", L"C:\\Program Files\\Acme"},
      {L"notepad.exe C:\\Docs\\readme.txt", L""},
      {L"", L""},
  };
  for (const ProgramCase& c : cases) EXPECT_EQ(ts::ProgramFolderOf(c.commandLine), c.folder) << c.commandLine;
}

struct SplitCase {
  const wchar_t* commandLine;
  const wchar_t* program;
  const wchar_t* arguments;
};

TEST(SplitCommandLine, ProgramAndTheRest) {
  const SplitCase cases[] = {
      {L"C:\\Tools\\viewer.exe /open  a.txt ", L"C:\\Tools\\viewer.exe", L"/open  a.txt"},
      {L" \"C:\\Program Files\\Acme\\notes.exe\" \"C:\\My Files\\a.txt\"", L"C:\\Program Files\\Acme\\notes.exe",
       L"\"C:\\My Files\\a.txt\""},
      {L"\"C:\\Program Files\\Acme\\notes.exe\"", L"C:\\Program Files\\Acme\\notes.exe", L""},
      {L"\"C:\\Program Files\\unclosed.exe --x", L"C:\\Program Files\\unclosed.exe --x", L""},
      {L"notes.exe\t-v", L"notes.exe", L"-v"},
      {L"   ", L"", L""},
  };
  for (const SplitCase& c : cases) {
    ts::WText program = L"stale", arguments = L"stale";
    ts::SplitCommandLine(c.commandLine, program, arguments);
    EXPECT_EQ(program, c.program) << ts::Utf8FromWide(c.commandLine);
    EXPECT_EQ(arguments, c.arguments) << ts::Utf8FromWide(c.commandLine);
  }
}

// The machine field of a PE file: 0x14C for 32-bit, 0x8664 for 64-bit x86.
WORD MachineOf(const ts::WText& path) {
  ts::File file;
  ts::Text bytes;
  if (!file.OpenForReading(path) || !file.ReadWhole(bytes) || bytes.size() < 0x40) return 0;
  uint32_t header = 0;
  std::memcpy(&header, bytes.data() + 0x3C, sizeof header);
  WORD machine = 0;
  if (header + 6 <= bytes.size()) std::memcpy(&machine, bytes.data() + header + 4, sizeof machine);
  return machine;
}

TEST(FileSystemRedirection, TurnedOffAndOnAgain) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (!wow64) GTEST_SKIP() << "only a 32-bit process on a 64-bit system has a redirection to turn off";
  ts::WText kernel = ts::SystemFolder() + L"\\kernel32.dll";
  ASSERT_TRUE(ts::DisableFileSystemRedirection());
  EXPECT_EQ(MachineOf(kernel), IMAGE_FILE_MACHINE_AMD64);
  ts::RestoreFileSystemRedirection();
  EXPECT_EQ(MachineOf(kernel), IMAGE_FILE_MACHINE_I386);
}

// %ComSpec% comes from the environment, which a user may have set for the
// account that the installer runs under: the interpreter is the system's.
TEST(CommandInterpreter, IsTheSystemsWhateverComSpecSays) {
  wchar_t saved[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"ComSpec", saved, MAX_PATH);
  SetEnvironmentVariableW(L"ComSpec", L"C:\\Users\\Public\\cmd.exe");
  ts::WText interpreter = ts::CommandInterpreter();
  ts::WText commandLine = ts::InterpreterCommandLine(L"x.bat");
  SetEnvironmentVariableW(L"ComSpec", length ? saved : nullptr);
  EXPECT_EQ(interpreter, ts::SystemFolder() + L"\\cmd.exe");
  EXPECT_EQ(commandLine, L"\"" + ts::SystemFolder() + L"\\cmd.exe\" /v:off /c x.bat");
}

}  // namespace
