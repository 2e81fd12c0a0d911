#include "core/ts_tree.h"

#include <windows.h>

#include "core/ts_system.h"

namespace ts {
namespace {

constexpr DWORD kRetryFor = 2000;
constexpr DWORD kRetryStep = 100;

bool IsDotEntry(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

bool IsKept(const WText& path, const std::vector<WText>& keep) {
  for (const WText& kept : keep) {
    if (CompareStringOrdinal(path.c_str(), -1, kept.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
  }
  return false;
}

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

bool RemoveLink(const WText& path, bool folder) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return folder ? RemoveDirectoryW(path.c_str()) != 0 : DeleteFileW(path.c_str()) != 0;
}

bool DeleteTreeKeeping(const WText& folder, const std::vector<WText>& keep, bool& holdsKept);

bool DeleteEntry(const WText& path, const WIN32_FIND_DATAW& found, const std::vector<WText>& keep, bool& holdsKept) {
  bool folder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveLink(path, folder);
  if (!folder) return DeleteFileForcibly(path);
  bool innerKept = false;
  bool deleted = DeleteTreeKeeping(path, keep, innerKept);
  holdsKept = holdsKept || innerKept;
  return deleted;
}

bool DeleteTreeKeeping(const WText& folder, const std::vector<WText>& keep, bool& holdsKept) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  bool everything = true;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (IsDotEntry(found.cFileName)) continue;
      WText path = folder + L"\\" + found.cFileName;
      if (IsKept(path, keep)) {
        holdsKept = true;
        continue;
      }
      everything = DeleteEntry(path, found, keep, holdsKept) && everything;
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  if (holdsKept) return everything;
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveFolderPatiently(folder) && everything;
}

}  // namespace

bool DeleteTree(const WText& folder, const std::vector<WText>& keep) {
  std::vector<WText> kept;
  for (const WText& path : keep) kept.push_back(LongPath(path));
  bool holdsKept = false;
  return DeleteTreeKeeping(LongPath(folder), kept, holdsKept);
}

std::vector<WText> MatchingFiles(const WText& pattern) {
  std::vector<WText> files;
  size_t slash = pattern.find_last_of(L'\\');
  if (slash == WText::npos) return files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(pattern.substr(0, slash + 1) + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

}  // namespace ts
