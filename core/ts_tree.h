#pragma once
// Deleting a folder with everything in it.
#include "core/ts_text.h"

namespace ts {

// Deletes the folder's files and sub-folders, then the folder. A symbolic
// link or junction inside is removed as a link; what it points at is never
// entered, so the deletion cannot reach outside the folder. Read-only files
// are deleted too. A folder that is not empty yet (a file still closing) is
// tried again for up to two seconds. False when anything stayed.
bool DeleteTree(const WText& folder);

}  // namespace ts
