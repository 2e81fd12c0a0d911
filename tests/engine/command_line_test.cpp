#include <gtest/gtest.h>

#include "app/command_line.h"

namespace palisade {
namespace {

struct Parsed {
  bool ok;
  RunFlags flags;
  CommandLineValues values;
  ts::WText reason;
};

Parsed Parse(const wchar_t* arguments) {
  Parsed parsed{};
  ts::WText line = ts::WText(L"\"C:\\Downloads\\setup.exe\" ") + arguments;
  parsed.ok = ParseCommandLine(line.c_str(), parsed.flags, parsed.values, parsed.reason);
  return parsed;
}

TEST(SplitCommandLine, QuotedStretchesStayInTheirAtom) {
  ts::Vector<ts::WText> atoms =
      SplitCommandLine(L"\"C:\\Program Files\\setup.exe\"   /d:\"C:\\My Apps\\X\" \t/a\r\n-n:\"A B\"x  ");
  ASSERT_EQ(atoms.Count(), 3);
  EXPECT_EQ(atoms[0], L"/d:\"C:\\My Apps\\X\"");
  EXPECT_EQ(atoms[1], L"/a");
  EXPECT_EQ(atoms[2], L"-n:\"A B\"x");
}

TEST(SplitCommandLine, ArgumentsQuotedByTheRuntimeAreUnquoted) {
  ts::Vector<ts::WText> atoms = SplitCommandLine(
      L"setup.exe \"/u:\\\"Acme Notes\\\"\" \"/d:C:\\My Apps\\\\\" /silent \"/b1:\\\"copy a\\\\\\\\\\\"\"");
  ASSERT_EQ(atoms.Count(), 4);
  EXPECT_EQ(atoms[0], L"/u:\"Acme Notes\"");
  EXPECT_EQ(atoms[1], L"/d:C:\\My Apps\\");
  EXPECT_EQ(atoms[2], L"/silent");
  EXPECT_EQ(atoms[3], L"/b1:\"copy a\\\\\"");
}

TEST(SplitCommandLine, UnclosedQuoteRunsToTheEnd) {
  ts::Vector<ts::WText> atoms = SplitCommandLine(L"setup.exe /d:\"C:\\a b");
  ASSERT_EQ(atoms.Count(), 1);
  EXPECT_EQ(atoms[0], L"/d:\"C:\\a b");
}

TEST(SplitCommandLine, OnlyNineteenAtomsAreExamined) {
  ts::WText line = L"setup.exe";
  for (int i = 0; i < 19; ++i) line += L" /a";
  line += L" /twentieth";
  ts::Vector<ts::WText> atoms = SplitCommandLine(line.c_str());
  EXPECT_EQ(atoms.Count(), 19);
  EXPECT_TRUE(Parse((line.substr(10)).c_str()).ok);
}

TEST(ParseCommandLine, AutomaticModeInEveryCase) {
  for (const wchar_t* atom : {L"/a", L"/A", L"-a"}) {
    Parsed parsed = Parse(atom);
    EXPECT_TRUE(parsed.ok && parsed.flags.automatic && !parsed.flags.silent) << atom;
  }
}

TEST(ParseCommandLine, SilentImpliesAutomatic) {
  Parsed parsed = Parse(L"/SILENT /min");
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(parsed.flags.silent);
  EXPECT_TRUE(parsed.flags.automatic);
  EXPECT_TRUE(parsed.flags.minimised);
}

TEST(ParseCommandLine, MinimisedStartInEveryCaseAndNothingElse) {
  for (const wchar_t* atom : {L"/MIN", L"/min", L"-Min"}) {
    Parsed parsed = Parse(atom);
    EXPECT_TRUE(parsed.ok && parsed.flags.minimised) << atom;
    EXPECT_FALSE(parsed.flags.automatic || parsed.flags.silent) << atom;
  }
}

struct FolderCase {
  const wchar_t* atom;
  const wchar_t* folder;
};

TEST(ParseCommandLine, FolderOverrideLosesOnlyAPairOfQuotes) {
  const FolderCase cases[] = {
      {L"/d:\"C:\\My Apps\\X\"", L"C:\\My Apps\\X"},
      {L"/D:C:\\Apps", L"C:\\Apps"},
      {L"/d:\"C:\\half", L"\"C:\\half"},
      {L"/d:", L""},
  };
  for (const FolderCase& c : cases) {
    Parsed parsed = Parse(c.atom);
    EXPECT_TRUE(parsed.ok) << c.atom;
    EXPECT_EQ(parsed.values.installFolder, c.folder) << c.atom;
  }
}

TEST(ParseCommandLine, ProductNameOverride) {
  EXPECT_EQ(Parse(L"/n:\"Acme Notes\"").values.productName, L"Acme Notes");
}

TEST(ParseCommandLine, UninstallNameWithAndWithoutColon) {
  Parsed named = Parse(L"/u:\"Acme Notes\"");
  EXPECT_TRUE(named.ok && named.flags.uninstall);
  EXPECT_EQ(named.values.uninstallName, L"Acme Notes");
  Parsed word = Parse(L"/uninstall");
  EXPECT_TRUE(word.ok && word.flags.uninstall);
  EXPECT_EQ(word.values.uninstallName, L"");
}

TEST(ParseCommandLine, RunAfterInstallTurnsBackquotesIntoQuotes) {
  Parsed parsed = Parse(L"/r:\"`C:\\Program Files\\Acme\\notes.exe` --welcome\"");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.values.runAfterInstall, L"\"C:\\Program Files\\Acme\\notes.exe\" --welcome");
}

TEST(ParseCommandLine, BatchAdditionsSplitAtTildePairs) {
  Parsed parsed = Parse(L"/b1:\"echo one~~copy `a b` c\" /B3:\"del x\"");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.values.batchAdditions[0], "echo one\r\ncopy \"a b\" c");
  EXPECT_EQ(parsed.values.batchAdditions[1], "");
  EXPECT_EQ(parsed.values.batchAdditions[2], "del x");
}

