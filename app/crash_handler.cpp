#include "app/crash_handler.h"

#include <windows.h>

#include "actions/install_log.h"
#include "core/ts_crash.h"
#include "format/version.h"
#include "state/installer_state.h"
#include "ui/crash_report.h"

namespace palisade {
namespace {

constexpr char kEdition[] = "Installer";

// The log gets the report whatever the user does next; a silent run shows
// nothing and ends. Exit hands the crash on to the system's own handling.
LONG OnCrash(const ts::CrashRecord& crash) {
  ts::Text report = ts::BuildCrashReport(crash);
  const ts::Text& address = g_installer.script.crashReportUrl;
  if (!address.empty() && !CrashReportAddressIsSecure(address)) {
    LogWideConcat({L"Crash report address \"", ts::WideFromUtf8(address),
                   L"\" is not an https:// address: the report is not sent\r\n"});
  }
  AddToFailureSummary("\r\n\r\nINSTALLER CRASHED!\r\n" + report);
  FinishLog(g_installer.replacesInstallation, false);
  if (g_installer.flags.silent) return EXCEPTION_EXECUTE_HANDLER;
  CrashReportInput input;
  if (!ShowCrashDialog(report, input)) return EXCEPTION_CONTINUE_SEARCH;
  SendCrashReport(report, input);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallCrashFilter() {
  ts::SetCrashProductName(ts::Utf8FromWide(g_installer.defaultCaption) + " " + format::kEngineVersion + " " + kEdition);
  ts::SetCrashCallback(OnCrash);
}

}  // namespace palisade
