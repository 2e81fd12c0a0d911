#include "core/ts_tree.h"

#include <windows.h>

#include "core/ts_no_follow.h"
#include "core/ts_system.h"

namespace ts {
namespace {

constexpr DWORD kRetryFor = 2000;
constexpr DWORD kRetryStep = 100;

bool IsKept(const WText& path, const std::vector<WText>& keep) {
  for (const WText& kept : keep) {
    if (CompareStringOrdinal(path.c_str(), -1, kept.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
  }
  return false;
}

bool RemoveFolderPatiently(HeldObject& folder) {
  for (DWORD waited = 0;; waited += kRetryStep) {
    if (folder.Delete() == Reach::kObject) return true;
    if (GetLastError() != ERROR_DIR_NOT_EMPTY || waited >= kRetryFor) return false;
    Sleep(kRetryStep);
  }
}

bool DeleteHeldTree(HeldObject& folder, const std::vector<WText>& keep, bool& holdsKept);

// An entry is opened relative to its held folder, so that a folder swapped
// for a link after it was listed is not entered: the link is deleted as a
// link, or, where the system cannot open a link as itself, left alone.
bool DeleteEntry(const HeldObject& folder, const WText& name, const std::vector<WText>& keep, bool& holdsKept) {
  HeldObject entry;
  Reach reach = entry.OpenEntry(folder, name);
  if (reach == Reach::kNothing) return true;
  if (reach != Reach::kObject) return false;
  if (entry.IsLink() || !entry.IsFolder()) return entry.Delete() == Reach::kObject;
  bool innerKept = false;
  bool deleted = DeleteHeldTree(entry, keep, innerKept);
  holdsKept = holdsKept || innerKept;
  return deleted;
}

bool DeleteHeldTree(HeldObject& folder, const std::vector<WText>& keep, bool& holdsKept) {
  std::vector<WText> names;
  bool everything = folder.ListEntries(names);
  for (const WText& name : names) {
    if (IsKept(folder.Path() + L"\\" + name, keep)) {
      holdsKept = true;
      continue;
    }
    everything = DeleteEntry(folder, name, keep, holdsKept) && everything;
  }
  if (holdsKept) return everything;
  return RemoveFolderPatiently(folder) && everything;
}

}  // namespace

bool DeleteTree(const WText& folder, const std::vector<WText>& keep) {
  std::vector<WText> kept;
  for (const WText& path : keep) kept.push_back(LongPath(path));
  HeldObject root;
  if (root.Open(NormalisedPath(folder), ObjectKind::kFolder) != Reach::kObject || root.IsLink()) return false;
  bool holdsKept = false;
  return DeleteHeldTree(root, kept, holdsKept);
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
