#include "uninstall/uninstaller.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "actions/batches.h"
#include "actions/close_apps.h"
#include "actions/file_destination.h"
#include "actions/install_log.h"
#include "actions/registration.h"
#include "actions/registration_values.h"
#include "state/installer_state.h"
#include "core/system_facts.h"
#include "core/ts_format.h"
#include "core/ts_no_follow.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "core/ts_tree.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "ui/background_window.h"
#include "ui/message_box.h"
#include "ui/progress.h"
#include "ui/wizard.h"
#include "uninstall/deferred.h"
#include "record/record_hashes.h"
#include "record/uninstall_record.h"
#include "uninstall/registered_files.h"
#include "uninstall/registry_safety.h"
#include "uninstall/removal_safety.h"
#include "uninstall/restart.h"
#include "uninstall/shared_files.h"
#include "uninstall/undo_components.h"
#include "uninstall/undo_registrations.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;
namespace flags2 = format::product_flags2;

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr REGSAM kKeyAccess = 0x2000F;
constexpr int kMaxParentSteps = 50;
constexpr int kMaxProgramGroupSteps = 20;
constexpr unsigned kPause = 700;
constexpr int kEntriesProgressStart = 11;
constexpr int kEntriesProgressSpan = 81;

// What the product's registration says about the installation.
struct Registration {
  ts::WText keyPath;
  ts::WText displayName;
  ts::WText installFolder;
  ts::WText uninstallFolder;
  ts::WText pathSubfolder;  // `AddToPathSubfolder`
  ts::WText programGroup;   // `ProductStartMenu`
  ts::WText sharedFolder;   // `SharedPath`
  bool allUsers = false;    // `ShortcutMode` 1
  bool product64 = false;   // `Bitness` 1: the file-system redirection is off for the run
  ts::WText fonts;          // `ProductFonts`
  ts::WText sharedFiles;    // `SharedFiles`
  ts::WText productRegistry;
  ts::WText supportOffer;
  ts::WText batchBefore;  // `UninstallBatch1`
  ts::WText batchAfter;   // `UninstallBatch2`
  RegisteredFiles registered;
};

bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }
bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }

// A refusal before anything is removed: shown unless silent, and written to
// standard error for the caller of a silent run.
bool Refused(const ts::WText& text) {
  ShowMessage(text, L"", MB_ICONERROR);
  ts::WriteStandardError(text);
  return false;
}

bool Corrupt(const ts::WText& displayName) {
  return Refused(ts::Format(L"The uninstall information for %s is corrupt.\r\n\r\nThe uninstallation cannot be performed.",
                            displayName.c_str()));
}

ts::WText Text(const ts::RegistryKey& key, const wchar_t* name) {
  ts::WText text;
  key.ReadText(name, text);
  return text;
}

void ReadFlags(const ts::RegistryKey& key) {
  uint64_t flags = wcstoull(Text(key, L"ProductFlags").c_str(), nullptr, 10);
  g_installer.script.productFlagsLow = static_cast<uint32_t>(flags);
  g_installer.script.productFlagsHigh = static_cast<uint32_t>(flags >> 32);
  g_installer.productFlags2 = static_cast<uint32_t>(wcstoul(Text(key, L"ProductFlags2").c_str(), nullptr, 10));
  if (LowFlag(low::kUninstallAutomatic)) g_installer.flags.automatic = true;
}