TEST(ParseCommandLine, BatchAdditionsAreInTheAnsiCodePage) {
  Parsed parsed = Parse(L"/b2:\"echo \u4E2D\"");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.values.batchAdditions[1], ts::AnsiFromWide(L"echo \u4E2D"));
}

TEST(ParseCommandLine, BareOptionCharacterIsIgnored) {
  Parsed parsed = Parse(L"/ - /a");
  EXPECT_TRUE(parsed.ok);
  EXPECT_TRUE(parsed.flags.automatic);
}

struct RefusalCase {
  const wchar_t* arguments;
  const wchar_t* reason;
};

TEST(ParseCommandLine, RefusesAtomsItDoesNotKnow) {
  const RefusalCase cases[] = {
      {L"/ab", L"Illegal command line atom:\r\n/ab"},
      {L"/silent /x", L"Illegal command line atom:\r\n/x"},
      {L"/r:notquoted", L"Illegal command line atom:\r\n/r:notquoted"},
      {L"/b4:\"x\"", L"Illegal command line atom:\r\n/b4:\"x\""},
      {L"install.ini", L"Unexpected command line parameter:\r\ninstall.ini"},
  };
  for (const RefusalCase& c : cases) {
    Parsed parsed = Parse(c.arguments);
    EXPECT_FALSE(parsed.ok) << c.arguments;
    EXPECT_EQ(parsed.reason, c.reason) << c.arguments;
  }
}

TEST(ParseCommandLine, FlagsBeforeARefusedAtomStaySet) {
  Parsed parsed = Parse(L"/silent /x /a");
  EXPECT_FALSE(parsed.ok);
  EXPECT_TRUE(parsed.flags.silent);
}

TEST(UsageText, NamesTheReasonAndTheProgram) {
  ts::WText text = UsageText(L"Product name required", L"setup.exe");
  const ts::WText head = L"Product name required\r\n\r\nUsage:\r\nsetup.exe [/a] [/b1:";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_NE(text.find(L"\r\n/a                  \tAutomatic mode.\r\n"), ts::WText::npos);
  EXPECT_EQ(text.substr(text.size() - 34), L"/silent\tDisplay no user interface.");
}

}  // namespace
}  // namespace palisade
