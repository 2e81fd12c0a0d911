#include "actions/install_folder.h"

#include <windows.h>

#include <algorithm>

#include "core/system_facts.h"
#include "core/ts_no_follow.h"
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

bool IsOnTheWay(const ts::WText& folder, const std::vector<ts::WText>& productFolders) {
  return std::any_of(productFolders.begin(), productFolders.end(),
                     [&folder](const ts::WText& product) { return SameOrBelow(product, folder); });
}

std::vector<ts::WText> ProductFolders() { return {g_installer.installFolder, SharedFolder()}; }

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
  std::vector<ts::WText> existing;
  for (const ts::WText& step : PathSteps(ts::FullPath(folder))) {
    ts::Reach reach = ts::ReachOf(step);
    // Nothing lies beyond a step that does not exist yet.
    if (reach == ts::Reach::kNothing) break;
    if (reach == ts::Reach::kFailure) return CannotCheck(folder, step, GetLastError());
    // The steps before were judged themselves: this one is the link.
    if (reach == ts::Reach::kElsewhere) {
      return L"Installation path \"" + folder + L"\" leads through the link \"" + step + L"\".";
    }
    existing.push_back(step);
  }
  // A standard user's own run has nothing to fear from the user's folders;
  // a drive root is never moved away.
  if (earlierInstallationsFolder || existing.size() < 2 || !ts::RunsAsAdministrator() ||
      !ts::KeepsAccessLists(existing.back())) {
    return {};
  }
  // The owner of any folder on the way may move the rest of the way aside
  // and put a link in its place.
  for (size_t i = 1; i < existing.size(); ++i) {
    ts::FileOwner owner;
    DWORD error = ts::ReadOwner(existing[i], owner);
    if (error != ERROR_SUCCESS) return CannotCheck(folder, existing[i], error);
    if (!owner.administrative) {
      return L"Installation path \"" + folder + L"\": \"" + existing[i] + L"\" belongs to " + owner.name +
             L", not to an administrator.";
    }
  }
  return {};
}

bool NeedsProgramFolderList(const ts::WText& folder, const std::vector<ts::WText>& productFolders,
                            const std::vector<ts::WText>& programFolders) {
  bool onTheWay = IsOnTheWay(folder, productFolders);
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
  if (ts::RunsAsAdministrator() && NeedsProgramFolderList(folder, ProductFolders(), programFolders)) {
    return ts::CreateProgramFolder(folder);
  }
  return CreateDirectoryW(folder.c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
}

bool LeadsElsewhere(const ts::WText& folder, ts::WText& reason) {
  // A drive root comes as "E:", which opened alone is the drive's current
  // folder, not the root.
  ts::WText path = folder.size() == 2 && folder[1] == L':' ? folder + L"\\" : folder;
  if (!IsOnTheWay(folder, ProductFolders()) || ts::ReachOf(path) != ts::Reach::kElsewhere) return false;
  reason = L"Cannot create directory because \"" + folder + L"\" is a link to another place.";
  return true;
}

}  // namespace palisade
