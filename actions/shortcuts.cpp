#include "actions/shortcuts.h"

#include <windows.h>

#include "actions/file_destination.h"
#include "actions/install_log.h"
#include "actions/installed_file.h"
#include "actions/registration.h"
#include "core/system_facts.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_private_folder.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/variables.h"
#include "record/uninstall_record.h"
#include "state/installer_state.h"
#include "ui/progress.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;
namespace flags2 = format::product_flags2;

constexpr int kWriteFailedMessage = 31;
constexpr int kUninstallerNameMessage = 33;
constexpr int kDefaultNameMessage = 38;
constexpr int kShortcutsDoneMessage = 78;
constexpr int kLogNameMessage = 86;
constexpr uint8_t kShortcutsForAllUsers = 1;
constexpr uint8_t kMinimised = 1;
constexpr uint8_t kMaximised = 2;
constexpr wchar_t kLinkExtension[] = L".LNK";
constexpr wchar_t kPinnedFolder[] = L"\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\";

struct PlaceLog {
  LinkPlace place;
  const wchar_t* format;  // takes the entry's name and the link's path
  bool onlyWhenLoggingEveryFile;
};

constexpr PlaceLog kPlaceLogs[] = {
    {LinkPlace::kDesktop, L"Desktop Shortcut(%s) >>> %s\r\n", true},
    {LinkPlace::kDesktopFolder, L"Desktop Folder Shortcut(%s) >>> %s\r\n", false},
    {LinkPlace::kStartMenu, L"Start Menu Shortcut(%s) >>> %s\r\n", false},
    {LinkPlace::kStartup, L"Startup Shortcut(%s) >>> %s\r\n", false},
    {LinkPlace::kExtraFolder, L"Shortcut(%s) >>> %s\r\n", false},
};

bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }
bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }
ts::WText Wide(const std::string& utf8) { return ts::WideFromUtf8(utf8); }

ts::WText FolderOf(const ts::WText& path) { return path.substr(0, path.rfind(L'\\')); }

bool IsWholePath(const ts::WText& path) {
  return path.find(L':') != ts::WText::npos || (path.size() > 1 && path[0] == L'\\' && path[1] == L'\\');
}

ts::WText BaseNameOf(const ts::WText& path) {
  ts::WText name = path.substr(path.find_last_of(L"\\/") + 1);
  size_t dot = name.rfind(L'.');
  return dot == ts::WText::npos || dot == 0 ? name : name.substr(0, dot);
}

bool AllUsers() { return g_installer.script.shortcutMode == kShortcutsForAllUsers; }

void ReportLeavingName(const wchar_t* what, const ts::WText& name) {
  AddToFailureSummary(ts::WText(what) + L" \"" + name + L"\" would leave its folder.\r\n\r\n");
}

// A folder named by the product below one of the system's; empty, and
// reported, when the name would lead out of it.
ts::WText ProductFolderBelow(const ts::WText& root, const ts::WText& name, const wchar_t* what) {
  if (root.empty() || name.empty()) return root;
  if (IsContainedRelativePath(name)) return root + L"\\" + name;
  ReportLeavingName(what, name);
  return {};
}

ShortcutFolders Folders() {
  using ts::SpecialFolderId;
  bool all = AllUsers();
  ShortcutFolders folders;
  folders.desktop = ts::SpecialFolder(all ? SpecialFolderId::kDesktopAll : SpecialFolderId::kDesktop);
  const std::string& desktopFolder = g_installer.script.desktopFolder;
  if (!desktopFolder.empty()) {
    folders.desktopFolder = ProductFolderBelow(folders.desktop, Wide(desktopFolder), L"The desktop folder");
  }
  folders.programGroup = ProductFolderBelow(ts::SpecialFolder(all ? SpecialFolderId::kProgramsAll : SpecialFolderId::kPrograms),
                                            Wide(g_installer.script.startMenuFolder), L"The start-menu folder");
  folders.startup = ts::SpecialFolder(all ? SpecialFolderId::kStartupAll : SpecialFolderId::kStartup);
  return folders;
}

