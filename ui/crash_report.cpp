#include "ui/crash_report.h"

#include <windows.h>

#include "core/ts_fatal.h"

namespace palisade {
namespace {

LONG WINAPI ReportUnhandledException(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD* record = exception->ExceptionRecord;
  ts::Fatal("Unhandled exception 0x%08X at address 0x%p", static_cast<unsigned>(record->ExceptionCode),
            record->ExceptionAddress);
}

}  // namespace

void InstallCrashFilter() { SetUnhandledExceptionFilter(ReportUnhandledException); }

}  // namespace palisade
