#pragma once
// What the product's registration in HKLM vouches for before the uninstaller
// trusts a file of the uninstall folder, which users may be able to write:
// the uninstaller that runs must be the one the key names, lying in the
// folder the key names, and both it and "Uninstall.DAT" must hold the bytes
// whose hashes the key keeps (record_hashes.h).
#include "core/ts_registry.h"
#include "core/ts_text.h"

namespace palisade {

struct RegisteredFiles {
  ts::WText uninstallerCommand;  // `UninstallString`
  ts::WText recordHash;          // `UninstallDataHash`
  ts::WText uninstallerHash;     // `UninstallerHash`
};

RegisteredFiles ReadRegisteredFiles(const ts::RegistryKey& key);

// The program of the registered command is the running file and lies in
// `uninstallFolder`, as the file system tells it through the opened
// objects.
bool RunsAsRegisteredUninstaller(const RegisteredFiles& registered, const ts::WText& runningFile,
                                 const ts::WText& uninstallFolder);

// Both hashes match. A registration from before the hashes holds neither
// value and vouches for nothing: it is taken as it is. One value without
// the other matches nothing.
bool MatchesRegisteredHashes(const RegisteredFiles& registered, const ts::WText& recordHash,
                             const ts::WText& uninstallerHash);

}  // namespace palisade
