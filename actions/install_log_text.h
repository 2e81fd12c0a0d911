#pragma once
// The text of "Install.log" and the choice of what the user is told at the
// end, computed without touching the machine.
#include <windows.h>

#include <cstdint>
#include <string_view>

#include "core/ts_text.h"

namespace palisade {

struct LogHeaderFacts {
  ts::WText productName;
  SYSTEMTIME installTime = {};  // local time
  bool hasUninstaller = false;
  bool reinstall = false;  // an existing installation is replaced
  ts::WText installFolder;
  ts::WText productVersion;
  ts::WText oldVersion;  // of the installation replaced; empty when unknown
  ts::WText systemName;
};

// One run's block of the log, in UTF-8: the header, the run's lines as they
// were logged, then the closing message when nothing failed, or else the
// failure summary (UTF-8) under its banner.
ts::Text LogRunText(const LogHeaderFacts& facts, std::string_view lines, std::string_view failureSummary,
                    const ts::WText& closingMessage);

// What to write into the log file, and where, for a file that holds
// `existing`: an empty file gets the byte-order mark, a file that has a
// log already gets a separator first. An old log without the mark is in
// code page 1252; it is converted once and rewritten from the start.
struct LogFileWrite {
  int64_t at = 0;
  ts::Text bytes;
};
LogFileWrite LogFileUpdate(std::string_view existing, std::string_view run);

// What the user is told when the log is finished.
enum class FinalNotice {
  kNone,
  kAskToShowLog,  // something failed: offer to show the log
  kSummaryPage,
  kDoneMessage,  // the plain completion message box
};

struct FinalNoticeFacts {
  bool interactive = false;
  bool failures = false;
  bool automatic = false;
  bool suppressFinalMessage = false;
  bool keepLog = false;         // the log is written even without failures
  bool offerLogItem = false;    // the summary page offers to show the log
  bool summaryOptions = false;  // the summary page has a program, a document or a target to offer
  bool restartRequired = false;
};

struct FinalNoticeDecision {
  FinalNotice notice = FinalNotice::kNone;
  // The summary page must not offer a log that a clean run does not write.
  bool dropLogItem = false;
};

FinalNoticeDecision DecideFinalNotice(const FinalNoticeFacts& facts);

}  // namespace palisade
