#include "actions/drivers.h"

#include "actions/components.h"
#include "actions/install_log.h"
#include "core/ts_components.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "record/uninstall_record.h"

namespace palisade {
namespace {

void InstallDriverPackage(ts::SetupApi& setupApi, const ts::WText& path) {
  ShowRegistrationStatus(path);
  LogWideConcat({L"Installing driver \"", path, L"\"..."});
  ts::WText destination;
  DWORD error = setupApi.CopyOemInf(path, destination);
  if (error != ERROR_SUCCESS) {
    LogWideText(DriverFailureText(error, ts::SystemErrorTextW(error)));
  } else if (destination.empty()) {
    LogText("OK, but resulting filepath is unknown\r\n");
  } else {
    LogWideConcat({L"OK\r\nFinal driver location: ", destination, L"\r\n"});
    RecordSectionLine(RecordSection::kDrivers, StoredText(destination));
  }
}

}  // namespace

ts::WText DriverFailureText(DWORD error, const ts::WText& systemText) {
  ts::WText reason = systemText;
  if (reason.empty() && error == kUnsignedDriverError) reason = L"The INF does not contain digital signature information.";
  return ts::Format(L"FAILED!  Code 0x%08X: ", error) + reason + L"\r\n";
}

bool IsOemInfName(const ts::WText& name) {
  constexpr size_t kPrefix = 3, kSuffix = 4;
  if (name.size() <= kPrefix + kSuffix) return false;
  ts::WText lower = ts::AsciiLowerCase(name);
  if (lower.compare(0, kPrefix, L"oem") != 0 || lower.compare(lower.size() - kSuffix, kSuffix, L".inf") != 0) return false;
  for (size_t i = kPrefix; i < lower.size() - kSuffix; ++i) {
    if (lower[i] < L'0' || lower[i] > L'9') return false;
  }
  return true;
}

void InstallDriverPackages(const ts::Vector<ts::WText>& packages) {
  ts::SetupApi setupApi;
  switch (setupApi.state()) {
    case ts::SetupApi::State::kNoLibrary:
      LogText("Cannot install INF files...unable to open Setupapi.dll\r\n");
      return;
    case ts::SetupApi::State::kNoCopyFunction:
      LogText("Cannot install INF files...unable to link to SetupCopyOEMInf()\r\n");
      return;
    case ts::SetupApi::State::kReady: LogText("\r\n"); break;
  }
  for (const ts::WText& path : packages) InstallDriverPackage(setupApi, path);
}

}  // namespace palisade
