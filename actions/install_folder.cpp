#include "actions/install_folder.h"

#include <windows.h>

#include <algorithm>

#include "core/system_facts.h"
#include "core/ts_security.h"
#include "core/ts_system.h"
#include "payload/variables.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

bool SameOrBelow(const ts::WText& path, const ts::WText& folder) {
  if (folder.empty() || path.size() < folder.size() || _wcsnicmp(path.c_str(), folder.c_str(), folder.size()) != 0) {
    return false;
  }
  return path.size() == folder.size() || path[folder.size()] == L'\\' || folder.back() == L'\\';
}

// Where the root of a full path ends: after "C:\" or after the share of
// "\\server\share\".
size_t RootLength(const ts::WText& fullPath) {
  if (fullPath.rfind(L"\\\\", 0) != 0) return std::min<size_t>(3, fullPath.size());
  size_t server = fullPath.find(L'\\', 2);
  size_t share = server == ts::WText::npos ? ts::WText::npos : fullPath.find(L'\\', server + 1);
  return share == ts::WText::npos ? fullPath.size() : share + 1;
}

ts::WText CannotCheck(const ts::WText& folder, const ts::WText& step, DWORD error) {
  return L"Installation path \"" + folder + L"\" cannot be checked at \"" + step + L"\": " +
         ts::SystemErrorTextW(error);
}

}  // namespace

std::vector<ts::WText> PathSteps(const ts::WText& fullPath) {
  size_t rootLength = RootLength(fullPath);
  std::vector<ts::WText> steps = {fullPath.substr(0, rootLength)};
  for (size_t start = rootLength; start < fullPath.size();) {
    size_t slash = fullPath.find(L'\\', start);
    if (slash == ts::WText::npos) slash = fullPath.size();
    if (slash > start) steps.push_back(fullPath.substr(0, slash));
    start = slash + 1;
  }
  return steps;
}

ts::WText InstallFolderRefusal(const ts::WText& folder, bool earlierInstallationsFolder) {
  ts::WText deepest;
  for (const ts::WText& step : PathSteps(ts::FullPath(folder))) {
    bool link = false;
    DWORD error = ts::IsLink(step, link);
    // Nothing lies beyond a step that does not exist yet.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) break;
    if (error != ERROR_SUCCESS) return CannotCheck(folder, step, error);
    if (link) return L"Installation path \"" + folder + L"\" leads through the link \"" + step + L"\".";
    deepest = step;
  }
  // A standard user's own run has nothing to fear from the user's folders.
  if (earlierInstallationsFolder || deepest.empty() || !ts::RunsAsAdministrator() || !ts::KeepsAccessLists(deepest)) {
    return {};
  }
  ts::FileOwner owner;
  DWORD error = ts::ReadOwner(deepest, owner);
  if (error != ERROR_SUCCESS) return CannotCheck(folder, deepest, error);
  if (owner.administrative) return {};
  return L"Installation path \"" + folder + L"\": \"" + deepest + L"\" belongs to " + owner.name +
         L", not to an administrator.";
}

bool NeedsProgramFolderList(const ts::WText& folder, const std::vector<ts::WText>& productFolders,
                            const std::vector<ts::WText>& programFolders) {
  bool onTheWay = std::any_of(productFolders.begin(), productFolders.end(),
                              [&folder](const ts::WText& product) { return SameOrBelow(product, folder); });
  bool inProgramFolder = std::any_of(programFolders.begin(), programFolders.end(),
                                     [&folder](const ts::WText& program) { return SameOrBelow(folder, program); });
  return onTheWay && !inProgramFolder;
}

unsigned long CreateProductFolder(const ts::WText& folder) {
  // The user's own profile is closed to other users already, and the
  // product may write its folder there without elevation.
  std::vector<ts::WText> programFolders = {ts::ProgramFilesFolder(ts::FolderKind::k32Bit),
                                           ts::ProgramFilesFolder(ts::FolderKind::k64Bit), ts::WindowsFolder(),
                                           ts::UserProfileFolder()};
  if (ts::RunsAsAdministrator() &&
      NeedsProgramFolderList(folder, {g_installer.installFolder, SharedFolder()}, programFolders)) {
    return ts::CreateProgramFolder(folder);
  }
  return CreateDirectoryW(folder.c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace palisade