ShortcutContext Context() {
  ShortcutContext context;
  context.installFolder = g_installer.installFolder;
  context.uninstallFolder = UninstallFolder();
  context.expand = Expand;
  context.folderExists = [](const ts::WText& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  };
  context.nameFormat = MessageWithTags(kDefaultNameMessage);
  return context;
}

InstallerShortcutFacts InstallerFacts() {
  InstallerShortcutFacts facts;
  facts.productFlagsLow = g_installer.script.productFlagsLow;
  facts.productFlagsHigh = g_installer.script.productFlagsHigh;
  facts.productFlags2 = g_installer.productFlags2;
  facts.hasUninstaller = HasUninstaller();
  facts.uninstaller = UninstallerPath();
  facts.uninstallerArguments = UninstallerArgumentsOfProduct();
  facts.uninstallerName = MessageWithTags(kUninstallerNameMessage);
  facts.uninstallFolder = UninstallFolder();
  facts.uninstallerIcon = facts.uninstallFolder + L"\\uninstall.ico";
  facts.installFolder = g_installer.installFolder;
  facts.log = InstallLogPath(facts.uninstallFolder);
  facts.logName = MessageWithTags(kLogNameMessage);
  return facts;
}

// The link's folder is made first; a failure leaves its reason.
bool SaveLink(const ts::WText& file, const ts::ShellLinkFields& fields, ts::WText& reason) {
  std::vector<ts::WText> created;
  if (!CreateFolderWithParents(FolderOf(file), created, reason)) return false;
  HRESULT result = ts::SaveShellLink(file, fields);
  if (SUCCEEDED(result)) return true;
  reason = ts::SystemErrorTextW(static_cast<DWORD>(result));
  return false;
}

void ReportFailedLink(const ts::WText& path, const ts::WText& reason) {
  AddToFailureSummary(ts::Format(L"%s %s\r\n%s\r\n\r\n", MessageWithTags(kWriteFailedMessage).c_str(), path.c_str(),
                                 reason.c_str()));
}

void LogLink(LinkPlace place, const ts::WText& name, const ts::WText& path) {
  for (const PlaceLog& log : kPlaceLogs) {
    if (log.place != place || (log.onlyWhenLoggingEveryFile && !LowFlag(low::kLogEveryFile))) continue;
    LogWideFormat(log.format, name.c_str(), path.c_str());
  }
}

void CreateLink(const ShortcutEntry& entry, const PlannedLink& link, const ts::ShellLinkFields& fields) {
  ts::WText file = LinkFilePath(link.path);
  ts::WText reason;
  if (!SaveLink(file, fields, reason)) {
    // The installer's own shortcuts are a convenience; their failure is no failure of the product.
    if (!entry.installerMade) ReportFailedLink(link.path, reason);
    return;
  }
  if (!HighFlag(high::kHideFileNames)) SetStatusText(file);
  LogLink(link.place, entry.name, link.path);
  if (entry.permanent) return;
  RecordForRemoval(file, RemovalKind::kFile);
  if (!link.folder.empty()) RecordForRemoval(link.folder, RemovalKind::kFolder);
}

