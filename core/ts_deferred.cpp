#include "core/ts_deferred.h"

#include <windows.h>
#include <shellapi.h>

#include "core/system_facts.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_system.h"

namespace ts {
namespace {

constexpr wchar_t kPrefix[] = L"TST";
constexpr int kNameTries = 400;
constexpr int kTempFolderTry = 200;
constexpr int kDriveTempTry = 300;
constexpr wchar_t kDriveTempFolder[] = L"c:\\temp";
constexpr char kRenameSection[] = "[rename]";
constexpr char kDeleteDestination[] = "NUL";
constexpr FILEOP_FLAGS kRecycleQuietly = 0x454;  // silent, no confirmation, undoable, no error box

using MoveFileExFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);

bool Exists(const WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

WText WithExtension(const WText& path, const WText& extension) {
  size_t dot = path.find_last_of(L'.');
  size_t slash = path.find_last_of(L'\\');
  WText stem = dot != WText::npos && (slash == WText::npos || dot > slash) ? path.substr(0, dot) : path;
  return stem + L"." + extension;
}

WText SystemUniqueName(const WText& folder, const WText& extension) {
  wchar_t name[MAX_PATH + 1] = {};
  if (!GetTempFileNameW(folder.c_str(), kPrefix, 0, name)) return {};
  if (extension.empty()) return name;
  WText renamed = WithExtension(name, extension);
  if (MoveFileW(name, renamed.c_str())) return renamed;
  DeleteFileW(name);
  return {};
}

WText FreeName(WText folder, const WText& extension, bool noFallback) {
  const WText suffix = extension.empty() ? WText(L"tmp") : extension;
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 1; attempt <= kNameTries; ++attempt) {
    if (!noFallback && attempt == kTempFolderTry) folder = TempFolder();
    if (!noFallback && attempt == kDriveTempTry && Exists(kDriveTempFolder)) folder = kDriveTempFolder;
    seed = seed * 1103515245u + 12345u;
    WText name = folder + L"\\" + Format(L"%s%4X.%s", kPrefix, static_cast<unsigned>((seed >> 16) & 0xFFFF),
                                         suffix.c_str());
    if (!Exists(name)) return name;
  }
  return {};
}

// The form the system's start-up reads: short, and in the ANSI code page.
Text WininitPath(const WText& path) {
  wchar_t shortPath[MAX_PATH + 1] = {};
  DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH + 1);
  return AnsiFromWide(length > 0 && length <= MAX_PATH ? WText(shortPath, length) : path);
}

WText WininitFile() { return WindowsFolder() + L"\\wininit.ini"; }

// The system's list of pending moves when it keeps one; otherwise, and when
// it refuses the move on a system whose start-up still runs "wininit.exe",
// "wininit.ini". `destination` null deletes.
bool DeferUntilRestart(const WText& source, const WText* destination, DWORD flags) {
  auto moveFileEx = LoadedFunction<MoveFileExFunction>(L"kernel32.dll", "MoveFileExW");
  if (moveFileEx) {
    if (moveFileEx(source.c_str(), destination ? destination->c_str() : nullptr, flags)) return true;
    DWORD error = GetLastError();
    if (!Exists(WindowsFolder() + L"\\wininit.exe")) {
      SetLastError(error);
      return false;
    }
  }
  return AddWininitLine(WininitFile(), destination ? *destination : WText(), source);
}

bool RecycleFile(const WText& path) {
  WText from = path + L'\0';  // the shell reads a list that ends with an empty name
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = kRecycleQuietly;
  return SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
}

}  // namespace

WText MakeTemporaryFileName(const WText& folder, const WText& extension, bool noFallback) {
  WText where = folder.empty() ? TempFolder() : folder;
  if (!Exists(where)) return {};
  WText wanted = !extension.empty() && extension[0] == L'.' ? extension.substr(1) : extension;
  WText name = SystemUniqueName(where, wanted);
  return name.empty() ? FreeName(where, wanted, noFallback) : name;
}

bool ReplaceAtRestart(const WText& temporary, const WText& destination) {
  return DeferUntilRestart(temporary, &destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool DeleteAtRestart(const WText& path) { return DeferUntilRestart(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }

bool DeleteFileWithOptions(const WText& path, uint32_t flags) {
  if (path.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!(flags & delete_file::kKeepAttributes)) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
  }
  if (flags & delete_file::kAtRestart) return DeleteAtRestart(path);
  if (flags & delete_file::kToRecycleBin) return RecycleFile(path);
  if (DeleteFileW(path.c_str())) return true;
  DWORD error = GetLastError();
  bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  if (missing && (flags & delete_file::kMissingIsDeleted)) return true;
  if (!missing && (flags & delete_file::kAtRestartIfInUse)) return DeleteAtRestart(path);
  SetLastError(error);
  return false;
}

Text WithWininitLine(const Text& ini, const Text& destination, const Text& source) {
  Text line = destination + "=" + source;
  size_t section = ini.find(kRenameSection);
  if (section != Text::npos) {
    size_t after = section + sizeof kRenameSection - 1;
    return ini.substr(0, after) + "\r\n" + line + ini.substr(after);
  }
  Text text = ini;
  if (!text.empty() && text.back() != '\n') text += "\r\n";
  return text + kRenameSection + "\r\n" + line;
}

bool AddWininitLine(const WText& iniPath, const WText& destination, const WText& source) {
  File file;
  Text text;
  if (!file.OpenForUpdate(iniPath) || !file.ReadWhole(text)) return false;
  Text target = destination.empty() ? Text(kDeleteDestination) : WininitPath(destination);
  Text updated = WithWininitLine(text, target, WininitPath(source));
  file.Close();
  File out;
  return out.Create(iniPath) && out.WriteBlock(updated.data(), static_cast<int>(updated.size()));
}

}  // namespace ts