bool OpenRegistration(const ts::WText& productName, Registration& registration) {
  registration.keyPath = kUninstallKey + productName;
  ts::RegistryKey key;
  LONG error = key.Open(HKEY_LOCAL_MACHINE, registration.keyPath, KEY_READ);
  if (error == ERROR_ACCESS_DENIED) {
    return Refused(L"Permission denied.  Please run the uninstaller with administrator rights.");
  }
  if (error != ERROR_SUCCESS) return Refused(ts::Format(L"No product named '%s' is installed.", productName.c_str()));
  if (key.Open(HKEY_LOCAL_MACHINE, registration.keyPath, kKeyAccess) != ERROR_SUCCESS) {
    return Refused(ts::Format(
        L"Unable to access the uninstall information for:\r\n%s\r\n\r\nThe uninstallation cannot be performed.",
        productName.c_str()));
  }
  if (!key.ReadText(L"DisplayName", registration.displayName)) registration.displayName = productName;
  registration.installFolder = ts::NormalisedPath(Text(key, L"InstallLocation"));
  if (registration.installFolder.empty()) return Corrupt(registration.displayName);
  g_installer.portable = ts::IsPortableFolder(registration.installFolder);
  ReadFlags(key);
  DWORD bitness = 0;
  registration.product64 = key.ReadNumber(L"Bitness", bitness) && bitness == 1;
  if (registration.product64 && !ts::DisableFileSystemRedirection()) {
    ts::Fatal("Wow64DisableWow64FsRedirection() failed");
  }
  registration.pathSubfolder = Text(key, L"AddToPathSubfolder");
  registration.programGroup = Text(key, L"ProductStartMenu");
  registration.sharedFolder = Text(key, L"SharedPath");
  registration.fonts = Text(key, L"ProductFonts");
  registration.sharedFiles = Text(key, L"SharedFiles");
  registration.productRegistry = Text(key, L"ProductRegistry");
  registration.supportOffer = Text(key, L"SupportOffer");
  registration.batchBefore = Text(key, L"UninstallBatch1");
  registration.batchAfter = Text(key, L"UninstallBatch2");
  registration.registered = ReadRegisteredFiles(key);
  // The removal notice is addressed and worded with what the installation
  // registered.
  g_installer.script.uninstallNotifyUrl = ts::Utf8FromWide(Text(key, L"NotifyURL"));
  g_installer.script.displayVersion = ts::Utf8FromWide(Text(key, L"DisplayVersion"));
  DWORD mode = 0;
  registration.allUsers = key.ReadNumber(L"ShortcutMode", mode) && mode == 1;
  ts::WText subfolder = Text(key, L"UninstallSubdir");
  if (!subfolder.empty() && !IsContainedRelativePath(subfolder)) return Corrupt(registration.displayName);
  registration.uninstallFolder =
      ts::NormalisedPath(registration.installFolder + (subfolder.empty() ? L"" : L"\\" + subfolder));
  g_installer.installFolder = registration.installFolder;
  g_installer.script.productName = ts::Utf8FromWide(registration.displayName);
  g_installer.script.uninstallSubfolder = ts::Utf8FromWide(subfolder);
  return true;
}

// The record and the running uninstaller are trusted only as the
// registration vouches for them; the hash is kept for the rewritten record.
bool ReadRecord(const Registration& registration, UninstallData& data) {
  ts::WText path = UninstallDataPath(registration.uninstallFolder);
  ts::WText recordHash;
  DWORD error = ReadUninstallData(path, data, recordHash);
  if (error != ERROR_SUCCESS) {
    return Refused(ts::Format(L"The uninstall information for %s could not be loaded.\r\n\r\nFilepath: %s\r\nCode %d: %s",
                              registration.displayName.c_str(), path.c_str(), static_cast<int>(error),
                              ts::SystemErrorTextW(error).c_str()));
  }
  ts::WText runningFile = ts::ModuleFileName();
  g_installer.uninstallerHash = HashOfFile(runningFile);
  if (!RunsAsRegisteredUninstaller(registration.registered, runningFile, registration.uninstallFolder) ||
      !MatchesRegisteredHashes(registration.registered, recordHash, g_installer.uninstallerHash)) {
    return Corrupt(registration.displayName);
  }
  AdoptUninstallData(data, g_uninstallRecord, g_installer.script);
  g_installer.language = 0;
  return true;
}

ts::WText Folded(ts::WText path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return ts::AsciiLowerCase(path);
}

void ReportLeftOver(const ts::WText& path) {
  AddToFailureSummary(MessageWithTags(58) + L" " + path + L"\r\n");
  RecordForRemoval(path, RemovalKind::kFile);
}

// A file entry: missing already is fine; one that cannot be deleted, or
// that is refused, stays recorded for the next run. The file is judged by
// its text, then deleted through a handle that shows it is the file the
// text names, so that a link put in the way (even after the judgement)
// never leads the deletion elsewhere.
// True when the file was deleted now.
bool RemoveFile(const ts::WText& path, const std::vector<ts::WText>& machineFolders) {
  bool allowed = IsRemovableFile(path, machineFolders, ts::WindowsFolder()) ||
                 IsPortableRootShortcut(path, g_installer.installFolder, g_installer.portable);
  switch (allowed ? ts::DeleteThroughHandle(path, ts::ObjectKind::kFile) : ts::Reach::kElsewhere) {
    case ts::Reach::kObject: return true;
    case ts::Reach::kNothing: return false;
    case ts::Reach::kElsewhere:
      AddToFailureSummary(L"Not removed, because the record names it in a way that is not allowed: " + path + L"\r\n");
      RecordForRemoval(path, RemovalKind::kFile);
      return false;
    case ts::Reach::kFailure: break;
  }
  ReportLeftOver(path);
  return false;
}

