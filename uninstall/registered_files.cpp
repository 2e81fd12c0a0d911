#include "uninstall/registered_files.h"

#include "core/ts_file.h"
#include "core/ts_system.h"
#include "record/record_hashes.h"

namespace palisade {

RegisteredFiles ReadRegisteredFiles(const ts::RegistryKey& key) {
  RegisteredFiles registered;
  registered.uninstallerCommand = key.Text(L"UninstallString");
  registered.recordHash = key.Text(kRecordHashValue);
  registered.uninstallerHash = key.Text(kUninstallerHashValue);
  return registered;
}

bool RunsAsRegisteredUninstaller(const RegisteredFiles& registered, const ts::WText& runningFile,
                                 const ts::WText& uninstallFolder) {
  ts::WText program = ts::ProgramOf(registered.uninstallerCommand);
  ts::WText programFolder = ts::ProgramFolderOf(registered.uninstallerCommand);
  return !program.empty() && !programFolder.empty() && ts::IsSameFileObject(program, runningFile) &&
         ts::IsSameFileObject(programFolder, uninstallFolder);
}

bool MatchesRegisteredHashes(const RegisteredFiles& registered, const ts::WText& recordHash,
                             const ts::WText& uninstallerHash) {
  if (registered.recordHash.empty() && registered.uninstallerHash.empty()) return true;
  return !recordHash.empty() && !uninstallerHash.empty() && registered.recordHash == recordHash &&
         registered.uninstallerHash == uninstallerHash;
}

}  // namespace palisade
