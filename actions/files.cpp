#include "actions/files.h"

#include <optional>

#include <windows.h>

#include "core/ts_components.h"

#include "actions/applets.h"
#include "actions/file_destination.h"
#include "actions/file_follow_ups.h"
#include "actions/install_log.h"
#include "actions/fonts.h"
#include "actions/installed_file.h"
#include "actions/msi_packages.h"
#include "actions/overwrite_rules.h"
#include "state/installer_state.h"
#include "core/system_facts.h"
#include "core/ts_system.h"
#include "format/file_record.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/payload_reader.h"
#include "payload/record_prefetch.h"
#include "payload/variables.h"
#include "ui/progress.h"
#include "record/uninstall_record.h"
#include "record/record_text.h"

namespace palisade {
namespace {

namespace kind = format::destination_kind;
namespace record_flags = format::record_flags;

constexpr int kFilePhaseStart = 28;
constexpr int kFilePhaseSpan = 62;
constexpr int kHiddenFileNameStatus = 54;
constexpr int kFolderFailureMessage = 25;
// Decoded records waiting for the writer: enough to keep both busy, small
// beside the decoder's own memory.
constexpr size_t kPrefetchLimit = 2 << 20;

bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }
bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }

ts::WText Wide(const std::u16string& text) { return ts::WText(text.begin(), text.end()); }

ts::WText FolderOf(const ts::WText& path) { return path.substr(0, path.find_last_of(L'\\')); }
ts::WText LastComponent(const ts::WText& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == ts::WText::npos ? path : path.substr(slash + 1);
}

DestinationFolders RunFolders() {
  return {g_installer.installFolder, SharedFolder(), UninstallFolder(), ts::SystemFolder(),
          ts::SpecialFolder(ts::SpecialFolderId::kFonts)};
}

ExistingFile FactsOf(const ts::WText& path, uint32_t fileKind) {
  ExistingFile existing;
  existing.exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!existing.exists) return existing;
  existing.timeKnown = ReadFileTime(path, existing.time);
  bool versioned = fileKind >= kind::kSystemShared && fileKind <= kind::kVersionChecked;
  if (versioned) existing.version = ReadFileVersion(path);
  return existing;
}

void ShowFileStatus(const ts::WText& path) {
  if (HighFlag(format::product_flags_high::kHideFileNames)) {
    SetStatus(kHiddenFileNameStatus);
  } else {
    SetStatusText(path);
  }
}

// The product's own folders are created as needed and recorded, innermost
// last, so that the uninstaller removes them deepest first.
bool MakeFolder(const ts::WText& path, bool recorded) {
  ts::WText folder = FolderOf(path);
  if (folder == g_installer.installFolder) return true;
  std::vector<ts::WText> created;
  ts::WText reason;
  if (!CreateFolderWithParents(folder, created, reason)) {
    AddToFailureSummary(MessageWithTags(kFolderFailureMessage) + L" " + folder + L"\r\n" + reason +
                        L"\r\n\r\nNot installed: " + path + L"\r\n\r\n");
    return false;
  }
  if (recorded) {
    for (const ts::WText& owned : OwnedFolders(folder, created, g_installer.installFolder, g_installer.productFolders)) {
      RecordForRemoval(owned, RemovalKind::kFolder);
    }
  }
  return true;
}

// Fonts, packages and applets are registered as soon as their file is in
// place, so that a later file of the product may rely on them.
void RegisterAtOnce(const format::FileRecord& record, const ts::WText& path, const ts::WText& textA) {
  switch (record.kind) {
    case kind::kFont: RegisterFont(textA, LastComponent(path)); break;
    case kind::kMsiPackage:
      InstallMsiPackage(path, static_cast<int>(record.msiUiLevel), record.flags & record_flags::kRemoveMsiPackage);
      break;
    case kind::kControlPanelApplet:
      RegisterApplet({path, textA, ts::WideFromCodePage1252(record.textC), WideFromStoredText(record.textD)});
      break;
    default: break;
  }
}

class FilePhase {
 public:
  explicit FilePhase(size_t count) : count_(count), folders_(RunFolders()) {}

