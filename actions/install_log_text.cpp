#include "actions/install_log_text.h"

#include "core/ts_texts.h"
#include "format/version.h"

namespace palisade {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kSeparator[] = "\r\n\r\n**********************************************\r\n";
constexpr char kFailureBanner[] = "*** FAILURE SUMMARY ***\r\n";
constexpr char kDateForm[] = "yy/mm/dd HH:ii:ss";

bool IsBlank(const ts::WText& text) { return text.find_first_not_of(L" \t\r\n") == ts::WText::npos; }

ts::Text Line(const char* label, const ts::WText& value) { return label + ts::Utf8FromWide(value) + "\r\n"; }

ts::Text LogHeader(const LogHeaderFacts& facts) {
  ts::Text header = Line("Installation log for: ", facts.productName);
  header += "Install date: " + ts::DateText(facts.installTime, kDateForm) + "\r\n";
  if (facts.hasUninstaller) header += Line("Install type: ", facts.reinstall ? L"Reinstall" : L"New");
  header += Line("Install location: ", facts.installFolder);
  header += "Installer version: " + ts::Text(format::kEngineVersion) + "\r\n";
  if (!IsBlank(facts.productVersion)) header += Line("Product version: ", facts.productVersion);
  if (!IsBlank(facts.oldVersion)) header += Line("Overwriting version: ", facts.oldVersion);
  return header + Line("Operating system: ", facts.systemName) + "\r\n";
}

ts::Text Utf8FromCodePage1252(std::string_view text) { return ts::Utf8FromWide(ts::WideFromCodePage1252(text)); }

bool StartsWithByteOrderMark(std::string_view text) { return text.rfind(kByteOrderMark, 0) == 0; }

}  // namespace

ts::Text LogRunText(const LogHeaderFacts& facts, std::string_view lines, std::string_view failureSummary,
                    const ts::WText& closingMessage) {
  ts::Text run = LogHeader(facts);
  run.append(lines);
  run += "\r\n";
  if (failureSummary.empty()) return run + ts::Utf8FromWide(closingMessage) + "\r\n";
  return run + kFailureBanner + ts::Text(failureSummary);
}

LogFileWrite LogFileUpdate(std::string_view existing, std::string_view run) {
  if (existing.empty()) return {0, kByteOrderMark + ts::Text(run)};
  if (StartsWithByteOrderMark(existing)) return {static_cast<int64_t>(existing.size()), kSeparator + ts::Text(run)};
  return {0, kByteOrderMark + Utf8FromCodePage1252(existing) + kSeparator + ts::Text(run)};
}

FinalNoticeDecision DecideFinalNotice(const FinalNoticeFacts& facts) {
  if (!facts.interactive || facts.automatic) return {};
  if (facts.failures) return {FinalNotice::kAskToShowLog, false};
  if (facts.suppressFinalMessage) return {};
  bool dropLogItem = !facts.keepLog;
  bool offersLog = facts.offerLogItem && !dropLogItem;
  bool page = (facts.summaryOptions || offersLog) && !facts.restartRequired;
  return {page ? FinalNotice::kSummaryPage : FinalNotice::kDoneMessage, dropLogItem};
}

}  // namespace palisade