bool SplitValuePath(const ts::WText& path, HKEY& root, ts::WText& key, ts::WText& value) {
  ts::WText rest;
  root = ts::RootKeyOf(path, rest);
  size_t slash = rest.rfind(L'\\');
  if (!root || slash == ts::WText::npos) return false;
  key = rest.substr(0, slash);
  value = rest.substr(slash + 1);
  return true;
}

void RemoveRegistryValue(const ts::WText& path) {
  HKEY root;
  ts::WText key, value;
  if (!SplitValuePath(path, root, key, value) || !IsRemovableRegistryValueKey(path.substr(0, path.rfind(L'\\')))) return;
  ts::RegistryKey open;
  if (open.Open(root, key, KEY_SET_VALUE) == ERROR_SUCCESS) open.DeleteValue(value);
}

void RemoveRegistryKey(const ts::WText& path, REGSAM view) {
  ts::WText rest;
  HKEY root = ts::RootKeyOf(path, rest);
  if (root && IsRemovableRegistryKey(path)) ts::DeleteKeyTree(root, rest, view);
}

// A package whose removal failed keeps its file: the next run needs it to
// remove the package.
void ProcessEntries(const UninstallData& data, const std::set<ts::WText>& keptPackages, std::vector<ts::WText>& folders,
                    std::set<ts::WText>& deleted) {
  std::vector<ts::WText> machineFolders = MachineFolders();
  int count = std::max(data.entries.Count(), 1);
  for (int i = 0; i < data.entries.Count(); ++i) {
    RecordedEntry entry = ParseEntry(data.entries[i]);
    if (entry.kind == RemovalKind::kFile || entry.kind == RemovalKind::kFolder) entry.text = ts::NormalisedPath(entry.text);
    switch (entry.kind) {
      case RemovalKind::kFolder: folders.push_back(entry.text); break;
      case RemovalKind::kRegistryValue: RemoveRegistryValue(entry.text); break;
      case RemovalKind::kRegistryKey: RemoveRegistryKey(entry.text, 0); break;
      case RemovalKind::kRegistryKey64: RemoveRegistryKey(entry.text, KEY_WOW64_64KEY); break;
      case RemovalKind::kFile:
        if (!HighFlag(high::kHideFileNames)) SetStatusText(entry.text);
        SetProgress(kEntriesProgressStart + kEntriesProgressSpan * i / count);
        if (keptPackages.count(Folded(entry.text))) {
          RecordForRemoval(entry.text, RemovalKind::kFile);
        } else if (RemoveFile(entry.text, machineFolders)) {
          deleted.insert(Folded(entry.text));
        }
        break;
    }
  }
}

bool RemoveFolderOnly(const ts::WText& folder) {
  for (const wchar_t* name : {L"\\thumbs.db", L"\\desktop.ini"}) ts::DeleteThroughHandle(folder + name, ts::ObjectKind::kFile);
  return ts::DeleteThroughHandle(folder, ts::ObjectKind::kFolder) == ts::Reach::kObject;
}

// Deepest first; each folder, then its parents while they are empty, up to
// the installation folder, which stays. A protected folder stays silently:
// the installation only recorded it because it put something there.
void RemoveFolders(std::vector<ts::WText> folders) {
  std::vector<ts::WText> protectedFolders = ProtectedFolders();
  std::sort(folders.begin(), folders.end(), [](const ts::WText& a, const ts::WText& b) { return a.size() > b.size(); });
  ts::WText installFolder = Folded(g_installer.installFolder);
  for (ts::WText folder : folders) {
    for (int step = 0; step < kMaxParentSteps; ++step) {
      if (Folded(folder) == installFolder || !IsRemovableFolder(folder, protectedFolders)) break;
      if (!HighFlag(high::kHideFileNames)) SetStatusText(folder);
      if (!RemoveFolderOnly(folder)) {
        // Still there, perhaps around a file in use: recorded again, so that
        // the next run removes it once it is empty.
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) RecordForRemoval(folder, RemovalKind::kFolder);
        break;
      }
      folder = folder.substr(0, folder.find_last_of(L'\\'));
    }
  }
}

// The installation folder with everything in it, but for the running
// uninstaller, which cannot delete its own file (the self-deletion batch
// takes it and the rest of the folder once it has ended), and the record,
// which must stay until the run is known to have removed everything.
void DeleteInstallFolderTree(const Registration& registration) {
  const ts::WText& folder = registration.installFolder;
  if (!IsRemovableFolder(folder, ProtectedFolders())) {
    AddToFailureSummary(L"The installation folder was not deleted, because it is a system folder or a link: " + folder +
                        L"\r\n");
    return;
  }
  std::vector<ts::WText> keep = {ts::ModuleFileName(), UninstallDataPath(registration.uninstallFolder)};
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES && !ts::DeleteTree(folder, keep)) {
    AddToFailureSummary(MessageWithTags(58) + L" " + folder + L"\r\n");
  }
}

