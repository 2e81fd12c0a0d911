#include "core/ts_tree.h"

#include <windows.h>

namespace ts {
namespace {

constexpr DWORD kRetryFor = 2000;
constexpr DWORD kRetryStep = 100;

bool IsDotEntry(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

bool DeleteFileForcibly(const WText& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != 0;
}

bool RemoveFolderPatiently(const WText& folder) {
  for (DWORD waited = 0;; waited += kRetryStep) {
    if (RemoveDirectoryW(folder.c_str())) return true;
    if (GetLastError() != ERROR_DIR_NOT_EMPTY || waited >= kRetryFor) return false;
    Sleep(kRetryStep);
  }
}

bool DeleteEntry(const WText& path, const WIN32_FIND_DATAW& found) {
  bool folder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return folder ? RemoveDirectoryW(path.c_str()) != 0 : DeleteFileW(path.c_str()) != 0;
  }
  return folder ? DeleteTree(path) : DeleteFileForcibly(path);
}

}  // namespace

bool DeleteTree(const WText& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  bool everything = true;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (IsDotEntry(found.cFileName)) continue;
      everything = DeleteEntry(folder + L"\\" + found.cFileName, found) && everything;
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveFolderPatiently(folder) && everything;
}

}  // namespace ts
