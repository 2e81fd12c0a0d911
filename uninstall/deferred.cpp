#include "uninstall/deferred.h"

#include <windows.h>

#include "core/system_facts.h"

namespace palisade {

void HandlePendingOperations() {}
void RemovePendingOperations(const std::set<ts::WText>&) {}
void RunConditionalDeletion(ConditionalPhase) {}

ts::WText MakeTemporaryFile(const ts::WText& folder, const wchar_t* extension) {
  ts::WText where = folder.empty() ? ts::TempFolder() : folder;
  wchar_t name[MAX_PATH + 16] = {};
  if (GetFileAttributesW(where.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  if (!GetTempFileNameW(where.c_str(), L"TST", 0, name)) return {};
  if (!extension) return name;
  ts::WText named = ts::WText(name).substr(0, ts::WText(name).rfind(L'.') + 1) + extension;
  if (MoveFileW(name, named.c_str())) return named;
  DeleteFileW(name);
  return {};
}

bool ReplaceAtRestart(const ts::WText& temporary, const ts::WText& destination) {
  return MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool DeleteAtRestart(const ts::WText& path) {
  return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

}  // namespace palisade
