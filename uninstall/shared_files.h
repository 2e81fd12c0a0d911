#pragma once
// Reference counts of files that several products share: the system's
// count of users per file (`SharedDLLs`), and the product's own list of the
// files it counted (`SharedFiles` of its uninstall key), so that it counts
// each file once and releases exactly what it counted.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/ts_text.h"

namespace palisade {

// What the last user's release does with a shared file.
enum class SharedFileMarker : char {
  kDelete = '\0',
  kKeep = ' ',               // a permanent file, or one of the kind that is always kept
  kComServer = '^',          // unregistered as a COM server, then deleted
  kTypeLibrary = '\xA9',     // its type library unregistered, then deleted
};

struct SharedFile {
  ts::WText path;
  SharedFileMarker marker = SharedFileMarker::kDelete;
};

// The list item of a shared file as the file phase hands it on (its marker
// character, if any, then the path): the path in the stored form and the
// marker, in double quotes.
ts::Text SharedFileItem(const ts::WText& entry);
// The items of a `SharedFiles` list, in order.
std::vector<SharedFile> SharedFileItems(std::string_view list);
// The list with the item appended, unless it holds that item already.
ts::Text WithSharedFileItem(const ts::Text& list, const ts::Text& item);

// One user fewer: the count to write back, or, when the file has no user
// left, that the count goes. A count of 0 or less was never a real count:
// nothing is written and the file counts as unused.
struct CountRelease {
  bool lastUser = false;
  bool writeCount = false;   // `count` is written back
  bool deleteCount = false;  // the count value goes
  uint32_t count = 0;
};
CountRelease ReleaseCount(int32_t count);

// Counts this product as a user of each shared file the file phase wrote,
// once however often the product is installed over itself, and extends the
// product's list (g_installer.sharedFileList) for its registration.
void CountSharedFiles();
// Releases this product's use of each file of its `SharedFiles` list; the
// last user's release unregisters and deletes the file as its marker says.
// A portable installation kept no counts, so it has none to release.
void ReleaseSharedFiles(const ts::WText& sharedFiles, bool portable);

}  // namespace palisade