// Its "Desktop.ini" names the product's icon, which the uninstall data
// folder keeps.
void SetDesktopFolderIcon(const ts::WText& folder, const ts::WText& ini) {
  const format::Bytes& icon = g_installer.script.desktopFolderIcon;
  if (icon.empty()) return;
  ts::WText path = UninstallFolder() + L"\\Desktop Icon.ico";
  ts::File file;
  bool written = file.Create(path) && file.WriteBlock(icon.data(), static_cast<int>(icon.size()));
  file.Close();
  written = written && ts::WriteIniValue(ini, L".ShellClassInfo", L"IconFile", path) &&
            ts::WriteIniValue(ini, L".ShellClassInfo", L"IconIndex", L"0");
  if (!written) {
    AddToFailureSummary(L"Failed to create Desktop shortcut folder icon \"" + path + L"\"\r\n");
    return;
  }
  RecordForRemoval(path, RemovalKind::kFile);
  SetFileAttributesW(folder.c_str(), GetFileAttributesW(folder.c_str()) | FILE_ATTRIBUTE_SYSTEM);
  SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

void MakeDesktopFolder(const ts::WText& folder) {
  std::vector<ts::WText> created;
  ts::WText reason;
  if (!CreateFolderWithParents(folder, created, reason)) {
    AddToFailureSummary(ts::Format(L"Failed to create directory %s: %s\r\n\r\n", folder.c_str(), reason.c_str()));
  }
  ts::WText ini = folder + L"\\Desktop.ini";
  RecordForRemoval(ini, RemovalKind::kFile);
  RecordForRemoval(folder, RemovalKind::kFolder);
  SetDesktopFolderIcon(folder, ini);
}

struct ShortcutPass {
  ShortcutFolders folders = Folders();
  ShortcutContext context = Context();
  bool desktopFolderMade = false;
};

void CreateEntryShortcuts(const ShortcutEntry& requested, ShortcutPass& pass) {
  ShortcutEntry entry = ResolvedShortcutEntry(requested, pass.context);
  if (!IsContainedRelativePath(entry.name)) {
    ReportLeavingName(L"The shortcut name", entry.name);
    return;
  }
  ts::ShellLinkFields fields = LinkFields(entry);
  for (const PlannedLink& link : PlannedLinks(entry, pass.folders)) {
    if (link.place == LinkPlace::kDesktopFolder && !pass.desktopFolderMade) {
      MakeDesktopFolder(pass.folders.desktopFolder);
      pass.desktopFolderMade = true;
    }
    CreateLink(entry, link, fields);
  }
}

// A portable product keeps a shortcut in its drive's root folder, which
// travels with it.
void CreateRootShortcut() {
  const format::SetupScript& script = g_installer.script;
  if (!g_installer.portable || script.rootShortcutCommand.empty()) return;
  ts::WText command = Wide(script.rootShortcutCommand);
  ts::WText name = Wide(script.rootShortcutName);
  Expand(command);
  Expand(name);
  ts::WText drive = ts::DriveOf(g_installer.installFolder);
  if (drive.empty() || !IsContainedRelativePath(name)) {
    ReportLeavingName(L"The root shortcut name", name);
    return;
  }
  ts::ShellLinkFields fields;
  ts::SplitCommandLine(command, fields.target, fields.arguments);
  fields.workingFolder = g_installer.installFolder;
  fields.icon = fields.target;
  ts::WText link = ts::Format(L"%c:\\%s.lnk", drive[0], name.c_str());
  ts::WText reason;
  if (!SaveLink(link, fields, reason)) {
    ReportFailedLink(link, reason);
    return;
  }
  if (LowFlag(low::kLogEveryFile)) LogWideFormat(L"Root Shortcut(%s) >>> %s\r\n", name.c_str(), link.c_str());
  RecordForRemoval(link, RemovalKind::kFile);
}

// Only Windows 7 to 8.1 let a program pin itself; later versions refuse.
bool SystemLetsPin() {
  const ts::SystemRecord& system = ts::System();
  return system.platform == ts::kPlatformNt && system.major == 6 && system.minor >= 1;
}

// The shell pins a link; the pinned copy that it keeps is recorded, so
// that the uninstaller unpins and deletes it.
void PinToTaskbar() {
  const format::SetupScript& script = g_installer.script;
  if (script.pinCommand.empty() || g_installer.portable || !SystemLetsPin()) return;
  ts::WText command(script.pinCommand.begin(), script.pinCommand.end());
  ts::WText name(script.pinName.begin(), script.pinName.end());
  Expand(command);
  Expand(name);
  if (name.empty()) name = Wide(script.productName);
  ts::ShellLinkFields fields;
  ts::SplitCommandLine(command, fields.target, fields.arguments);
  SetStatusText(L"Pin to taskbar");
  // The link waits in a private folder, where nobody can swap its target
  // before the shell pins it.
  ts::PrivateFolder folder;
  DWORD created = folder.Create();
  ts::WText temporary = folder.FileIn(name + L".lnk");
  HRESULT saved = created != ERROR_SUCCESS        ? HRESULT_FROM_WIN32(created)
                  : IsContainedRelativePath(name) ? ts::SaveShellLink(temporary, fields)
                                                  : E_INVALIDARG;
  bool pinned = SUCCEEDED(saved) && ts::OpenWithShell(temporary, L"taskbarpin") > 32;
  DWORD error = SUCCEEDED(saved) ? GetLastError() : static_cast<DWORD>(saved);
  LogWideFormat(L"Pin to taskbar(%s): %s\r\n", fields.target.c_str(), pinned ? L"OK" : L"FAIL");
  if (!pinned) LogWideConcat({ts::SystemErrorTextW(error), L"\r\n"});
  DeleteFileW(temporary.c_str());
  ts::WText appData = ts::SpecialFolder(ts::SpecialFolderId::kAppData);
  if (!appData.empty()) RecordForRemoval(appData + kPinnedFolder + name + L".lnk", RemovalKind::kFile);
}

}  // namespace

