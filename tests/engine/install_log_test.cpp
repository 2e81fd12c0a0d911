#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "actions/install_log.h"
#include "state/installer_state.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "format/product_flags.h"

namespace palisade {
namespace {

const char kBom[] = "\xEF\xBB\xBF";
const char kSeparator[] = "\r\n\r\n**********************************************\r\n";
constexpr uint32_t kKeepLogOption = 0x40;  // low product flag: the log is written after a clean run too

SYSTEMTIME FixedClock() {
  SYSTEMTIME time = {};
  time.wYear = 2026;
  time.wMonth = 12;
  time.wDay = 7;
  time.wHour = 14;
  time.wMinute = 5;
  time.wSecond = 9;
  return time;
}

LogHeaderFacts FullFacts() {
  LogHeaderFacts facts;
  facts.productName = L"Palisade Demo \u00e9dition";
  facts.installTime = FixedClock();
  facts.hasUninstaller = true;
  facts.reinstall = true;
  facts.installFolder = L"C:\\Program Files\\Palisade Demo";
  facts.productVersion = L"2.1";
  facts.oldVersion = L"2.0";
  facts.systemName = L"Windows 10 Pro";
  return facts;
}

TEST(LogRunText, HeaderBlockWithEveryLine) {
  EXPECT_EQ(LogRunText(FullFacts(), "Installing...\r\n", "", L"Installation complete"),
            "Installation log for: Palisade Demo \xC3\xA9"
            "dition\r\n"
            "Install date: 2026/12/07 14:05:09\r\n"
            "Install type: Reinstall\r\n"
            "Install location: C:\\Program Files\\Palisade Demo\r\n"
            "Installer version: 39.0.1\r\n"
            "Product version: 2.1\r\n"
            "Overwriting version: 2.0\r\n"
            "Operating system: Windows 10 Pro\r\n"
            "\r\n"
            "Installing...\r\n"
            "\r\n"
            "Installation complete\r\n");
}

struct HeaderCase {
  const char* name;
  bool hasUninstaller;
  bool reinstall;
  const wchar_t* productVersion;
  const wchar_t* oldVersion;
  const char* typeLine;
  const char* versionLines;
};

TEST(LogRunText, OptionalHeaderLines) {
  const HeaderCase cases[] = {
      {"new installation with an uninstaller", true, false, L"", L"", "Install type: New\r\n", ""},
      {"no uninstaller, no type", false, true, L"", L"", "", ""},
      {"blank versions left out", false, false, L" \t\r\n", L"  ", "", ""},
      {"product version only", false, false, L"3.0", L"", "", "Product version: 3.0\r\n"},
      {"old version only", true, false, L"", L"1.9b", "Install type: New\r\n", "Overwriting version: 1.9b\r\n"},
  };
  for (const HeaderCase& c : cases) {
    LogHeaderFacts facts = FullFacts();
    facts.hasUninstaller = c.hasUninstaller;
    facts.reinstall = c.reinstall;
    facts.productVersion = c.productVersion;
    facts.oldVersion = c.oldVersion;
    EXPECT_EQ(LogRunText(facts, "", "", L""),
              "Installation log for: Palisade Demo \xC3\xA9"
              "dition\r\n"
              "Install date: 2026/12/07 14:05:09\r\n" +
                  std::string(c.typeLine) +
                  "Install location: C:\\Program Files\\Palisade Demo\r\n"
                  "Installer version: 39.0.1\r\n" +
                  c.versionLines +
                  "Operating system: Windows 10 Pro\r\n"
                  "\r\n"
                  "\r\n"
                  "\r\n")
        << c.name;
  }
}

TEST(LogRunText, FailureSummaryReplacesTheClosingMessage) {
  LogHeaderFacts facts = FullFacts();
  facts.hasUninstaller = false;
  facts.productVersion.clear();
  facts.oldVersion.clear();
  ts::Text summary = "Cannot write C:\\Program Files\\Palisade Demo\\caf\xC3\xA9.txt\r\nAccess denied.\r\n\r\n";
  EXPECT_EQ(LogRunText(facts, "line one\r\nline two\r\n", summary, L"Installation complete"),
            "Installation log for: Palisade Demo \xC3\xA9"
            "dition\r\n"
            "Install date: 2026/12/07 14:05:09\r\n"
            "Install location: C:\\Program Files\\Palisade Demo\r\n"
            "Installer version: 39.0.1\r\n"
            "Operating system: Windows 10 Pro\r\n"
            "\r\n"
            "line one\r\nline two\r\n"
            "\r\n"
            "*** FAILURE SUMMARY ***\r\n"
            "Cannot write C:\\Program Files\\Palisade Demo\\caf\xC3\xA9.txt\r\nAccess denied.\r\n\r\n");
}

struct UpdateCase {
  const char* name;
  std::string existing;
  int64_t at;
  std::string bytes;
};

TEST(LogFileUpdate, MarkSeparatorAndOldLogConversion) {
  const std::string run = "RUN\r\n";
  const UpdateCase cases[] = {
      {"new file gets the mark", "", 0, kBom + run},
      {"UTF-8 log gets a separator", std::string(kBom) + "old \xC3\xA9\r\n", 11, kSeparator + run},
      {"mark alone still counts as a log", kBom, 3, kSeparator + run},
      {"code page 1252 log converted once", "old caf\xE9 \x80 \x93x\x94\r\n", 0,
       std::string(kBom) + "old caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D\r\n" + kSeparator + run},
      {"ASCII log without mark gets the mark", "plain\r\n", 0, std::string(kBom) + "plain\r\n" + kSeparator + run},
      {"partial mark is not a mark", "\xEF\xBB", 0, std::string(kBom) + "\xC3\xAF\xC2\xBB" + kSeparator + run},
  };
  for (const UpdateCase& c : cases) {
    LogFileWrite write = LogFileUpdate(c.existing, run);
    EXPECT_EQ(write.at, c.at) << c.name;
    EXPECT_EQ(write.bytes, c.bytes) << c.name;
  }
}

struct NoticeCase {
  const char* name;
  FinalNoticeFacts facts;
  FinalNotice notice;
  bool dropLogItem;
};

FinalNoticeFacts Facts(bool interactive, bool failures, bool automatic, bool suppress, bool keepLog, bool offerLog,
                       bool options, bool restart) {
  return {interactive, failures, automatic, suppress, keepLog, offerLog, options, restart};
}

TEST(DecideFinalNotice, WhatTheUserIsToldAtTheEnd) {
  // Facts: interactive, failures, automatic, suppressed, keep log, log item, summary options, restart pending.
  const NoticeCase cases[] = {
      {"crash handler asks nothing", Facts(false, true, false, false, false, false, true, false), FinalNotice::kNone,
       false},
      {"failures: offer the log", Facts(true, true, false, false, false, false, true, false),
       FinalNotice::kAskToShowLog, false},
      {"failures, automatic: silence", Facts(true, true, true, false, true, true, true, false), FinalNotice::kNone,
       false},
      {"failures beat suppression", Facts(true, true, false, true, false, false, false, false),
       FinalNotice::kAskToShowLog, false},
      {"clean, automatic", Facts(true, false, true, false, false, true, true, false), FinalNotice::kNone, false},
      {"clean, suppressed", Facts(true, false, false, true, false, true, true, false), FinalNotice::kNone, false},
      {"clean with options: page", Facts(true, false, false, false, false, false, true, false),
       FinalNotice::kSummaryPage, true},
      {"clean, log item of a kept log: page", Facts(true, false, false, false, true, true, false, false),
       FinalNotice::kSummaryPage, false},
      {"clean, log item of an unwritten log dropped", Facts(true, false, false, false, false, true, false, false),
       FinalNotice::kDoneMessage, true},
      {"clean, nothing to offer", Facts(true, false, false, false, true, false, false, false),
       FinalNotice::kDoneMessage, false},
      {"restart pending: message instead of page", Facts(true, false, false, false, true, true, true, true),
       FinalNotice::kDoneMessage, false},
  };
  for (const NoticeCase& c : cases) {
    FinalNoticeDecision decision = DecideFinalNotice(c.facts);
    EXPECT_EQ(decision.notice, c.notice) << c.name;
    EXPECT_EQ(decision.dropLogItem, c.dropLogItem) << c.name;
  }
}

// --- The writers and the file ---

class LogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    folder_ = ts::WText(folder) + ts::Format(L"log-test-%lu", GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    path_ = InstallLogPath(folder_);
    saved_ = g_installer;
  }
  void TearDown() override {
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(folder_.c_str());
    g_installer = saved_;
  }

