#pragma once
// The decisions of the file phase that need no machine: where a file goes,
// and whether it may replace what is already there. The file phase gathers
// the facts, these functions decide, and the log gets their wording.
#include <cstdint>
#include <string_view>

#include "core/ts_text.h"
#include "format/byte_stream.h"
#include "format/version_order.h"

namespace palisade {

// The engine orders versions exactly as the builder checks them.
using format::CompareVersions;

// Negative, zero or positive. Dates first (a stamp without a date is the
// greater); on equal dates a stamp without a time is the greater, and times
// within one second of each other are equal.
int CompareTimeStamps(const format::TimeStamp& a, const format::TimeStamp& b);

// A stamp with both a date and a time.
bool IsComplete(const format::TimeStamp& time);

// "2026/12/07 09:05:03"
ts::Text TimeStampText(const format::TimeStamp& time);

// What is known of the file already at the destination.
struct ExistingFile {
  bool exists = false;
  bool timeKnown = false;
  format::TimeStamp time;
  ts::WText version;  // empty when the file has no version resource
};

// What the file phase knows of the file to install.
struct FileToInstall {
  uint32_t kind = 0;
  uint32_t overwriteMode = 0;  // the record flags' overwrite bits
  bool permanent = false;
  bool portable = false;  // the installation is portable
  format::TimeStamp time;
  ts::WText version;  // text A of versioned kinds
  ts::Text destination;  // UTF-8, for the log
};

enum class FileAction {
  kSkipSilently,       // never installed
  kSkip,               // not installed; the log says why
  kSkipButRecord,      // not installed, but recorded for removal as if it were
  kWrite,              // written; the log line, if any, says why
};

struct OverwriteDecision {
  FileAction action = FileAction::kWrite;
  ts::Text logLine;  // empty, or a complete line ending in CR LF
};

OverwriteDecision DecideOverwrite(const FileToInstall& file, const ExistingFile& existing);

// False when the decision is the same whatever lies at the destination, so
// that the file phase need not look: under Wine every look-up of a name
// that is not there reads the whole folder.
bool DependsOnExistingFile(const FileToInstall& file);

// Whether files of the kind are recorded for removal one by one (the shared
// kinds go through the shared-file counts instead).
bool IsRecordedKind(uint32_t kind, bool portable);

}  // namespace palisade
