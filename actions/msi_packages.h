#pragma once
// Windows Installer packages: installed the moment the file phase has
// written them, and kept in the record's "[MSI]" section for the
// uninstaller when the product asks for it.
#include <cstdint>
#include <string_view>

#include "core/ts_text.h"

namespace palisade {

// The user-interface level that asks the Windows Installer for no window.
inline constexpr int kMsiSilentUiLevel = 2;

// Installs the package at `path` with `uiLevel` (kMsiSilentUiLevel in a
// silent run) and "REBOOT=R"; logs the outcome, reports a failure in the
// failure summary, and records a package that installed when
// `removeAtUninstall` is set.
void InstallMsiPackage(const ts::WText& path, int uiLevel, bool removeAtUninstall);

// One "[MSI]" line: the path in double quotes, a comma, the level, and,
// unless the package's product code could not be read, a comma and the
// code. Lines of older installations have no code.
struct RecordedPackage {
  ts::WText path;
  int uiLevel = 0;
  ts::WText productCode;  // braced; empty: not recorded
};
ts::Text PackageLine(const RecordedPackage& package);
// False for a line that is not a path and a decimal level, followed by
// nothing or by a braced product code.
bool ParsePackageLine(std::string_view line, RecordedPackage& package);

// The log line (and failure text) of a package's result.
ts::WText PackageResultText(uint32_t result, const ts::WText& systemText);

}  // namespace palisade
