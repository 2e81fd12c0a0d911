#pragma once
// Reference counts of files that several products share.

namespace palisade {

// Counts this product as a user of each shared file it installed.
void CountSharedFiles();

}  // namespace palisade