  void Install(size_t index, const format::FileRecord& record, const FileContents& contents) {
    SetProgress(kFilePhaseStart + static_cast<int>(kFilePhaseSpan * index / count_));
    ts::WText override = Wide(record.destinationOverride);
    bool portableShared = record.kind == kind::kSharedFolder && g_installer.portable &&
                          !g_installer.script.portableSharedFolder.empty();
    if (portableShared && !KeepsPortableSharedOverride(override)) override.clear();
    if (override.find(L'\\') != ts::WText::npos) Expand(override);
    Destination destination = ResolveDestination(WideFromStoredText(record.name), record.kind, record.flags, override, folders_);
    if (destination.unknownKind) CorruptInstaller(format::Error::kUnknownDestination);
    if (!destination.refusal.empty()) {
      AddToFailureSummary(destination.refusal + L"\r\nNot installed: " + WideFromStoredText(record.name) + L"\r\n\r\n");
      return;
    }
    FileOutcome outcome = InstallAt(destination, record, contents, LastComponent(WideFromStoredText(record.name)));
    ts::WText textA = WideFromStoredText(record.textA);
    CollectFollowUps(record, outcome, g_installer.portable, textA, textA, ts::WideFromCodePage1252(record.textC),
                     WideFromStoredText(record.textD), g_installer.followUps);
    if (FollowsUp(record.kind, outcome)) RegisterAtOnce(record, outcome.path, textA);
  }

 private:
  FileOutcome InstallAt(const Destination& destination, const format::FileRecord& record, const FileContents& contents,
                        const ts::WText& shortName) {
    const ts::WText& path = destination.path;
    FileOutcome outcome{path};
    ShowFileStatus(path);
    bool permanent = record.flags & record_flags::kPermanent;
    bool recorded = !permanent && IsRecordedKind(record.kind, g_installer.portable);

    FileToInstall file;
    file.kind = record.kind;
    file.overwriteMode = record.flags & record_flags::kOverwriteModeMask;
    file.permanent = permanent;
    file.portable = g_installer.portable;
    file.time = record.time;
    file.version = WideFromStoredText(record.textA);
    file.destination = ts::Utf8FromWide(path);
    std::optional<bool> existedBefore;
    ExistingFile existing;
    if (DependsOnExistingFile(file)) {
      existing = FactsOf(path, record.kind);
      existedBefore = existing.exists;
    }
    OverwriteDecision decision = DecideOverwrite(file, existing);
    LogRaw(decision.logLine);
    if (decision.action == FileAction::kSkipButRecord) RecordForRemoval(path, RemovalKind::kFile);
    if (decision.action != FileAction::kWrite) return outcome;

    bool folderRecorded = recorded || record.kind == kind::kSharedFolder;
    if (destination.createFolder && !MakeFolder(path, folderRecorded && !permanent)) return outcome;
    if (recorded) RecordForRemoval(path, RemovalKind::kFile);
    if (!WriteInstalledFile(path, contents, record.time, record.attributes, existedBefore, outcome.waitsForRestart)) {
      return outcome;
    }
    outcome.written = true;
    g_installer.installedBytes += contents.size();
    if (LowFlag(format::product_flags_low::kLogEveryFile)) {
      LogWideConcat({shortName, L" >>> ", path, L"\r\n"});
    }
    return outcome;
  }

  size_t count_;
  DestinationFolders folders_;
};

}  // namespace

void InstallFiles(Payload& payload) {
  SetStatus(29);
  format::ChunkCoding coding;
  coding.compressed = LowFlag(format::product_flags_low::kArchiveCompressed);
  coding.cipher = payload.cipher.get();
  FilePhase phase(std::max<size_t>(payload.header.entrySizes.size(), 1));
  RecordPrefetch files(payload.archive, coding, payload.header.entrySizes, kPrefetchLimit);
  format::FileRecord record;
  FileContents contents;
  for (size_t i = 0; i < payload.header.entrySizes.size(); ++i) {
    if (format::Error error = files.NextFile(record, contents); error != format::Error::kNone) CorruptInstaller(error);
    phase.Install(i, record, contents);
  }
  if (format::Error error = files.Finish(); error != format::Error::kNone) CorruptInstaller(error);
  if (g_installer.followUps.fontAdded) ts::AnnounceFontChange();
}

}  // namespace palisade