ShortcutEntry ScriptShortcutEntry(const format::ShortcutRecord& record) {
  ShortcutEntry entry;
  entry.desktop = record.desktop != 0;
  entry.startMenu = record.startMenu != 0;
  entry.startup = record.startup != 0;
  entry.permanent = record.permanent != 0;
  entry.expandTarget = true;
  entry.windowState = record.windowState;
  entry.target = Wide(record.target);
  entry.name = Wide(record.name);
  entry.icon = Wide(record.icon);
  entry.arguments = Wide(record.arguments);
  entry.workingFolder = Wide(record.workingFolder);
  entry.extraFolder = Wide(record.extraFolder);
  return entry;
}

std::vector<ShortcutEntry> InstallerShortcutEntries(const InstallerShortcutFacts& facts) {
  std::vector<ShortcutEntry> entries;
  if (facts.hasUninstaller) {
    ShortcutEntry uninstaller;
    uninstaller.installerMade = true;
    uninstaller.target = facts.uninstaller;
    uninstaller.arguments = facts.uninstallerArguments;
    uninstaller.name = facts.uninstallerName;
    uninstaller.icon = facts.uninstallerIcon;
    uninstaller.startMenu = facts.productFlagsLow & low::kUninstallerStartMenuShortcut;
    uninstaller.desktop = facts.productFlagsHigh & high::kUninstallerDesktopShortcut;
    if (uninstaller.startMenu || uninstaller.desktop) entries.push_back(uninstaller);
    uninstaller.startMenu = uninstaller.desktop = false;
    bool inUninstallFolder = facts.productFlagsHigh & high::kUninstallerShortcutInUninstallFolder;
    bool inInstallFolder = facts.productFlags2 & flags2::kUninstallerShortcutInInstallFolder;
    for (auto [wanted, folder] : {std::pair{inUninstallFolder, &facts.uninstallFolder},
                                  std::pair{inInstallFolder, &facts.installFolder}}) {
      if (!wanted) continue;
      uninstaller.extraFolder = *folder;
      entries.push_back(uninstaller);
    }
  }
  if (facts.productFlagsHigh & high::kLogShortcut) {
    ShortcutEntry log;
    log.installerMade = true;
    log.startMenu = true;
    log.target = facts.log;
    log.name = facts.logName;
    entries.push_back(log);
  }
  return entries;
}