// Once the record is gone, the folders that the tree deletion kept for it
// go too when nothing else holds them, the installation folder last.
void RemoveEmptiedFolders(const Registration& registration) {
  if (!IsPlainLocalPath(registration.uninstallFolder)) return;
  ts::WText folder = registration.uninstallFolder;
  while (folder.size() >= registration.installFolder.size() &&
         ts::DeleteThroughHandle(folder, ts::ObjectKind::kFolder) == ts::Reach::kObject) {
    folder = folder.substr(0, folder.find_last_of(L'\\'));
  }
}

// The shared folder is not the product's alone: it goes only when empty.
void RemoveSharedFolder(const ts::WText& sharedFolder) {
  ts::WText folder = ts::NormalisedPath(sharedFolder);
  if (!folder.empty() && IsRemovableFolder(folder, ProtectedFolders())) {
    ts::DeleteThroughHandle(folder, ts::ObjectKind::kFolder);
  }
}

void RemoveFromSearchPath(const Registration& registration) {
  ts::WText path = MachineSearchPath();
  ts::WText reduced = SearchPathWithout(path, SearchPathFolder(registration.installFolder, registration.pathSubfolder));
  if (!path.empty() && reduced != path) SetMachineSearchPath(reduced);
}

// The product's start-menu folder, and its parents while they are empty.
void RemoveProgramGroup(const Registration& registration) {
  if (registration.programGroup.empty()) return;
  ts::SpecialFolderId programs =
      registration.allUsers ? ts::SpecialFolderId::kProgramsAll : ts::SpecialFolderId::kPrograms;
  ts::WText root = ts::SpecialFolder(programs);
  if (root.empty()) return;
  ts::WText folder = ts::NormalisedPath(root + L"\\" + registration.programGroup);
  std::vector<ts::WText> protectedFolders = ProtectedFolders();
  for (int step = 0; step < kMaxProgramGroupSteps && folder.size() > root.size(); ++step) {
    if (!IsRemovableFolder(folder, protectedFolders) || !RemoveFolderOnly(folder)) break;
    folder = folder.substr(0, folder.find_last_of(L'\\'));
  }
}

// The key vouches for the rewritten record, so that another run may finish
// the job.
void RewriteRecord(const Registration& registration) {
  ts::Text error;
  ts::WText hash;
  if (WriteUninstallData(UninstallDataPath(registration.uninstallFolder), error, hash)) {
    StoreFileHashes(registration.keyPath, hash, g_installer.uninstallerHash);
  }
  ClearRecordedEntries();
}

void DeleteUninstallValue(const Registration& registration, const wchar_t* name) {
  ts::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, registration.keyPath, KEY_SET_VALUE) == ERROR_SUCCESS) key.DeleteValue(name);
}

// What the installation registered besides its files, before the files go.
// Returns the packages that stay installed, as RemovePackages does.
std::set<ts::WText> UndoRegistrationsBeforeFiles(const Registration& registration, const UninstallData& data) {
  if (!registration.batchBefore.empty()) {
    RunUninstallBatch(registration.batchBefore, LowFlag(low::kUninstallBatch1Hidden));
    DeleteUninstallValue(registration, L"UninstallBatch1");
  }
  SetStatus(70);
  SetProgress(1);
  if (!data.associations.Empty()) {
    RemoveAssociations(data.associations, registration.displayName, registration.installFolder);
    HoldStatus(kPause);
  }
  SetStatus(67);
  SetProgress(3);
  if (!registration.fonts.empty()) {
    RemoveFonts(registration.fonts);
    DeleteUninstallValue(registration, L"ProductFonts");
    HoldStatus(kPause);
  }
  SetStatus(68);
  SetProgress(5);
  if (!HighFlag(high::kKeepLogOnUninstall)) {
    ts::DeleteThroughHandle(InstallLogPath(registration.uninstallFolder), ts::ObjectKind::kFile);
  }
  ReleaseSharedFiles(registration.sharedFiles, g_installer.portable);
  DeleteUninstallValue(registration, L"SharedFiles");
  UnpinFromTaskbar(data.entries);
  HoldStatus(kPause);
  std::set<ts::WText> keptPackages;
  if (!data.packages.Empty()) {
    SetStatus(108);
    for (const ts::WText& path : RemovePackages(data.packages)) keptPackages.insert(Folded(path));
    HoldStatus(kPause);
  }
  return keptPackages;
}

