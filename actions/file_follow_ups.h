#pragma once
// What the file phase hands on: the lists that the later steps of the run
// carry out (shared-file counts, COM servers, type libraries, drivers,
// packages, applets, fonts and shortcuts).
#include <cstdint>

#include "core/ts_core.h"
#include "format/file_record.h"
#include "state/follow_ups.h"

namespace palisade {

// What one file of the archive hands on once the file phase is done with
// it. `written` is false for a file that was skipped or failed;
// `waitsForRestart` for one whose new contents wait for the next restart.
struct FileOutcome {
  ts::WText path;
  bool written = false;
  bool waitsForRestart = false;
};

// Whether the file gets its kind's follow-up: a file that was written,
// and an applet also when it waits for the next restart.
bool FollowsUp(uint32_t fileKind, const FileOutcome& outcome);

// Adds the file's entries to the lists. Pure apart from the lists: the
// texts of the record come in as the file phase decoded them.
void CollectFollowUps(const format::FileRecord& record, const FileOutcome& outcome, bool portable,
                      const ts::WText& fontFace, const ts::WText& shortcutName, const ts::WText& shortcutArguments,
                      const ts::WText& workingFolder, FileFollowUps& lists);

}  // namespace palisade