  std::string FileBytes() {
    ts::File file;
    ts::Text bytes;
    EXPECT_TRUE(file.OpenForReading(path_) && file.ReadWhole(bytes)) << file.LastError();
    return bytes;
  }

  void WriteFile(const std::string& bytes) {
    ts::File file;
    ASSERT_TRUE(file.Create(path_));
    ASSERT_TRUE(file.WriteBlock(bytes.data(), static_cast<int>(bytes.size())));
  }

  // The run's block as the file must hold it, for lines logged so far.
  ts::Text Run(const LogHeaderFacts& facts, const std::string& lines) {
    return LogRunText(facts, lines, FailureSummary(), L"");
  }

  ts::WText folder_;
  ts::WText path_;
  InstallerState saved_;
};

TEST_F(LogFile, PathIsInTheUninstallFolder) { EXPECT_EQ(path_, folder_ + L"\\Install.log"); }

TEST_F(LogFile, WritersAppendUtf8) {
  LogText("caf\xE9 \x80\r\n");
  LogWideText(L"\u65e5\u672c\r\n");
  LogFormat("%d files in %s\r\n", 3, "D\xE9mo");
  LogWideFormat(L"%s >>> %s\r\n", L"a.txt", L"C:\\Donn\u00e9es\\a.txt");
  LogConcat({"one ", "two\x85", "\r\n"});
  LogWideConcat({L"\u00e4", L"\u00f6", L"\r\n"});
  LogRaw("raw \xC3\xA9\r\n");
  ASSERT_TRUE(AppendInstallLog(path_, FullFacts()));
  EXPECT_EQ(FileBytes(), kBom + Run(FullFacts(),
                                    "caf\xC3\xA9 \xE2\x82\xAC\r\n"
                                    "\xE6\x97\xA5\xE6\x9C\xAC\r\n"
                                    "3 files in D\xC3\xA9mo\r\n"
                                    "a.txt >>> C:\\Donn\xC3\xA9"
                                    "es\\a.txt\r\n"
                                    "one two\xE2\x80\xA6\r\n"
                                    "\xC3\xA4\xC3\xB6\r\n"
                                    "raw \xC3\xA9\r\n"));
}

TEST_F(LogFile, SecondRunIntoTheSameFolderAppendsASeparatorAndAHeader) {
  LogText("first run\r\n");
  ASSERT_TRUE(AppendInstallLog(path_, FullFacts()));
  LogHeaderFacts second = FullFacts();
  second.installTime.wDay = 8;
  LogText("second run\r\n");
  ASSERT_TRUE(AppendInstallLog(path_, second));
  EXPECT_EQ(FileBytes(), kBom + Run(FullFacts(), "first run\r\n") + kSeparator + Run(second, "second run\r\n"));
}

TEST_F(LogFile, OldLogInCodePage1252IsConvertedBeforeTheRun) {
  WriteFile("Installation log for: D\xE9mo\r\n\x93quoted\x94\r\n");
  LogText("new\r\n");
  ASSERT_TRUE(AppendInstallLog(path_, FullFacts()));
  EXPECT_EQ(FileBytes(), std::string(kBom) + "Installation log for: D\xC3\xA9mo\r\n\xE2\x80\x9Cquoted\xE2\x80\x9D\r\n" +
                             kSeparator + Run(FullFacts(), "new\r\n"));
}

TEST_F(LogFile, LinesStayInTheBufferWhenTheFileCannotBeOpened) {
  LogText("kept\r\n");
  EXPECT_FALSE(AppendInstallLog(folder_ + L"\\missing\\Install.log", FullFacts()));
  ASSERT_TRUE(AppendInstallLog(path_, FullFacts()));
  EXPECT_EQ(FileBytes(), kBom + Run(FullFacts(), "kept\r\n"));
}

// The clean runs are played in a process of their own, whose failure
// summary no other test has filled.
enum CleanRunOutcome { kAsExpected = 0, kFailuresLeft = 2, kWrongFile = 3 };

void FinishCleanRun(const ts::WText& folder, uint32_t flags, bool (*fileAsExpected)(const ts::WText& path)) {
  if (!FailureSummaryEmpty()) std::exit(kFailuresLeft);
  g_installer.installFolder = folder;
  g_installer.script.uninstallSubfolder = "";
  g_installer.script.productFlagsLow = flags;
  g_installer.script.productName = "Palisade Demo";
  g_installer.script.messages.assign(44, std::vector<std::u16string>(1));
  g_installer.script.messages[43][0] = u"All done";
  LogText("line\r\n");
  FinishLog(false, false);
  std::exit(fileAsExpected(InstallLogPath(folder)) ? kAsExpected : kWrongFile);
}

TEST_F(LogFile, FinishLogWritesNothingForACleanRunThatKeepsNoLog) {
  auto noFile = [](const ts::WText& path) { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; };
  EXPECT_EXIT(FinishCleanRun(folder_, 0, noFile), ::testing::ExitedWithCode(kAsExpected), "");
}

TEST_F(LogFile, CleanRunThatKeepsTheLogClosesWithTheCompletionMessage) {
  auto closed = [](const ts::WText& path) {
    ts::File file;
    ts::Text bytes;
    if (!file.OpenForReading(path) || !file.ReadWhole(bytes)) return false;
    ts::Text end = "\r\nline\r\n\r\nAll done\r\n";
    return bytes.rfind(std::string(kBom) + "Installation log for: Palisade Demo\r\n", 0) == 0 &&
           bytes.size() > end.size() && bytes.substr(bytes.size() - end.size()) == end;
  };
  EXPECT_EXIT(FinishCleanRun(folder_, kKeepLogOption, closed), ::testing::ExitedWithCode(kAsExpected), "");
}

TEST_F(LogFile, FinishLogKeepsTheLogWhenAsked) {
  g_installer.installFolder = folder_;
  g_installer.script.uninstallSubfolder = "";
  g_installer.script.productFlagsLow = kKeepLogOption;
  g_installer.script.productName = "Palisade Demo";
  FinishLog(true, false);
  std::string bytes = FileBytes();
  EXPECT_EQ(bytes.rfind(std::string(kBom) + "Installation log for: Palisade Demo\r\nInstall date: ", 0), 0u);
  EXPECT_NE(bytes.find("\r\nInstall location: " + ts::Utf8FromWide(folder_) + "\r\n"), std::string::npos);
  EXPECT_EQ(bytes.find("Install type: "), std::string::npos);
}

TEST_F(LogFile, FinishLogWritesTheLogWhenSomethingFailed) {
  g_installer.installFolder = folder_;
  g_installer.script.uninstallSubfolder = "";
  g_installer.script.productFlagsLow = format::product_flags_low::kPreviousInstallation;
  AddToFailureSummary(L"Cannot write C:\\x\\caf\u00e9.txt\r\n\r\n");
  AddToFailureSummary(std::string_view("second block\r\n"));
  EXPECT_FALSE(FailureSummaryEmpty());
  FinishLog(true, false);
  std::string bytes = FileBytes();
  EXPECT_NE(bytes.find("Install type: Reinstall\r\n"), std::string::npos);
  std::string tail = "*** FAILURE SUMMARY ***\r\n" + FailureSummary();
  ASSERT_GE(bytes.size(), tail.size());
  EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
  EXPECT_NE(FailureSummary().find("Cannot write C:\\x\\caf\xC3\xA9.txt\r\n\r\nsecond block\r\n"), std::string::npos);
}

}  // namespace
}  // namespace palisade
