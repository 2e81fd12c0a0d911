#include "actions/install_log.h"

#include <windows.h>

#include <cstdarg>

#include "state/installer_state.h"
#include "core/system_facts.h"
#include "core/ts_desktop_shell.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/variables.h"
#include "ui/message_box.h"
#include "ui/progress.h"
#include "ui/summary.h"

namespace palisade {
namespace {

// Option bits that only the log tests.
using format::product_flags_high::kOfferToViewLog;
using format::product_flags_low::kKeepInstallLog;
using format::product_flags_low::kNoSummary;

constexpr int kShowLogQuestionMessage = 40;  // takes the log's path
constexpr int kShowLogCaptionMessage = 41;
constexpr int kDoneMessage = 42;
constexpr int kDoneCaptionMessage = 43;  // also closes a log without failures

constexpr wchar_t kLogFileName[] = L"Install.log";

ts::Text g_logBuffer;
ts::Text g_failureSummary;
// This run's block is in the file: later lines go straight after it.
bool g_logWritten = false;

bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }
bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }

LogHeaderFacts HeaderFacts(bool reinstall) {
  const format::SetupScript& script = g_installer.script;
  LogHeaderFacts facts;
  facts.productName = ts::WideFromUtf8(script.productName);
  GetLocalTime(&facts.installTime);
  // The bit that gives a product an uninstaller also makes it read the earlier registration.
  facts.hasUninstaller = LowFlag(format::product_flags_low::kPreviousInstallation);
  facts.reinstall = reinstall;
  facts.installFolder = g_installer.installFolder;
  facts.productVersion = ts::WideFromUtf8(script.displayVersion);
  facts.oldVersion = g_installer.oldVersion;
  facts.systemName = ts::SystemName(ts::system_name::kDescription);
  return facts;
}

FinalNoticeFacts NoticeFacts(bool interactive) {
  const format::SetupScript& script = g_installer.script;
  FinalNoticeFacts facts;
  facts.interactive = interactive;
  facts.failures = !FailureSummaryEmpty();
  facts.automatic = g_installer.flags.automatic;
  facts.suppressFinalMessage = LowFlag(kNoSummary);
  facts.keepLog = LowFlag(kKeepInstallLog);
  facts.offerLogItem = HighFlag(kOfferToViewLog);
  facts.summaryOptions =
      !script.launchProgram.empty() || !script.openDocument.empty() || !script.summaryOpenTarget.empty();
  facts.restartRequired = g_installer.restartRequired;
  return facts;
}

// True when the user asked to see the log.
bool TellUser(FinalNotice notice, const ts::WText& logPath) {
  switch (notice) {
    case FinalNotice::kAskToShowLog:
      return ShowMessage(FillConversions(MessageWithTags(kShowLogQuestionMessage), {logPath}),
                         MessageWithTags(kShowLogCaptionMessage),
                         MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
    case FinalNotice::kSummaryPage:
      ShowSummaryPage();
      return false;
    case FinalNotice::kDoneMessage:
      ShowMessage(MessageWithTags(kDoneMessage), MessageWithTags(kDoneCaptionMessage), MB_ICONINFORMATION);
      return false;
    case FinalNotice::kNone:
      return false;
  }
  return false;
}

}  // namespace

void LogText(std::string_view text) { g_logBuffer += ts::Utf8FromWide(ts::WideFromCodePage1252(text)); }
void LogWideText(std::wstring_view text) { g_logBuffer += ts::Utf8FromWide(text); }
void LogRaw(std::string_view bytes) { g_logBuffer.append(bytes); }

void LogFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ts::Text text = ts::FormatV(format, args);
  va_end(args);
  LogText(text);
}

void LogWideFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  ts::WText text = ts::FormatV(format, args);
  va_end(args);
  LogWideText(text);
}

void LogConcat(std::initializer_list<std::string_view> texts) {
  for (std::string_view text : texts) LogText(text);
}

void LogWideConcat(std::initializer_list<std::wstring_view> texts) {
  for (std::wstring_view text : texts) LogWideText(text);
}

void AddToFailureSummary(std::string_view utf8) { g_failureSummary.append(utf8); }
void AddToFailureSummary(const ts::WText& text) { g_failureSummary += ts::Utf8FromWide(text); }
bool FailureSummaryEmpty() { return g_failureSummary.empty(); }
const ts::Text& FailureSummary() { return g_failureSummary; }

ts::WText InstallLogPath(const ts::WText& uninstallFolder) { return uninstallFolder + L"\\" + kLogFileName; }

bool AppendInstallLog(const ts::WText& path, const LogHeaderFacts& facts) {
  ts::File file;
  ts::Text existing;
  if (!file.OpenForUpdate(path) || !file.ReadWhole(existing)) return false;
  ts::Text run = LogRunText(facts, g_logBuffer, g_failureSummary, MessageWithTags(kDoneCaptionMessage));
  LogFileWrite write = LogFileUpdate(existing, run);
  if (!file.Seek(write.at) || !file.WriteBlock(write.bytes.data(), static_cast<int>(write.bytes.size()))) return false;
  g_logBuffer.clear();
  g_logWritten = true;
  return true;
}

void LogAfterFinish(std::wstring_view text) {
  LogWideText(text);
  if (!g_logWritten) return;
  ts::File file;
  if (!file.OpenForUpdate(InstallLogPath(UninstallFolder())) || !file.Seek(file.Size())) return;
  if (file.WriteBlock(g_logBuffer.data(), static_cast<int>(g_logBuffer.size()))) g_logBuffer.clear();
}

void FinishLog(bool reinstall, bool interactive) {
  FinalNoticeDecision decision = DecideFinalNotice(NoticeFacts(interactive));
  if (decision.dropLogItem) g_installer.script.productFlagsHigh &= ~kOfferToViewLog;
  ts::WText path = InstallLogPath(UninstallFolder());
  bool showLog = TellUser(decision.notice, path);
  if (!LowFlag(kKeepInstallLog) && FailureSummaryEmpty()) return;
  if (AppendInstallLog(path, HeaderFacts(reinstall)) && showLog) ShowLog();
}

// The log's own program would run with the installer's rights, and the
// log's folder may be one the user can write: the desktop's shell opens
// it, and failing that Notepad from the system folder shows it.
void ShowLog() {
  ts::WText path = InstallLogPath(UninstallFolder());
  if (ts::OpenAsDesktopUser(path, L"", L"")) return;
  ts::WText notepad = ts::SystemFolder() + L"\\notepad.exe";
  ts::WText quoted = L"\"" + path + L"\"";
  if (ts::OpenAsDesktopUser(notepad, quoted, ts::SystemFolder())) return;
  ts::StartProcess(L"\"" + notepad + L"\" " + quoted, ts::SystemFolder());
}

void FinishInstallLog() {
  const ts::WText& program = g_installer.commandLine.runAfterInstall;
  if (!program.empty()) LogWideFormat(L"Launch on exit: %s\r\n", program.c_str());
  FinishLog(g_installer.replacesInstallation, true);
}

}  // namespace palisade
