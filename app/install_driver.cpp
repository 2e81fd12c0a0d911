#include "app/install_driver.h"

#include <windows.h>

#include <set>

#include "actions/associations.h"
#include "actions/batches.h"
#include "actions/close_apps.h"
#include "actions/components.h"
#include "actions/files.h"
#include "actions/firewall.h"
#include "actions/install_folder.h"
#include "actions/install_log.h"
#include "actions/notifications.h"
#include "actions/registration.h"
#include "actions/registry.h"
#include "actions/restore_point.h"
#include "actions/shortcuts.h"
#include "actions/summary_choices.h"
#include "app/exit.h"
#include "app/gates.h"
#include "state/installer_state.h"
#include "core/system_facts.h"
#include "core/ts_fatal.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/payload_reader.h"
#include "payload/script_reader.h"
#include "payload/variables.h"
#include "ui/background_window.h"
#include "ui/message_box.h"
#include "ui/progress.h"
#include "ui/wizard.h"
#include "uninstall/deferred.h"
#include "uninstall/existing_install.h"
#include "record/uninstall_record.h"
#include "uninstall/restart.h"
#include "uninstall/shared_files.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;
namespace flags2 = format::product_flags2;

constexpr DWORD kPlaySoundFromMemoryAsync = 0x17;  // asynchronous, from memory, no default sound, no stop
constexpr int kLanguageTitleMessage = 0;
constexpr int kProductHeadingMessage = 114;

Payload g_payload;
bool g_restartAnswered = false;
PhaseObserver g_phaseObserver = nullptr;

bool Automatic() { return g_installer.flags.automatic; }
bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }
bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }

void EndUnless(bool accepted) {
  if (!accepted) OrderlyExit(1);
}

// The background window comes up once the whole script is read, where a
// field-by-field reader would make it after the first six fields. Nothing
// pumps window messages in between, so its first paint shows the same
// settings either way; only a report of a damaged script now appears
// without the background behind it.
void ReadPayloadAndScript() {
  OpenPayload(g_payload);
  DecodeSetupScript(g_payload);
  ReadSetupScriptIntoState(g_payload.script, g_payload.header.productFlags2);
  ShowInstallerBackground();
  SendStartNotification();
}

void CheckStub() { CheckStubAndBuildUninstaller(g_payload, HighFlag(high::kVerifyStub)); }

PageFacts Facts() {
  PageFacts facts;
  facts.automatic = Automatic();
  facts.languageCount = g_installer.script.languageNames.size();
  facts.productFlagsLow = g_installer.script.productFlagsLow;
  facts.productFlagsHigh = g_installer.script.productFlagsHigh;
  facts.productFlags2 = g_installer.productFlags2;
  facts.hasPassword = !g_installer.script.password.empty();
  facts.masterFolderRule = g_installer.installFolderSource == InstallFolderSource::kMaster;
  facts.folderFixed = g_installer.installFolderFixed;
  facts.portable = g_installer.portable;
  return facts;
}

void ChooseLanguageAndTitle() {
  if (ShowsPage(WizardPage::kLanguage, Facts())) EndUnless(ChooseLanguage());
  RepaintBackgroundWindow();
  ts::WText heading = MessageWithTags(kProductHeadingMessage);
  if (!heading.empty()) g_installer.script.productHeading = ts::Utf8FromWide(heading);
  ts::TraceRun(L"title " + MessageWithTags(kLanguageTitleMessage));
}

void CheckBitness() {
  int needed = RefusedBitness(static_cast<Bitness>(g_installer.script.bitness), ts::System().is64Bit);
  if (needed) Refuse(FillConversions(MessageWithTags(81), {ts::Format(L"%d", needed)}));
}

void CheckExcludedSystems() {
  if (g_installer.script.excludedSystems & ts::SystemBit()) {
    Refuse(FillConversions(MessageWithTags(61), {ts::SystemName(ts::system_name::kForMessages)}));
  }
}

void CheckMaster() {
  if (LowFlag(low::kMasterProduct)) CheckMasterProduct();
}

void CheckSingleInstance() {
  if (LowFlag(low::kSingleInstance) && !AcquireSingleInstanceMutex()) Refuse(MessageWithTags(91));
}

void ReadEarlier() {
  if (LowFlag(low::kPreviousInstallation)) ReadEarlierInstallation();
}

// The sound plays from the script's bytes, which live for the whole run.
void PlayGreetingSound() {
  const format::Bytes& sound = g_installer.script.greetingSound;
  if (Automatic() || sound.empty()) return;
  HMODULE winmm = ts::LoadSystemLibrary(L"winmm.dll");
  using PlaySoundFunction = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
  auto play = ts::FunctionOf<PlaySoundFunction>(winmm, "PlaySoundW");
  if (play) play(reinterpret_cast<LPCWSTR>(sound.data()), nullptr, kPlaySoundFromMemoryAsync);
}

