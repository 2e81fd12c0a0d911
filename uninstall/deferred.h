#pragma once
// Operations on files that are in use, left to the next start of Windows.
#include <set>

#include "core/ts_text.h"

namespace palisade {

// Settles what earlier runs left for the restart.
void HandlePendingOperations();

// Takes out of the system's pending operations every one that targets a
// path of the set (lower-case paths).
void RemovePendingOperations(const std::set<ts::WText>& deleted);

enum class ConditionalPhase { kInstallation = 4, kUninstallation = 8 };
// Runs the script's conditional-delete rules of the phase.
void RunConditionalDeletion(ConditionalPhase phase);

// A new, empty file with a unique name in `folder` (the system's temporary
// folder when empty), with the extension when one is given; empty when none
// could be made.
ts::WText MakeTemporaryFile(const ts::WText& folder, const wchar_t* extension = nullptr);

// Asks the system to move `temporary` over `destination` at the next
// restart. False, with the system's error in GetLastError, when it refuses.
bool ReplaceAtRestart(const ts::WText& temporary, const ts::WText& destination);

// Asks the system to delete `path` at the next restart. False, with the
// system's error in GetLastError, when it refuses.
bool DeleteAtRestart(const ts::WText& path);

}  // namespace palisade
