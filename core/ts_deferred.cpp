#include "core/ts_deferred.h"

#include <windows.h>
#include <shellapi.h>

#include "core/system_facts.h"
#include "core/ts_file.h"
#include "core/ts_private_folder.h"
#include "core/ts_system.h"

namespace ts {
namespace {

constexpr wchar_t kPrefix[] = L"TST";
constexpr int kNameDigits = 8;
// A name that exists is someone else's file: another draw is tried, a few
// times in case chance met it.
constexpr int kNameTries = 8;
constexpr char kRenameSection[] = "[rename]";
constexpr char kDeleteDestination[] = "NUL";
constexpr FILEOP_FLAGS kRecycleQuietly = 0x454;  // silent, no confirmation, undoable, no error box

using MoveFileExFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);

bool Exists(const WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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

WText MakeTemporaryFileName(const WText& folder, const WText& extension) {
  if (folder.empty()) {  // not the root of whatever drive is current
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  const WText wanted = !extension.empty() && extension[0] == L'.' ? extension.substr(1) : extension;
  const WText suffix = wanted.empty() ? WText(L"tmp") : wanted;
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameTries && error == ERROR_FILE_EXISTS; ++attempt) {
    WText digits = RandomHexDigits(kNameDigits);
    if (digits.empty()) return {};
    WText name = folder + L"\\" + kPrefix + digits + L"." + suffix;
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return name;
    }
    error = GetLastError();
  }
  SetLastError(error);
  return {};
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