void Greeting() {
  PlayGreetingSound();
  if (ShowsPage(WizardPage::kGreeting, Facts())) EndUnless(ShowGreeting());
}

void Password() {
  if (ShowsPage(WizardPage::kPassword, Facts())) EndUnless(AskPassword());
}

void LicenseReadmeAndRunningApplications() {
  if (ShowsPage(WizardPage::kLicenseAndReadme, Facts())) {
    EndUnless(ShowLicensePage());
    EndUnless(ShowReadmePage());
  }
  CloseRunningApplications();
}

void ReadFolderFromRegistry() {
  ts::WText setting = g_installer.installFolder;
  ts::WText folder;
  if (!ts::ReadRegistryValuePath(setting, folder) || folder.empty()) {
    Refuse(L"Failed to obtain installation path from \"" + setting + L"\"");
  }
  Expand(folder);
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Refuse(L"Installation path \"" + folder + L"\" obtained from \"" + setting + L"\" does not exist.");
  }
  g_installer.installFolder = folder;
  g_installer.installFolderFixed = true;
}

void ResolveInstallFolder() {
  if (g_installer.installFolderSource == InstallFolderSource::kRegistry) ReadFolderFromRegistry();
  Expand(g_installer.installFolder);
}

// The folder is final here and nothing of the product exists yet, so a
// refused folder leaves the machine as it was.
void CheckInstallFolder() {
  const ts::WText& folder = g_installer.installFolder;
  ts::WText refusal = InstallFolderRefusal(folder, IsEarlierInstallationFolder(folder));
  if (!refusal.empty()) Refuse(refusal);
}

void FolderPages() {
  g_installer.requiredBytes = 0;
  for (int32_t size : g_payload.header.entrySizes) g_installer.requiredBytes += static_cast<uint32_t>(size);
  if (ShowsPage(WizardPage::kInstallFolder, Facts())) {
    // The page comes back until a folder is chosen.
    do {
      EndUnless(ChooseInstallFolder());
    } while (!IsChosenFolder(g_installer.installFolder));
  }
  CheckInstallFolder();
  g_installer.portable = ts::IsPortableFolder(g_installer.installFolder);
  if (ShowsPage(WizardPage::kStartMenu, Facts())) EndUnless(ChooseStartMenuFolder());
}

void BeginWork() {
  OpenProgressPage();
  SetStatus(113);
  SetProgress(1);
  SendBeginInstallNotification();
}

void RestorePoint() {
  if (!(g_installer.productFlags2 & flags2::kRestorePoint)) return;
  SetStatus(97);
  CreateRestorePoint();
}

void ReadAndVerifyArchive() {
  SetStatus(8);
  SetProgress(2);
  LocateArchive(g_payload, g_installer.script.archiveFromFile != 0);
  SetStatus(62);
  SetProgress(21);
  SetStatus(54);
  SetProgress(26);
  // Files that the script wants gone go before the new ones come.
  RunConditionalDeletion(ConditionalPhase::kInstallation);
  SetProgress(27);
}

// An older pending replacement must not undo a file written just now.
void Files() {
  InstallFiles(g_payload);
  SetProgress(91);
  SetStatus(54);
  std::set<ts::WText> installed;
  for (const ts::WText& path : g_installer.followUps.installedFiles) installed.insert(ts::AsciiLowerCase(path));
  RemovePendingOperations(installed);
  SetProgress(92);
}

void SharedFiles() {
  CountSharedFiles();
  SetProgress(93);
}

void Components() {
  RegisterComponents();
  WriteUninstallerIcon();
  SetStatus(26);
  SetProgress(95);
}

void Shortcuts() {
  CreateShortcuts();
  SetProgress(97);
}

void Firewall() {
  AddFirewallExceptions();
  SetProgress(98);
}

void ExtraFiles() {
  WriteExtraFiles();
  SetProgress(99);
}

void Registration() {
  RegisterProduct();
  SetStatus(36);
  SetProgress(100);
}

void PostInstall() {
  RunPostInstallBatch();
  SendClosingNotification();
}

// The log decides what the user is told at the end: the summary page, the
// completion message, or the question whether to see the failures.
void LogAndSummary() {
  WaitForMinimumStatusTime();
  CloseProgressPage();
  FinishInstallLog();
}

