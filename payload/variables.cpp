#include "payload/variables.h"

#include <string>

#include "state/installer_state.h"
#include "core/system_facts.h"
#include "core/ts_format.h"
#include "core/ts_system.h"

namespace palisade {
namespace {

using ts::SpecialFolderId;

constexpr uint8_t kShortcutsForAllUsers = 1;

ts::WText FromUtf8(const std::string& text) { return ts::WideFromUtf8(text); }
ts::WText Number(unsigned number) { return ts::Format(L"%u", number); }
ts::WText Flag(bool on) { return on ? L"1" : L"0"; }

ts::FolderKind ProductFolderKind() {
  return IsProduct64(g_installer.script.bitness) ? ts::FolderKind::k64Bit : ts::FolderKind::k32Bit;
}

ts::WText FolderOf(const ts::WText& path) {
  size_t slash = path.rfind(L'\\');
  return slash == ts::WText::npos ? ts::WText() : path.substr(0, slash);
}

ts::WText FileNameOf(const ts::WText& path) { return path.substr(path.rfind(L'\\') + 1); }

// The piece of a dotted version at `index` (0 major, 1 minor); empty when
// the version has fewer pieces.
ts::WText VersionPart(const ts::WText& version, int index) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    start = version.find(L'.', start);
    if (start == ts::WText::npos) return {};
    ++start;
  }
  return version.substr(start, version.find(L'.', start) - start);
}

ts::WText DesktopShortcutsFolder() {
  bool allUsers = g_installer.script.shortcutMode == kShortcutsForAllUsers;
  ts::WText desktop = ts::SpecialFolder(allUsers ? SpecialFolderId::kDesktopAll : SpecialFolderId::kDesktop);
  const std::string& productFolder = g_installer.script.desktopFolder;
  return productFolder.empty() ? desktop : desktop + L"\\" + FromUtf8(productFolder);
}

constexpr InstallationVariable kVariables[] = {
    {L"%AppDataAllDir%", [] { return ts::SpecialFolder(SpecialFolderId::kAppDataAll); }},
    {L"%AppDataDir%", [] { return ts::SpecialFolder(SpecialFolderId::kAppData); }},
    {L"%Bits%", [] { return ts::WText(ts::System().is64Bit ? L"64" : L"32"); }},
    {L"%BootDrive%", [] { return ts::BootDrive(); }},
    {L"%CommonDir%", [] { return ts::CommonFilesFolder(ProductFolderKind()); }},
    {L"%CommonDir32%", [] { return ts::CommonFilesFolder(ts::FolderKind::k32Bit); }},
    {L"%CommonDir64%", [] { return ts::CommonFilesFolder(ts::FolderKind::k64Bit); }},
    {L"%DesktopAllDir%", [] { return ts::SpecialFolder(SpecialFolderId::kDesktopAll); }},
    {L"%DesktopDir%", [] { return ts::SpecialFolder(SpecialFolderId::kDesktop); }},
    {L"%DesktopShortcuts%", [] { return DesktopShortcutsFolder(); }},
    {L"%DeviceDir%", [] { return ts::DriverFolder(); }},
    {L"%DocumentAllDir%", [] { return ts::SpecialFolder(SpecialFolderId::kDocumentsAll); }},
    {L"%DocumentDir%", [] { return ts::SpecialFolder(SpecialFolderId::kDocuments); }},
    {L"%FavoritesAllDir%", [] { return ts::SpecialFolder(SpecialFolderId::kFavoritesAll); }},
    {L"%FavoritesDir%", [] { return ts::SpecialFolder(SpecialFolderId::kFavorites); }},
    {L"%FontDir%", [] { return ts::SpecialFolder(SpecialFolderId::kFonts); }},
    {L"%Inetpub%", [] { return ts::WebServerFolder(); }},
    {L"%InstallDir%", [] { return g_installer.installFolder; }},
    {L"%InstallDrive%", [] { return ts::DriveOf(g_installer.installFolder); }},
    {L"%InstallerDir%", [] { return FolderOf(ts::ModuleFileName()); }},
    {L"%InstallerDrive%", [] { return ts::DriveOf(ts::ModuleFileName()); }},
    {L"%InstallerFilename%", [] { return FileNameOf(ts::ModuleFileName()); }},
    {L"%InstallerFilepath%", [] { return ts::ModuleFileName(); }},
    {L"%MediaDir%", [] { return ts::MediaFolder(); }},
    {L"%OldVersion%", [] { return g_installer.oldVersion; }},
    {L"%OldVersionMajor%", [] { return VersionPart(g_installer.oldVersion, 0); }},
    {L"%OldVersionMinor%", [] { return VersionPart(g_installer.oldVersion, 1); }},
    {L"%Portable%", [] { return Flag(ts::IsPortableFolder(g_installer.installFolder)); }},
    {L"%ProductName%", [] { return FromUtf8(g_installer.script.productName); }},
    {L"%CompanyName%", [] { return FromUtf8(g_installer.script.publisher); }},
    {L"%ProgramsDir%", [] { return ts::ProgramFilesFolder(ProductFolderKind()); }},
    {L"%ProgramsDir32%", [] { return ts::ProgramFilesFolder(ts::FolderKind::k32Bit); }},
    {L"%ProgramsDir64%", [] { return ts::ProgramFilesFolder(ts::FolderKind::k64Bit); }},
    {L"%SharedDir%", [] { return SharedFolder(); }},
    {L"%SMProgramsAllDir%", [] { return ts::SpecialFolder(SpecialFolderId::kProgramsAll); }},
    {L"%SMProgramsDir%", [] { return ts::SpecialFolder(SpecialFolderId::kPrograms); }},
    {L"%StartMenuAllDir%", [] { return ts::SpecialFolder(SpecialFolderId::kStartMenuAll); }},
    {L"%StartMenuChosen%", [] { return FromUtf8(g_installer.script.startMenuFolder); }},
    {L"%StartMenuDir%", [] { return ts::SpecialFolder(SpecialFolderId::kStartMenu); }},
    {L"%StartupAllDir%", [] { return ts::SpecialFolder(SpecialFolderId::kStartupAll); }},
    {L"%StartupDir%", [] { return ts::SpecialFolder(SpecialFolderId::kStartup); }},
    {L"%SystemDir%", [] { return ts::SystemFolder(); }},
    {L"%Temp%", [] { return ts::TempFolder(); }},
    {L"%UninstallDir%", [] { return UninstallFolder(); }},
    {L"%Version%", [] { return FromUtf8(g_installer.script.displayVersion); }},
    {L"%WinDir%", [] { return ts::WindowsFolder(); }},
    {L"%OS%", [] { return Number(ts::SystemBit()); }},
    {L"%OSMajor%", [] { return Number(ts::System().major); }},
    {L"%OSMinor%", [] { return Number(ts::System().minor); }},
    {L"%OSName%", [] { return ts::SystemName(ts::system_name::kShort); }},
    {L"%OSDescription%", [] { return ts::SystemName(ts::system_name::kDescription); }},
    {L"%OSServer%", [] { return Flag(ts::System().IsServer()); }},
};

