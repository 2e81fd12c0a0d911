#include "actions/file_follow_ups.h"

namespace palisade {
namespace {

namespace kind = format::destination_kind;
namespace record_flags = format::record_flags;

constexpr wchar_t kComMarker = L'^';
constexpr wchar_t kTypeLibraryMarker = 0xA9;

bool IsShared(uint32_t k, bool portable) {
  return (k == kind::kSharedFolder && !portable) || k == kind::kSystemShared || k == kind::kSystemCom ||
         k == kind::kSystemTypeLibrary;
}

ts::WText SharedMarker(uint32_t k, bool permanent) {
  if (permanent || k == kind::kSystemShared) return L" ";
  if (k == kind::kSystemCom) return ts::WText(1, kComMarker);
  if (k == kind::kSystemTypeLibrary) return ts::WText(1, kTypeLibraryMarker);
  return L"";
}

ts::WText FileName(const ts::WText& path) { return path.substr(path.find_last_of(L'\\') + 1); }

}  // namespace

bool FollowsUp(uint32_t fileKind, const FileOutcome& outcome) {
  return outcome.written || (outcome.waitsForRestart && fileKind == kind::kControlPanelApplet);
}

void CollectFollowUps(const format::FileRecord& record, const FileOutcome& outcome, bool portable,
                      const ts::WText& fontFace, const ts::WText& shortcutName, const ts::WText& shortcutArguments,
                      const ts::WText& workingFolder, FileFollowUps& lists) {
  bool permanent = record.flags & record_flags::kPermanent;
  if (IsShared(record.kind, portable)) lists.sharedFiles.Add(SharedMarker(record.kind, permanent) + outcome.path);
  if (outcome.written) lists.installedFiles.Add(outcome.path);
  bool shortcutFlags = record.flags & (record_flags::kDesktopShortcut | record_flags::kStartMenuShortcut);
  bool startup = record.kind == kind::kStartup;
  if (startup || (record.kind == kind::kInstallFolder && shortcutFlags)) {
    ShortcutEntry entry;
    entry.desktop = record.flags & record_flags::kDesktopShortcut;
    entry.startMenu = record.flags & record_flags::kStartMenuShortcut;
    entry.startup = startup;
    entry.permanent = permanent;
    entry.target = outcome.path;
    entry.name = shortcutName;
    entry.icon = ts::WText(record.textB.begin(), record.textB.end());
    entry.arguments = shortcutArguments;
    entry.workingFolder = workingFolder;
    lists.shortcuts.Add(entry);
  }
  if (!FollowsUp(record.kind, outcome)) return;
  switch (record.kind) {
    case kind::kSystemCom: lists.comServers.Add(outcome.path); break;
    case kind::kSystemTypeLibrary: lists.typeLibraries.Add(outcome.path); break;
    case kind::kDriverPackage: lists.driverPackages.Add(outcome.path); break;
    case kind::kFont:
      if (!permanent) lists.fontList += L"\"" + fontFace + L"\" \"" + FileName(outcome.path) + L"\" ";
      break;
    default: break;
  }
}

}  // namespace palisade
