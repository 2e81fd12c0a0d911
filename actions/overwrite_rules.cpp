#include "actions/overwrite_rules.h"

#include <string>
#include <vector>

#include "core/ts_format.h"
#include "format/file_record.h"

namespace palisade {
namespace {

namespace kind = format::destination_kind;
namespace mode = format::overwrite_mode;

constexpr uint32_t kNeverInstalledAlias = 0x14;

int Sign(int64_t value) { return (value > 0) - (value < 0); }

bool HasDate(const format::TimeStamp& time) { return time.month != 0; }
bool HasTime(const format::TimeStamp& time) { return time.hour >= 0; }

int64_t SecondsOfDay(const format::TimeStamp& time) {
  return static_cast<int64_t>(time.hour) * 3600 + time.minute * 60 + time.second;
}

bool IsVersionedKind(uint32_t k) {
  return k == kind::kSystemShared || k == kind::kSystemCom || k == kind::kSystemTypeLibrary || k == kind::kVersionChecked;
}

bool IsDateCheckedKind(uint32_t k) { return k == kind::kSharedFolder || k == kind::kFont; }

ts::Text Utf8(const ts::WText& text) { return ts::Utf8FromWide(text); }

// A skipped file still counts as the product's when the kind is recorded.
FileAction SkipKeepingRecord(const FileToInstall& file) {
  return !file.permanent && IsRecordedKind(file.kind, file.portable) ? FileAction::kSkipButRecord : FileAction::kSkip;
}

OverwriteDecision Skip(FileAction action, const FileToInstall& file, const ts::Text& why) {
  return {action, file.destination + " was not installed because " + why + "\r\n"};
}

OverwriteDecision DecideByDate(const FileToInstall& file, const ExistingFile& existing) {
  bool upToDate = IsComplete(file.time) && existing.timeKnown && CompareTimeStamps(existing.time, file.time) >= 0;
  if (!upToDate) return {FileAction::kWrite, file.destination + " is out of date and will be replaced.\r\n"};
  bool recorded = file.kind == kind::kSharedFolder && file.portable && !file.permanent;
  return {recorded ? FileAction::kSkipButRecord : FileAction::kSkip, file.destination + " is up to date.\r\n"};
}

// A newer version alone is not enough: the date must be newer too.
OverwriteDecision DecideByVersionAndDate(const FileToInstall& file, const ExistingFile& existing) {
  FileAction skipped = file.kind == kind::kVersionChecked && !file.permanent ? FileAction::kSkipButRecord : FileAction::kSkip;
  ts::Text reason;
  if (!file.version.empty() && !existing.version.empty()) {
    ts::Text ours = Utf8(file.version), theirs = Utf8(existing.version);
    if (CompareVersions(file.version, existing.version) <= 0) {
      return {skipped, ts::Format("%s was not installed because its version (%s) is not newer than %s\r\n",
                                  file.destination.c_str(), ours.c_str(), theirs.c_str())};
    }
    reason = ts::Format("its version (%s) is newer than %s", ours.c_str(), theirs.c_str());
  }
  if (!existing.timeKnown) {
    return {FileAction::kWrite, reason.empty() ? file.destination + " is out of date and will be replaced.\r\n"
                                               : file.destination + " needs replacement because " + reason + "\r\n"};
  }
  ts::Text ours = TimeStampText(file.time), theirs = TimeStampText(existing.time);
  if (CompareTimeStamps(file.time, existing.time) <= 0) {
    return Skip(skipped, file, ts::Format("its date (%s) is not newer than %s.", ours.c_str(), theirs.c_str()));
  }
  if (!reason.empty()) reason += " and ";
  reason += ts::Format("its date (%s) is newer than %s", ours.c_str(), theirs.c_str());
  return {FileAction::kWrite, file.destination + " needs replacement because " + reason + "\r\n"};
}

}  // namespace

int CompareTimeStamps(const format::TimeStamp& a, const format::TimeStamp& b) {
  if (HasDate(a) != HasDate(b)) return HasDate(a) ? -1 : 1;
  if (HasDate(a)) {
    if (a.year != b.year) return Sign(a.year - b.year);
    if (a.month != b.month) return Sign(a.month - b.month);
    if (a.day != b.day) return Sign(a.day - b.day);
  }
  if (HasTime(a) != HasTime(b)) return HasTime(a) ? -1 : 1;
  if (!HasTime(a)) return 0;
  int64_t difference = SecondsOfDay(a) - SecondsOfDay(b);
  return difference >= -1 && difference <= 1 ? 0 : Sign(difference);
}

bool IsComplete(const format::TimeStamp& time) { return HasDate(time) && HasTime(time); }

ts::Text TimeStampText(const format::TimeStamp& time) {
  return ts::Format("%d/%02d/%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour, time.minute, time.second);
}

bool IsRecordedKind(uint32_t k, bool portable) {
  switch (k) {
    case kind::kSharedFolder: return portable;
    case kind::kFont:
    case kind::kSystemShared:
    case kind::kSystemCom:
    case kind::kSystemTypeLibrary: return false;
    default: return true;
  }
}

OverwriteDecision DecideOverwrite(const FileToInstall& file, const ExistingFile& existing) {
  uint32_t m = file.overwriteMode;
  if (m == mode::kNever || m == kNeverInstalledAlias) return {FileAction::kSkipSilently, {}};
  if (m == mode::kIfExists && !existing.exists) return Skip(FileAction::kSkip, file, "it does not already exist.");
  if (m == mode::kIfMissing && existing.exists) return Skip(SkipKeepingRecord(file), file, "it already exists.");
  if (m == mode::kUnlessNewer && existing.exists && existing.timeKnown && IsComplete(file.time) &&
      IsComplete(existing.time) && CompareTimeStamps(existing.time, file.time) > 0) {
    return Skip(SkipKeepingRecord(file), file, "the existing file is newer.");
  }
  if (!existing.exists) return {FileAction::kWrite, {}};
  if (IsDateCheckedKind(file.kind)) return DecideByDate(file, existing);
  if (IsVersionedKind(file.kind)) return DecideByVersionAndDate(file, existing);
  return {FileAction::kWrite, {}};
}

bool DependsOnExistingFile(const FileToInstall& file) {
  uint32_t m = file.overwriteMode;
  if (m == mode::kNever || m == kNeverInstalledAlias) return false;
  if (m == mode::kIfExists || m == mode::kIfMissing || m == mode::kUnlessNewer) return true;
  return IsDateCheckedKind(file.kind) || IsVersionedKind(file.kind);
}

}  // namespace palisade
