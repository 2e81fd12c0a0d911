#pragma once
// The values of the product's uninstall key that vouch for the files the
// uninstaller trusts: "Uninstall.DAT" and the uninstaller itself lie in a
// folder that users may be able to write, the key in HKLM, which only
// administrators can write. Each value is the lowercase hex SHA-256 of the
// file's bytes as the run wrote them.
#include <windows.h>

#include <string_view>

#include "core/ts_file.h"
#include "core/ts_text.h"

namespace palisade {

inline constexpr wchar_t kRecordHashValue[] = L"UninstallDataHash";
inline constexpr wchar_t kUninstallerHashValue[] = L"UninstallerHash";

ts::WText HashOfBytes(std::string_view bytes);
// What the file holds, read in pieces through its own handle, which lets
// others read but not write it meanwhile; empty when it cannot be read.
ts::WText HashOfFile(const ts::WText& path);

// Whether the product's key below HKLM vouches for a record with this hash:
// it keeps the same `UninstallDataHash`, or neither value (an installation
// from before the hashes). False when the key is missing.
bool KeyVouchesForRecord(const ts::WText& keyPath, const ts::WText& recordHash);

// Sets both values in the existing key below HKLM; ERROR_SUCCESS or the
// system's error number.
LONG StoreFileHashes(const ts::WText& keyPath, const ts::WText& recordHash, const ts::WText& uninstallerHash);

}  // namespace palisade
