#include <gtest/gtest.h>

#include <set>

#include "actions/batches.h"
#include "payload/variables.h"

namespace palisade {
namespace {

struct AdditionCase {
  const wchar_t* script;
  const wchar_t* additions;
  const wchar_t* batch;
};

TEST(BatchWithAdditions, CommandLineCommandsGoOnALineOfTheirOwn) {
  const AdditionCase cases[] = {
      {L"echo a", L"", L"echo a"},
      {L"echo a", L"echo b", L"echo a\r\necho b"},
      {L"echo a\r\n", L"echo b", L"echo a\r\necho b"},
      {L"echo a\n", L"echo b", L"echo a\necho b"},
      {L"", L"echo b", L"\r\necho b"},
  };
  for (const AdditionCase& c : cases) EXPECT_EQ(BatchWithAdditions(c.script, c.additions), c.batch) << c.script;
}

struct FileCase {
  const char* name;
  const wchar_t* variableLines;
  const wchar_t* commands;
  bool utf8Allowed;  // Windows 7 and later
  const char* file;
  bool utf8;
};

TEST(BatchFileBytes, CodePageLineAndEncoding) {
  const FileCase cases[] = {
      {"ASCII on Windows 7", L"SET A=1\r\n", L"echo hi", true, "@chcp 1252 >nul\r\n@echo off\r\nSET A=1\r\necho hi",
       false},
      {"accent in the commands on Windows 7", L"", L"echo \u00E9", true,
       "@chcp 65001 >nul\r\n@echo off\r\necho \xC3\xA9", true},
      {"accent in a variable on Windows 7", L"SET \"ProductName=Caf\u00E9\"\r\n", L"echo hi", true,
       "@chcp 65001 >nul\r\n@echo off\r\nSET \"ProductName=Caf\xC3\xA9\"\r\necho hi", true},
      {"accent on Vista", L"SET \"ProductName=Caf\u00E9\"\r\n", L"echo hi", false,
       "@chcp 1252 >nul\r\n@echo off\r\nSET \"ProductName=Caf\xE9\"\r\necho hi", false},
      {"no form in 1252 on Vista", L"", L"echo \u4E2D\u20AC", false, "@chcp 1252 >nul\r\n@echo off\r\necho ?\x80",
       false},
  };
  for (const FileCase& c : cases) {
    bool utf8 = !c.utf8;
    EXPECT_EQ(BatchFileBytes(c.variableLines, c.commands, c.utf8Allowed, false, utf8), c.file) << c.name;
    EXPECT_EQ(utf8, c.utf8) << c.name;
  }
}

struct PauseCase {
  const wchar_t* line;
  bool dropped;
};

TEST(BatchFileBytes, PauseLinesLeftOutWhenNobodyCouldAnswer) {
  const PauseCase cases[] = {
      {L"PAUSE", true},        {L"pause", true},       {L"  @Pause  ", true},     {L"\t@PAUSE\t", true},
      {L"echo pause", false},  {L"@@pause", false},    {L"pause now", false},     {L"pauses", false},
      {L"rem PAUSE", false},
  };
  const char* kHead = "@chcp 1252 >nul\r\n@echo off\r\n";
  for (const PauseCase& c : cases) {
    ts::WText commands = L"echo 1\r\n" + ts::WText(c.line) + L"\r\necho 2";
    bool utf8 = false;
    ts::Text expected = kHead + ts::Utf8FromWide(c.dropped ? L"echo 1\r\necho 2" : commands);
    EXPECT_EQ(BatchFileBytes(L"", commands, true, true, utf8), expected) << ts::Utf8FromWide(c.line);
    EXPECT_EQ(BatchFileBytes(L"", commands, true, false, utf8), kHead + ts::Utf8FromWide(commands))
        << "kept when someone can answer: " << ts::Utf8FromWide(c.line);
  }
  bool utf8 = false;
  EXPECT_EQ(BatchFileBytes(L"", L"echo 1\npause\n", true, true, utf8), ts::Text(kHead) + "echo 1\n")
      << "a last line with a bare line feed";
}

TEST(BatchVariableLines, EveryLineTakesAnInstallationVariable) {
  std::set<ts::WText> known;
  for (const InstallationVariable& variable : InstallationVariables()) known.insert(variable.name);
  std::vector<ts::WText> asked;
  ts::WText lines = BatchVariableLines([&](std::wstring_view name) {
    asked.emplace_back(name);
    return L"<" + ts::WText(name.substr(1, name.size() - 2)) + L" & x>";
  });
  for (const ts::WText& name : asked) EXPECT_TRUE(known.count(name)) << ts::Utf8FromWide(name);
  ASSERT_EQ(asked.size(), 50u);
  // Texts are quoted whole, drive letters, versions and numbers are not.
  EXPECT_EQ(lines.substr(0, lines.find(L"\r\n") + 2), L"SET \"InstallDir=<InstallDir & x>\"\r\n");
  EXPECT_NE(lines.find(L"\r\nSET \"AppDataAllDir=<AppDataAllDir & x>\"\r\nSET InstallDrive=^<InstallDrive ^& x^>\r\n"),
            ts::WText::npos);
  EXPECT_NE(lines.find(L"\r\nSET Portable=^<Portable ^& x^>\r\n"), ts::WText::npos);
  EXPECT_EQ(lines.substr(lines.rfind(L"\r\n", lines.size() - 3) + 2), L"SET OSServer=^<OSServer ^& x^>\r\n");
}

struct AwkwardValueCase {
  const char* name;
  const wchar_t* installDir;  // a quoted line's value
  const wchar_t* version;     // an unquoted line's value
  const wchar_t* installDirLine;
  const wchar_t* versionLine;
};

// What a folder, product or version text holds reaches the batch as its
// value: no variable of the interpreter expands in it, no operator in it
// starts a command, and a quote in a product name cannot end the quoting
// early and leave the rest of the text to run.
TEST(BatchVariableLines, ValuesReachTheBatchAsTheyAre) {
  const AwkwardValueCase cases[] = {
      {"a variable with a substring", L"C:\\%PUBLIC:~3%", L"%OS%", L"SET \"InstallDir=C:\\%%PUBLIC:~3%%\"",
       L"SET Version=%%OS%%"},
      {"a lone percent sign", L"C:\\Tools\\100%", L"100%", L"SET \"InstallDir=C:\\Tools\\100%%\"",
       L"SET Version=100%%"},
      {"operators", L"C:\\R&D ^2 |<>", L"1 & calc ^| x", L"SET \"InstallDir=C:\\R&D ^2 |<>\"",
       L"SET Version=1 ^& calc ^^^| x"},
      {"exclamation marks (delayed expansion is off)", L"C:\\Hi!OS!", L"!OS!", L"SET \"InstallDir=C:\\Hi!OS!\"",
       L"SET Version=!OS!"},
      {"a quote that would end the quoting", L"Acme\" & calc & \"", L"1\"&\"2",
       L"SET \"InstallDir=Acme\" ^& calc ^& \"\"", L"SET Version=1\"&\"2"},
      {"a line break", L"Acme\r\ncalc", L"1\ncalc", L"SET \"InstallDir=Acme  calc\"", L"SET Version=1 calc"},
  };
  for (const AwkwardValueCase& c : cases) {
    ts::WText lines = BatchVariableLines([&](std::wstring_view name) {
      if (name == L"%InstallDir%") return ts::WText(c.installDir);
      if (name == L"%Version%") return ts::WText(c.version);
      return ts::WText();
    });
    EXPECT_NE(lines.find(ts::WText(c.installDirLine) + L"\r\n"), ts::WText::npos) << c.name << "\n" << ts::Utf8FromWide(lines);
    EXPECT_NE(lines.find(L"\r\n" + ts::WText(c.versionLine) + L"\r\n"), ts::WText::npos)
        << c.name << "\n" << ts::Utf8FromWide(lines);
  }
}

struct LiteralCase {
  const wchar_t* text;
  const wchar_t* line;
};

// Inside double quotes only "%" needs doubling; outside, the operators take
// a caret too. A quote toggles which side the text is on.
TEST(BatchLiteral, PercentSignsAndOperatorsStayText) {
  const LiteralCase cases[] = {
      {L"\"C:\\A\\setup.exe\" /a", L"\"C:\\A\\setup.exe\" /a"},
      {L"tool.exe 100% done", L"tool.exe 100%% done"},
      {L"tool.exe a&b|c<d>e^f", L"tool.exe a^&b^|c^<d^>e^^f"},
      {L"\"C:\\R&D\\tool.exe\" \"x%y\"", L"\"C:\\R&D\\tool.exe\" \"x%%y\""},
      {L"\"C:\\%PUBLIC:~3%\"", L"\"C:\\%%PUBLIC:~3%%\""},
      {L"\"a\"&\"b\"", L"\"a\"^&\"b\""},
      {L"\"Hi!\" ^!", L"\"Hi!\" ^^!"},
  };
  for (const LiteralCase& c : cases) EXPECT_EQ(BatchLiteral(c.text), c.line) << ts::Utf8FromWide(c.text);
}

struct CodePageCase {
  const char* name;
  const wchar_t* text;
  const char* bytes;
};

// Code page 1252 has no fullwidth quote; mapped to its look-alike it would
// end the quoted path and leave "& calc" to run. Only a character without
// any form of its own becomes "?".
TEST(EncodedBatch, CharactersWithoutAFormBecomeQuestionMarksNotLookAlikes) {
  const CodePageCase cases[] = {
      {"fullwidth quote", L"rd \"C:\\A\uFF02 & calc & \uFF02\"", "@chcp 1252 >nul\r\nrd \"C:\\A? & calc & ?\""},
      {"fullwidth ampersand and percent sign", L"rd \"C:\\\uFF06\uFF05\"", "@chcp 1252 >nul\r\nrd \"C:\\??\""},
      {"accent with a form", L"rd \"C:\\Caf\u00E9\"", "@chcp 1252 >nul\r\nrd \"C:\\Caf\xE9\""},
  };
  for (const CodePageCase& c : cases) {
    bool utf8 = true;
    EXPECT_EQ(EncodedBatch(c.text, false, utf8), c.bytes) << c.name;
    EXPECT_FALSE(utf8) << c.name;
  }
}

}  // namespace
}  // namespace palisade
