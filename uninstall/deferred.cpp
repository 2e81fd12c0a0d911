#include "uninstall/deferred.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "actions/install_log.h"
#include "actions/installed_file.h"
#include "actions/overwrite_rules.h"
#include "core/system_facts.h"
#include "core/ts_deferred.h"
#include "core/ts_format.h"
#include "core/ts_no_follow.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "core/ts_tree.h"
#include "payload/payload_reader.h"
#include "payload/variables.h"
#include "state/installer_state.h"
#include "uninstall/removal_safety.h"

namespace palisade {
namespace {

constexpr wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";
constexpr REGSAM kKeyAccess = 0x2000F;

// Flag bits of a conditional-delete rule besides the phases.
constexpr uint8_t kOnlyAtRestart = 0x1;
constexpr uint8_t kAtRestartWhenNowFails = 0x2;

enum ConditionKind : uint8_t {
  kVersionEquals = 1,
  kVersionAtLeast = 2,
  kVersionAtMost = 3,
  kSizeEquals = 4,
  kSizeAtLeast = 5,
  kSizeAtMost = 6,
};

enum class Outcome { kDone, kFailed };

ts::WText FolderOf(const ts::WText& path) { return path.substr(0, std::min(path.find_last_of(L'\\'), path.size())); }

// A waiting file that lies beside the file it was to replace is the
// temporary file of an installation; anything else named in the list is
// left where it is.
void RecycleWaitingFile(const RemovedPendingOperation& removed) {
  ts::WText waiting = removed.waitingFile;
  size_t start = waiting.find_first_not_of(L"\\?!");
  waiting = start == ts::WText::npos ? ts::WText() : waiting.substr(start);
  if (waiting.empty() || ts::AsciiLowerCase(FolderOf(waiting)) != FolderOf(removed.target)) return;
  ts::DeleteFileWithOptions(waiting, ts::delete_file::kToRecycleBin);
}

bool IsVersionText(const std::string& text) {
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '.' && c != ' ' && !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      return false;
    }
  }
  return digit;
}

ts::WText PatternPath(const format::ConditionalDeleteRule& rule) {
  ts::WText pattern = ts::WideFromUtf8(rule.pattern);
  Expand(pattern);
  return ts::NormalisedPath(BelowInstallFolder(pattern));
}

// The script and the record can name any file: one that lies in a system
// folder or is reached through a link is never deleted.
bool MayDelete(const ts::WText& path, const std::vector<ts::WText>& machineFolders) {
  return IsRemovableFile(path, machineFolders, ts::WindowsFolder()) && !ts::LeadsElsewhere(path);
}

bool ReadSize(const ts::WText& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA facts;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &facts)) return false;
  size = static_cast<uint64_t>(facts.nFileSizeHigh) << 32 | facts.nFileSizeLow;
  return true;
}

void ClearAttributesInTheWay(const ts::WText& path) {
  constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.c_str(), attributes & ~kInTheWay);
}

// Deletes now unless the rule waits for the restart, and leaves the file to
// the restart when the rule says so. The deletion now goes through a handle
// that shows the file is the one judged; a link found in the way then is
// never handed to the restart, which deletes by name.
Outcome DeleteConditionally(const ts::WText& path, uint8_t flags, bool installing) {
  ClearAttributesInTheWay(path);
  DWORD error = ERROR_SUCCESS;
  bool throughLink = false;
  if (!(flags & kOnlyAtRestart)) {
    ts::Reach reach = ts::DeleteThroughHandle(path, ts::ObjectKind::kFile);
    if (reach == ts::Reach::kObject) {
      if (installing) LogWideFormat(L"Deleted file: %s\r\n", path.c_str());
      return Outcome::kDone;
    }
    throughLink = reach == ts::Reach::kElsewhere;
    error = GetLastError();
  }
  if (!throughLink && (flags & (kOnlyAtRestart | kAtRestartWhenNowFails))) {
    bool onlyAtRestart = flags & kOnlyAtRestart;
    if (installing) {
      LogWideFormat(L"File \"%s\" will be deleted after rebooting%s%s\r\n", path.c_str(), onlyAtRestart ? L"" : L": ",
                    onlyAtRestart ? L"." : ts::SystemErrorTextW(error).c_str());
    }
    if (ts::DeleteAtRestart(path)) {
      RequireRestart();
      return Outcome::kDone;
    }
    if (installing) {
      AddToFailureSummary(ts::Format(L"Failed to register \"%s\" for deletion: %s\r\n", path.c_str(),
                                     ts::SystemErrorTextW(GetLastError()).c_str()));
    }
    return Outcome::kFailed;
  }
  if (installing) LogWideFormat(L"Failed to delete file \"%s\": %s\r\n", path.c_str(), ts::SystemErrorTextW(error).c_str());
  return Outcome::kFailed;
}