void RestartQuestion() {
  if (!LowFlag(low::kRestartQuestion)) return;
  if (Automatic() && !HighFlag(high::kAskRestartInAutomaticMode)) {
    g_restartAnswered = true;
  } else {
    g_restartAnswered = Ask(MessageWithTags(37), MessageWithTags(20));
  }
}

bool OnlyDesktopFilesIn(const ts::WText& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool onlyThose = true;
  do {
    const wchar_t* name = found.cFileName;
    if (!wcscmp(name, L".") || !wcscmp(name, L"..") || !_wcsicmp(name, L"thumbs.db") || !_wcsicmp(name, L"desktop.ini")) {
      continue;
    }
    onlyThose = false;
  } while (onlyThose && FindNextFileW(search, &found));
  FindClose(search);
  return onlyThose;
}

// Folders that the run made but left empty go; the shell's own files in
// them do not count.
void RemoveIfEmpty(const ts::WText& folder) {
  if (folder.empty() || !OnlyDesktopFilesIn(folder)) return;
  for (const wchar_t* name : {L"\\thumbs.db", L"\\desktop.ini"}) {
    SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW((folder + name).c_str());
  }
  RemoveDirectoryW(folder.c_str());
}

void RemoveEmptyFolders() {
  RemoveIfEmpty(SharedFolder());
  RemoveIfEmpty(UninstallFolder());
  RemoveIfEmpty(g_installer.installFolder);
}

void Restart() {
  if (!g_restartAnswered) return;
  RestartMachine();
  OrderlyExit(1);
}

// The /r: program of the command line, with the installation folder as its
// working folder, only after a run in which nothing failed.
void StartRequestedProgram() {
  const ts::WText& command = g_installer.commandLine.runAfterInstall;
  if (command.empty() || !FailureSummaryEmpty()) return;
  if (ts::StartProcess(command, g_installer.installFolder)) return;
  ts::WText report = L"Failed to launch command: " + command + L"\r\n" + ts::SystemErrorTextW(GetLastError()) + L"\r\n";
  LogAfterFinish(report);
  ts::WriteStandardError(report);
}

struct Phase {
  int number;
  const wchar_t* name;
  void (*run)();
};

// The installation, in its fixed order. Before the progress page opens
// (phase 16) nothing of the product exists, so every refusal up to there
// leaves the machine as it was.
constexpr Phase kPhases[] = {
    {2, L"payload and script", ReadPayloadAndScript},
    {3, L"installer stub", CheckStub},
    {4, L"language", ChooseLanguageAndTitle},
    {5, L"bitness", CheckBitness},
    {6, L"excluded systems", CheckExcludedSystems},
    {7, L"master product", CheckMaster},
    {8, L"single instance", CheckSingleInstance},
    {9, L"earlier installation", ReadEarlier},
    {10, L"greeting", Greeting},
    {11, L"password", Password},
    {12, L"license, readme and running applications", LicenseReadmeAndRunningApplications},
    {13, L"installation folder", ResolveInstallFolder},
    {14, L"existing installation", ExamineExistingInstallation},
    {15, L"folder pages", FolderPages},
    {16, L"progress page", BeginWork},
    {17, L"restore point", RestorePoint},
    {18, L"data folders", CreateDataFolders},
    {19, L"batches before the files", RunPreInstallBatches},
    {20, L"archive", ReadAndVerifyArchive},
    {21, L"files", Files},
    {22, L"shared files", SharedFiles},
    {23, L"components", Components},
    {24, L"shortcuts", Shortcuts},
    {25, L"registry", WriteRegistryEntries},
    {26, L"associations", AssociateFiles},
    {27, L"firewall", Firewall},
    {28, L"extra files and search path", ExtraFiles},
    {29, L"uninstaller", [] { WriteUninstaller(g_payload); }},
    {30, L"product registration", Registration},
    {31, L"uninstall record", WriteUninstallRecord},
    {32, L"post-installation batch", PostInstall},
    {33, L"restore point committed", FinishRestorePoint},
    {34, L"log and summary", LogAndSummary},
    {35, L"restart question", RestartQuestion},
    {36, L"exit batch", RunExitBatch},
    {37, L"empty folders", RemoveEmptyFolders},
    {38, L"restart", Restart},
    {39, L"programs to start", [] { StartRequestedProgram(); CarryOutSummaryChoices(); }},
};

}  // namespace

void SetPhaseObserver(PhaseObserver observer) { g_phaseObserver = observer; }

void RunInstallDriver() {
  for (const Phase& phase : kPhases) {
    ts::TraceRun(ts::Format(L"phase %d %s", phase.number, phase.name));
    if (g_phaseObserver) g_phaseObserver(phase.number);
    phase.run();
  }
  OrderlyExit(1);
}

}  // namespace palisade