// What the installation registered besides its files, after the files.
void UndoRegistrationsAfterFiles(const Registration& registration, const UninstallData& data) {
  SetStatus(69);
  SetProgress(95);
  if (!registration.productRegistry.empty()) {
    RemoveProductKey(registration.productRegistry, registration.product64);
    DeleteUninstallValue(registration, L"ProductRegistry");
  }
  if (!data.mergeText.empty()) RemoveMergeLines(data.mergeText, registration.product64);
  SetProgress(96);
  if (!data.firewall.Empty()) RemoveFirewallExceptions(data.firewall);
  SetProgress(97);
  if (!data.drivers.Empty()) RemoveDrivers(data.drivers, data.entries, registration.installFolder);
}

// Only a run that removed everything forgets the product; otherwise the
// record, the key and the uninstaller stay for another run.
void ForgetProduct(const Registration& registration) {
  ts::DeleteThroughHandle(UninstallDataPath(registration.uninstallFolder), ts::ObjectKind::kFile);
  if (LowFlag(low::kDeleteInstallFolderOnUninstall)) RemoveEmptiedFolders(registration);
  if (LowFlag(low::kAddToSearchPath)) RemoveFromSearchPath(registration);
  if (!registration.batchAfter.empty()) RunUninstallBatch(registration.batchAfter, LowFlag(low::kUninstallBatch2Hidden));
  RemoveRegistryKey(L"\\HKLM\\" + registration.keyPath, 0);
}

void Remove(const Registration& registration, const UninstallData& data) {
  OpenProgressPage();
  std::set<ts::WText> keptPackages = UndoRegistrationsBeforeFiles(registration, data);
  SetProgress(10);
  ClearRecordedEntries();
  std::vector<ts::WText> folders;
  std::set<ts::WText> deleted;
  ProcessEntries(data, keptPackages, folders, deleted);
  SetProgress(92);
  RemovePendingOperations(deleted);
  RunConditionalDeletion(ConditionalPhase::kUninstallation);
  SetProgress(93);
  RemoveFolders(folders);
  RewriteRecord(registration);
  RemoveProgramGroup(registration);
  HoldStatus(kPause);
  UndoRegistrationsAfterFiles(registration, data);
  if (LowFlag(low::kDeleteInstallFolderOnUninstall)) DeleteInstallFolderTree(registration);
  SetProgress(98);
  RemoveSharedFolder(registration.sharedFolder);
  if (FailureSummaryEmpty()) ForgetProduct(registration);
  ts::NotifyFolderChanged(ts::SpecialFolder(registration.allUsers ? ts::SpecialFolderId::kDesktopAll
                                                                  : ts::SpecialFolderId::kDesktop));
  SetProgress(100);
  if (registration.product64) ts::RestoreFileSystemRedirection();
  CloseProgressPage();
}

bool End() {
  if (!FailureSummaryEmpty()) {
    ts::WText report = FillConversions(MessageWithTags(10), {ts::WideFromUtf8(FailureSummary())});
    if (!g_installer.flags.automatic) ShowMessage(report, MessageWithTags(20), MB_ICONWARNING);
    ts::WriteStandardError(ts::WideFromUtf8(FailureSummary()));
    return false;
  }
  if (!g_installer.flags.automatic && (g_installer.productFlags2 & flags2::kUninstallCompletionMessage)) {
    ShowMessage(MessageWithTags(34), MessageWithTags(15), MB_ICONINFORMATION);
  }
  if (HighFlag(high::kUninstallRestartRequired) &&
      (g_installer.flags.automatic || Ask(MessageWithTags(74), MessageWithTags(20)))) {
    RestartMachine();
  }
  // The program of /r: starts when the uninstaller has gone (app/entry.cpp).
  return true;
}

}  // namespace

bool Uninstall(const ts::WText& productName) {
  Registration registration;
  if (!OpenRegistration(productName, registration)) return false;
  ShowUninstallerBackground(registration.keyPath, registration.uninstallFolder);
  UninstallData data;
  if (!ReadRecord(registration, data)) return false;
  CloseApplicationsForUninstall(format::close_when::kUninstall);
  if (!g_installer.flags.automatic && !Ask(MessageWithTags(53), MessageWithTags(55))) Abort();
  if (!g_installer.flags.automatic && !registration.supportOffer.empty() && TakeSupportOffer(registration.supportOffer)) {
    return false;
  }
  CloseApplicationsForUninstall(format::close_when::kUninstallAsking);
  Remove(registration, data);
  return End();
}

}  // namespace palisade
