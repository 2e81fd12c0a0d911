#pragma once
// Reference counts of files that several products share.

#include "core/ts_text.h"

namespace palisade {

// Counts this product as a user of each shared file it installed.
void CountSharedFiles();
// Releases this product's use of each shared file it installed; the last
// user's release removes the file. A portable installation kept no counts,
// so it has none to release.
void ReleaseSharedFiles(const ts::WText& sharedFiles, bool portable);

}  // namespace palisade
