#include "actions/msi_packages.h"

#include <windows.h>

#include <charconv>

#include "actions/components.h"
#include "actions/install_log.h"
#include "core/ts_components.h"
#include "core/ts_csv.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "record/uninstall_record.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

// A package that wants a restart leaves it to the installer's own question.
constexpr wchar_t kInstallCommandLine[] = L"REBOOT=R";

}  // namespace

ts::Text PackageLine(const RecordedPackage& package) {
  return "\"" + StoredText(package.path) + "\"," + std::to_string(package.uiLevel);
}

bool ParsePackageLine(std::string_view line, RecordedPackage& package) {
  ts::Vector<ts::Text> fields = ts::CsvFields(line);
  if (fields.Count() != 2 || fields[0].empty() || fields[1].empty()) return false;
  const ts::Text& level = fields[1];
  int value = 0;
  auto [end, error] = std::from_chars(level.data(), level.data() + level.size(), value);
  if (error != std::errc() || end != level.data() + level.size()) return false;
  package.path = WideFromStoredText(fields[0]);
  package.uiLevel = value;
  return true;
}

ts::WText PackageResultText(uint32_t result, const ts::WText& systemText) {
  if (result == ERROR_SUCCESS) return L"OK\r\n";
  return ts::Format(L"FAILED code %u: ", result) + systemText + L"\r\n";
}

void InstallMsiPackage(const ts::WText& path, int uiLevel, bool removeAtUninstall) {
  ShowRegistrationStatus(path);
  if (g_installer.flags.silent) uiLevel = kMsiSilentUiLevel;
  UINT result = ts::RunMsiPackage(path, uiLevel, g_installer.backgroundWindow, kInstallCommandLine);
  ts::WText line = L"Installing MSI package \"" + path + L"\"..." +
                   PackageResultText(result, ts::SystemErrorTextW(result));
  LogWideText(line);
  if (result != ERROR_SUCCESS) {
    AddToFailureSummary(line);
    return;
  }
  if (removeAtUninstall) RecordSectionLine(RecordSection::kPackages, PackageLine({path, uiLevel}));
}

}  // namespace palisade
