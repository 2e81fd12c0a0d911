#include "uninstall/removal_safety.h"

#include <windows.h>

#include <cwctype>

#include "actions/file_destination.h"
#include "core/system_facts.h"
#include "core/ts_no_follow.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"

namespace palisade {
namespace {

ts::WText Folded(const ts::WText& path) {
  ts::WText folded = path;
  for (wchar_t& c : folded) c = static_cast<wchar_t>(towlower(c));
  while (folded.size() > 3 && folded.back() == L'\\') folded.pop_back();
  return folded;
}

bool IsSameOrAncestor(const ts::WText& folder, const ts::WText& other) {
  if (other.size() < folder.size()) return false;
  if (other.compare(0, folder.size(), folder) != 0) return false;
  return other.size() == folder.size() || other[folder.size()] == L'\\' || folder.back() == L'\\';
}

// The path as the file system reads it, which is what a deletion reaches:
// Win32's rewriting applied (a step's closing dot dropped and the like) and
// the short names of the steps that exist made long.
ts::WText AsTheFileSystemReadsIt(const ts::WText& path) {
  ts::WText full = ts::FullPath(path);
  // The system's short names always hold a "~"; without one there is no
  // short name to make long, and asking costs a folder search per step,
  // which made an uninstallation of a few thousand files take seconds.
  if (full.find(L'~') == ts::WText::npos) return full;
  for (size_t end = full.size(); end != ts::WText::npos && end > 3; end = full.find_last_of(L'\\', end - 1)) {
    ts::WText existing = full.substr(0, end);
    if (GetFileAttributesW(existing.c_str()) != INVALID_FILE_ATTRIBUTES) return ts::LongPath(existing) + full.substr(end);
  }
  return full;
}

// The path folded as it is written and as the file system reads it: a
// check passed by both cannot be slipped past with a short name or a step
// that the system rewrites.
std::vector<ts::WText> FoldedForms(const ts::WText& path) {
  return {Folded(path), Folded(AsTheFileSystemReadsIt(path))};
}

ts::WText EnvironmentFolder(const wchar_t* name) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length && length < MAX_PATH ? ts::WText(buffer) : ts::WText();
}

ts::WText ProfilesFolder() {
  ts::WText folder;
  ts::ReadRegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                       L"ProfilesDirectory", folder);
  ts::WText expanded;
  return ts::ExpandEnvironmentText(folder, expanded) ? expanded : folder;
}

}  // namespace

bool IsPlainLocalPath(const ts::WText& path) {
  bool drive = path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
  return drive && path == ts::NormalisedPath(path) && (path.size() == 3 || IsContainedRelativePath(path.substr(3)));
}

bool IsProtectedFolder(const ts::WText& folder, const std::vector<ts::WText>& protectedFolders) {
  for (const ts::WText& candidate : FoldedForms(folder)) {
    if (candidate.size() <= 3) return true;
    for (const ts::WText& system : protectedFolders) {
      if (!system.empty() && IsSameOrAncestor(candidate, Folded(system))) return true;
    }
  }
  return false;
}

bool IsRemovableFile(const ts::WText& path, const std::vector<ts::WText>& machineFolders,
                     const ts::WText& windowsFolder) {
  if (!IsPlainLocalPath(path) || path.size() <= 3) return false;
  ts::WText folder = path.substr(0, path.find_last_of(L'\\'));
  if (IsProtectedFolder(folder, machineFolders)) return false;
  if (windowsFolder.empty()) return true;
  for (const ts::WText& form : FoldedForms(path)) {
    if (IsSameOrAncestor(Folded(windowsFolder), form)) return false;
  }
  return true;
}

bool IsPortableRootShortcut(const ts::WText& path, const ts::WText& installFolder, bool portable) {
  constexpr std::wstring_view kLinkExtension = L".lnk";
  bool inRoot = IsPlainLocalPath(path) && path.find(L'\\', 3) == ts::WText::npos;
  bool sameDrive = installFolder.size() >= 2 && _wcsnicmp(path.c_str(), installFolder.c_str(), 2) == 0;
  bool link = path.size() > 3 + kLinkExtension.size() &&
              _wcsicmp(path.c_str() + path.size() - kLinkExtension.size(), kLinkExtension.data()) == 0;
  return portable && inRoot && sameDrive && link;
}

bool IsRemovableFolder(const ts::WText& folder, const std::vector<ts::WText>& protectedFolders) {
  return IsPlainLocalPath(folder) && !IsProtectedFolder(folder, protectedFolders) && !ts::LeadsElsewhere(folder);
}

std::vector<ts::WText> MachineFolders() {
  using ts::FolderKind;
  return {
      ts::WindowsFolder(),
      ts::SystemFolder(),
      ts::ProgramFilesFolder(FolderKind::k32Bit),
      ts::ProgramFilesFolder(FolderKind::k64Bit),
      ts::CommonFilesFolder(FolderKind::k32Bit),
      ts::CommonFilesFolder(FolderKind::k64Bit),
      ProfilesFolder(),
      EnvironmentFolder(L"USERPROFILE"),
      EnvironmentFolder(L"PUBLIC"),
      EnvironmentFolder(L"ProgramData"),
  };
}

std::vector<ts::WText> ProtectedFolders() {
  using ts::SpecialFolderId;
  std::vector<ts::WText> folders = MachineFolders();
  for (SpecialFolderId id : {SpecialFolderId::kAppDataAll, SpecialFolderId::kAppData, SpecialFolderId::kDesktopAll,
                             SpecialFolderId::kDesktop, SpecialFolderId::kDocumentsAll, SpecialFolderId::kDocuments,
                             SpecialFolderId::kFavoritesAll, SpecialFolderId::kFavorites, SpecialFolderId::kFonts,
                             SpecialFolderId::kProgramsAll, SpecialFolderId::kPrograms, SpecialFolderId::kStartMenuAll,
                             SpecialFolderId::kStartMenu, SpecialFolderId::kStartupAll, SpecialFolderId::kStartup}) {
    folders.push_back(ts::SpecialFolder(id));
  }
  return folders;
}

}  // namespace palisade