// The files of one rule; false when any of them failed. `handled` turns
// true once a file met the condition.
bool RunRule(const format::ConditionalDeleteRule& rule, ConditionalPhase phase,
             const std::vector<ts::WText>& machineFolders, bool& handled) {
  if (!(rule.flags & static_cast<uint8_t>(phase))) return true;
  bool failed = false;
  for (const ts::WText& path : ts::MatchingFiles(PatternPath(rule))) {
    uint64_t size = 0;
    if (!MayDelete(path, machineFolders) || !ReadSize(path, size)) continue;
    ConditionVerdict verdict = CheckDeleteCondition(rule, ReadFileVersion(path), size);
    if (verdict == ConditionVerdict::kBadVersion) CorruptInstaller(format::Error::kBadConditionalVersion);
    if (verdict == ConditionVerdict::kNotMet) continue;
    handled = true;
    if (DeleteConditionally(path, rule.flags, phase == ConditionalPhase::kInstallation) == Outcome::kFailed) {
      failed = true;
    }
  }
  return !failed;
}

}  // namespace

ts::WText ComparedPendingPath(const ts::WText& path) {
  size_t start = path.find_first_not_of(L"\\?!");
  return start == ts::WText::npos ? ts::WText() : ts::AsciiLowerCase(path.substr(start));
}

PendingListEdit WithoutPendingOperations(std::vector<ts::WText> list, const std::set<ts::WText>& paths) {
  if (list.size() % 2) list.emplace_back();
  PendingListEdit edit;
  for (size_t i = 0; i < list.size(); i += 2) {
    const ts::WText& source = list[i];
    const ts::WText& destination = list[i + 1];
    if (!destination.empty()) {
      ts::WText target = ComparedPendingPath(destination);
      if (paths.count(target)) {
        edit.removed.push_back({true, target, source});
        continue;
      }
    } else {
      ts::WText target = ComparedPendingPath(source);
      if (target.empty() || paths.count(target)) {
        edit.removed.push_back({false, target, L""});
        continue;
      }
    }
    edit.remaining.push_back(source);
    edit.remaining.push_back(destination);
  }
  return edit;
}

void RemovePendingOperations(const std::set<ts::WText>& paths) {
  ts::RegistryKey key;
  std::vector<ts::WText> list;
  if (key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, kKeyAccess) != ERROR_SUCCESS || !key.ReadTexts(kPendingValue, list) ||
      list.empty()) {
    return;
  }
  bool installing = !g_installer.flags.uninstall;
  if (installing) LogText("\r\n");
  PendingListEdit edit = WithoutPendingOperations(list, paths);
  for (const RemovedPendingOperation& removed : edit.removed) {
    if (removed.move) {
      if (installing) LogWideFormat(L"File \"%s\" was removed from the list of pending moves.\r\n", removed.target.c_str());
      RecycleWaitingFile(removed);
    } else if (installing && !removed.target.empty()) {
      LogWideFormat(L"File \"%s\" was removed from the list of pending deletions.\r\n", removed.target.c_str());
    }
  }
  if (!edit.removed.empty()) key.SetTexts(kPendingValue, edit.remaining);
}

ConditionVerdict CheckDeleteCondition(const format::ConditionalDeleteRule& rule, const ts::WText& fileVersion,
                                      uint64_t fileSize) {
  auto verdict = [](bool met) { return met ? ConditionVerdict::kMet : ConditionVerdict::kNotMet; };
  switch (rule.conditionKind) {
    case kVersionEquals:
    case kVersionAtLeast:
    case kVersionAtMost: {
      if (!IsVersionText(rule.value)) return ConditionVerdict::kBadVersion;
      int order = CompareVersions(fileVersion, ts::WideFromUtf8(rule.value));
      if (rule.conditionKind == kVersionEquals) return verdict(order == 0);
      return verdict(rule.conditionKind == kVersionAtLeast ? order >= 0 : order <= 0);
    }
    case kSizeEquals:
    case kSizeAtLeast:
    case kSizeAtMost: {
      uint64_t value = std::strtoull(rule.value.c_str(), nullptr, 10);
      if (rule.conditionKind == kSizeEquals) return verdict(fileSize == value);
      return verdict(rule.conditionKind == kSizeAtLeast ? fileSize >= value : fileSize <= value);
    }
    default: return ConditionVerdict::kMet;
  }
}

void RunConditionalDeletion(ConditionalPhase phase) {
  std::vector<format::ConditionalDeleteRule>& rules = g_installer.script.conditionalDeletes;
  std::vector<ts::WText> machineFolders = MachineFolders();
  bool handled = false;
  std::vector<format::ConditionalDeleteRule> unfinished;
  for (const format::ConditionalDeleteRule& rule : rules) {
    if (!RunRule(rule, phase, machineFolders, handled)) unfinished.push_back(rule);
  }
  if (phase == ConditionalPhase::kUninstallation) rules = std::move(unfinished);
  if (phase == ConditionalPhase::kInstallation && handled) LogText("\r\n");
}

}  // namespace palisade
