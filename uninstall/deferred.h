#pragma once
// The installation's and the uninstallation's own dealings with the work
// left to the next restart: taking stale operations out of the system's
// list, and the script's conditional deletions. The file operations
// themselves are the core library's (core/ts_deferred.h).
#include <cstdint>
#include <set>
#include <vector>

#include "core/ts_text.h"
#include "format/setup_script.h"

namespace palisade {

// How a path of the pending list compares: without its leading "\", "?"
// and "!" characters, ASCII letters lower-cased.
ts::WText ComparedPendingPath(const ts::WText& path);

struct RemovedPendingOperation {
  bool move = false;       // a replacement; otherwise a deletion
  ts::WText target;        // as compared
  ts::WText waitingFile;   // a replacement's source, the temporary file, as listed
};

struct PendingListEdit {
  std::vector<ts::WText> remaining;  // the texts that stay, in pairs and in order
  std::vector<RemovedPendingOperation> removed;
};

// The system's pending list (texts in pairs: source, destination; an empty
// destination deletes the source) without every operation that targets a
// path of `paths` (compared form), and without deletions of nothing. A list
// of an odd number of texts ends with an empty one.
PendingListEdit WithoutPendingOperations(std::vector<ts::WText> list, const std::set<ts::WText>& paths);

// Takes out of the system's pending operations every one that targets a
// path of the set (ASCII lower-cased paths): an older replacement waiting
// for the restart must not undo a file just written, nor bring back one
// just removed. A replacement's waiting file goes to the recycle bin.
void RemovePendingOperations(const std::set<ts::WText>& paths);

enum class ConditionalPhase : uint8_t { kInstallation = 4, kUninstallation = 8 };

enum class ConditionVerdict { kMet, kNotMet, kBadVersion };
// Whether a file of this version (empty: none) and size meets the rule's
// condition; kBadVersion when a version condition holds no version.
ConditionVerdict CheckDeleteCondition(const format::ConditionalDeleteRule& rule, const ts::WText& fileVersion,
                                      uint64_t fileSize);

// Runs the script's conditional-delete rules of the phase (in the
// uninstaller, the rules that the record kept); in the uninstallation, the
// rules that have nothing left to do are dropped from the list, so that the
// rewritten record keeps only the others.
void RunConditionalDeletion(ConditionalPhase phase);

}  // namespace palisade
