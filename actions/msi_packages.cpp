#include "actions/msi_packages.h"

#include <windows.h>

#include <charconv>

#include "actions/applets.h"
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
  ts::Text line = "\"" + StoredText(package.path) + "\"," + std::to_string(package.uiLevel);
  return package.productCode.empty() ? line : line + "," + StoredText(package.productCode);
}

bool ParsePackageLine(std::string_view line, RecordedPackage& package) {
  constexpr size_t kOlderFields = 2, kFields = 3;
  ts::Vector<ts::Text> fields = ts::CsvFields(line);
  size_t count = static_cast<size_t>(fields.Count());
  if ((count != kOlderFields && count != kFields) || fields[0].empty() || fields[1].empty()) return false;
  const ts::Text& level = fields[1];
  int value = 0;
  auto [end, error] = std::from_chars(level.data(), level.data() + level.size(), value);
  if (error != std::errc() || end != level.data() + level.size()) return false;
  ts::WText code = count == kFields ? WideFromStoredText(fields[2]) : ts::WText();
  if (count == kFields && !IsClassIdentifier(code)) return false;
  package.path = WideFromStoredText(fields[0]);
  package.uiLevel = value;
  package.productCode = code;
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
  // The uninstaller removes the product by its code: the file in the
  // installation folder may have been replaced by then.
  if (removeAtUninstall) {
    RecordSectionLine(RecordSection::kPackages, PackageLine({path, uiLevel, ts::MsiPackageProductCode(path)}));
  }
}

}  // namespace palisade