ShortcutEntry ResolvedShortcutEntry(ShortcutEntry entry, const ShortcutContext& context) {
  context.expand(entry.arguments);
  if (!entry.icon.empty()) {
    context.expand(entry.icon);
    if (!IsWholePath(entry.icon)) entry.icon = context.uninstallFolder + L"\\" + entry.icon;
  }
  context.expand(entry.workingFolder);
  if (entry.workingFolder.empty() || !context.folderExists(entry.workingFolder)) {
    entry.workingFolder = context.installFolder;
  }
  if (entry.expandTarget) {
    context.expand(entry.target);
    if (entry.target.find(L':') == ts::WText::npos) entry.target = context.installFolder + L"\\" + entry.target;
  }
  context.expand(entry.extraFolder);
  if (entry.name.empty()) {
    ts::WText base = BaseNameOf(entry.target);
    entry.name = context.nameFormat.empty() ? base : FillConversions(context.nameFormat, {base});
  }
  return entry;
}

std::vector<PlannedLink> PlannedLinks(const ShortcutEntry& entry, const ShortcutFolders& folders) {
  std::vector<PlannedLink> links;
  bool nested = entry.name.find(L'\\') != ts::WText::npos;
  auto add = [&](LinkPlace place, const ts::WText& folder, bool productFolder) {
    if (folder.empty()) return;
    ts::WText path = folder + L"\\" + entry.name;
    links.push_back({place, path, productFolder ? FolderOf(path) : ts::WText()});
  };
  if (entry.desktop && folders.desktopFolder.empty()) add(LinkPlace::kDesktop, folders.desktop, nested);
  if (entry.desktop && !folders.desktopFolder.empty()) add(LinkPlace::kDesktopFolder, folders.desktopFolder, nested);
  if (entry.startMenu) add(LinkPlace::kStartMenu, folders.programGroup, nested);
  if (entry.startup) add(LinkPlace::kStartup, folders.startup, nested);
  add(LinkPlace::kExtraFolder, entry.extraFolder, true);
  return links;
}

ts::WText LinkFilePath(const ts::WText& path) {
  constexpr size_t kLength = 4;
  bool hasExtension = path.size() >= kLength && _wcsicmp(path.c_str() + path.size() - kLength, kLinkExtension) == 0;
  return hasExtension ? path : path + kLinkExtension;
}

ts::ShellLinkFields LinkFields(const ShortcutEntry& entry) {
  ts::ShellLinkFields fields;
  fields.target = entry.target;
  fields.arguments = entry.arguments;
  fields.icon = entry.icon.empty() ? entry.target : entry.icon;
  fields.showCommand = entry.windowState == kMinimised   ? SW_SHOWMINNOACTIVE
                       : entry.windowState == kMaximised ? SW_SHOWMAXIMIZED
                                                         : 0;
  ts::WText folder = entry.workingFolder;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  fields.workingFolder = folder;
  return fields;
}

namespace {

// The script's entries, then the file records', then the installer's own.
std::vector<ShortcutEntry> ShortcutList() {
  std::vector<ShortcutEntry> entries;
  for (const format::ShortcutRecord& record : g_installer.script.shortcuts) entries.push_back(ScriptShortcutEntry(record));
  for (const ShortcutEntry& entry : g_installer.followUps.shortcuts) entries.push_back(entry);
  for (ShortcutEntry& entry : InstallerShortcutEntries(InstallerFacts())) entries.push_back(std::move(entry));
  return entries;
}

}  // namespace

void CreateShortcuts() {
  std::vector<ShortcutEntry> entries = ShortcutList();
  if (!entries.empty()) {
    ShortcutPass pass;
    for (const ShortcutEntry& entry : entries) CreateEntryShortcuts(entry, pass);
  }
  CreateRootShortcut();
  PinToTaskbar();
  SetStatus(kShortcutsDoneMessage);
}

}  // namespace palisade
