#pragma once
// Folders and what they hold: deleting a folder whole, listing the files
// that a pattern names.
#include <vector>

#include "core/ts_text.h"

namespace ts {

// Deletes the folder's files and sub-folders, then the folder, except the
// files named in `keep` (full paths, in any letter case, long or short
// names) and the folders that hold them. Every entry is opened relative to
// its opened folder and deleted through its own handle, so the deletion
// cannot reach outside the folder, not even through a link put in while it
// runs: a symbolic link or junction inside is removed as a link and never
// entered; where the system cannot open a link as itself (Wine follows
// it), the link stays. A folder that is itself a link is not deleted.
// Read-only files are deleted too. A folder that is not empty yet (a file
// still closing) is tried again for up to two seconds. False when anything
// other than the kept files and their folders stayed.
bool DeleteTree(const WText& folder, const std::vector<WText>& keep = {});

// The files that `pattern` names: a full path whose last step may hold the
// wildcards "*" and "?". Folders are not listed.
std::vector<WText> MatchingFiles(const WText& pattern);

}  // namespace ts
