#pragma once
// The installation log, "Install.log", and the run's failure summary. Every
// action appends lines of fixed wording to the log as it goes; the log is
// written once, behind a header, when the installation ends.
#include <initializer_list>
#include <string_view>

#include "actions/install_log_text.h"
#include "core/ts_text.h"

namespace palisade {

// The log writers. The texts carry their own line ends. Narrow texts are in
// code page 1252, as the fixed wording is; paths and texts of the script go
// through the wide writers, or through LogRaw when they are UTF-8 already.
void LogText(std::string_view text);
void LogWideText(std::wstring_view text);
void LogFormat(const char* format, ...);
void LogWideFormat(const wchar_t* format, ...);
void LogConcat(std::initializer_list<std::string_view> texts);
void LogWideConcat(std::initializer_list<std::wstring_view> texts);
void LogRaw(std::string_view bytes);

// The failure summary: one block per failed item, in UTF-8, for the whole
// run. Empty means that nothing failed.
void AddToFailureSummary(std::string_view utf8);
void AddToFailureSummary(const ts::WText& text);
bool FailureSummaryEmpty();
const ts::Text& FailureSummary();

ts::WText InstallLogPath(const ts::WText& uninstallFolder);

// Appends the run's block (header, lines, closing message or failure
// summary) to the log at `path`, creating it, converting an old log in code
// page 1252 first. False when the file cannot be opened or written. Lines
// that reached the file are dropped from the buffer, so that a later call
// (after a crash) does not repeat them.
bool AppendInstallLog(const ts::WText& path, const LogHeaderFacts& facts);

// Logs a line of what happens after the log was written: when this run
// wrote its block, the line is appended to the file at once.
void LogAfterFinish(std::wstring_view text);

// Writes the log when the script keeps it or something failed, and, when
// interactive, asks whether to show it (after failures) or shows the
// summary page or the completion message. The crash handler calls it with
// `interactive` false once it has added its report to the failure summary.
void FinishLog(bool reinstall, bool interactive);

// Opens the log with the shell, or else with Notepad; does not wait.
void ShowLog();

// The installation's end of the log: the program to launch, then FinishLog.
void FinishInstallLog();

}  // namespace palisade