// The value is asked for only when the name occurs. It is not searched for
// the name again, but the names later in the table are searched in it.
void ReplaceVariable(ts::WText& text, const InstallationVariable& variable) {
  if (ts::FindIgnoringCase(text, variable.name) == ts::WText::npos) return;
  ts::ReplaceIgnoringCase(text, variable.name, variable.value());
}

// Set while the shared path is expanded: a "%SharedDir%" in it would name
// the folder being computed, and stays as written.
bool g_expandingSharedPath = false;

bool IsAbsoluteFolder(const ts::WText& folder) {
  return folder.size() >= 2 && (folder[1] == L':' || (folder[0] == L'\\' && folder[1] == L'\\'));
}

ts::WText WithoutClosingBackslash(ts::WText folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

}  // namespace

void Expand(ts::WText& text) {
  for (const InstallationVariable& variable : kVariables) ReplaceVariable(text, variable);
  ts::ExpandEnvironmentText(text, text);
}

std::span<const InstallationVariable> InstallationVariables() { return kVariables; }

ts::WText BelowInstallFolder(const ts::WText& path) {
  bool whole = (path.size() >= 2 && path[1] == L':') || path.rfind(L"\\\\", 0) == 0;
  return whole ? path : g_installer.installFolder + L"\\" + path;
}

ts::WText UninstallFolder() {
  const std::string& subfolder = g_installer.script.uninstallSubfolder;
  return subfolder.empty() ? g_installer.installFolder : g_installer.installFolder + L"\\" + FromUtf8(subfolder);
}

ts::WText SharedFolder() {
  if (g_installer.portable) {
    const std::string& portable = g_installer.script.portableSharedFolder;
    return WithoutClosingBackslash(portable.empty() ? g_installer.installFolder
                                                    : g_installer.installFolder + L"\\" + FromUtf8(portable));
  }
  if (g_expandingSharedPath) return L"%SharedDir%";
  ts::WText shared = FromUtf8(g_installer.script.sharedPath);
  g_expandingSharedPath = true;
  Expand(shared);
  g_expandingSharedPath = false;
  if (shared.empty()) return {};
  if (!IsAbsoluteFolder(shared)) shared = ts::CommonFilesFolder(ProductFolderKind()) + L"\\" + shared;
  return WithoutClosingBackslash(shared);
}

}  // namespace palisade
