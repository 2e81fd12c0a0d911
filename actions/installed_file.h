#pragma once
// Writing one file of the product, and reading what the system knows of a
// file already there.
#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "core/ts_text.h"
#include "format/byte_stream.h"
#include "payload/file_contents.h"

namespace palisade {

inline constexpr uint32_t kLeaveAttributes = 0xFFFFFFFF;

// Writes the file in up to three attempts 50 ms apart, verifies it when the
// script asks, then stamps its times and attributes. False when it is not in
// place: either its new contents wait for the next restart
// (`replacedAtRestart`), or the reason is in the failure summary. Whether
// the file existed before decides the restart replacement; a caller that
// did not look leaves it empty, and it is looked up only when the file
// cannot be written.
bool WriteInstalledFile(const ts::WText& path, const FileContents& contents, const format::TimeStamp& time,
                        uint32_t attributes, std::optional<bool> existedBefore, bool& replacedAtRestart);

// Sets the file's creation and last-write times when `time` is complete,
// then the attribute bits that a file record carries, unless `attributes`
// is kLeaveAttributes.
void StampTimeAndAttributes(const ts::WText& path, const format::TimeStamp& time, uint32_t attributes);

// Fills a temporary file with the new contents: ERROR_SUCCESS or the
// system's error.
using TemporaryFiller = std::function<DWORD(const ts::WText& temporary)>;

struct RestartReplacement {
  bool scheduled = false;
  bool noTemporaryFile = false;  // nothing of the new contents could be put beside the file
  ts::WText failure;             // what went wrong, in the wording of the log and the failure summary
};

// The new contents of a file in use wait in a temporary file beside it,
// stamped with `time`, until the system moves it over the file at the next
// restart; on success the restart is logged and asked for at the end of the
// run. On failure the temporary file is gone and `failure` tells why.
RestartReplacement ReplaceAtNextRestart(const ts::WText& path, const TemporaryFiller& fill,
                                        const format::TimeStamp& time);

// The failure-summary block of a file that could not be written: message
// 31, the path and the reason.
ts::WText WriteFailureText(const ts::WText& path, const ts::WText& errorText);

// The file's last-write time in UTC; false when it cannot be read.
bool ReadFileTime(const ts::WText& path, format::TimeStamp& time);

// The FileVersion text of the file's version resource, with "," turned into
// "." and surrounding blanks removed; empty when there is none.
ts::WText ReadFileVersion(const ts::WText& path);

// Creates the folder and its missing parents; `created` receives the
// folders that did not exist before, outermost first. A folder on the way
// to the installation or shared folder that is a link fails it. On failure
// `reason` says why.
bool CreateFolderWithParents(const ts::WText& folder, std::vector<ts::WText>& created, ts::WText& reason);

// The folders that the product owns for a file in `folder`, outermost
// first: those just created; below the installation folder, every step down
// to `folder` even when an earlier installation made it; anywhere else, the
// steps known to be the product's (`productFolders`, ASCII lower-cased: the
// earlier installation's record, the shared folder's making). A folder that
// was there before the first installation was never recorded, so no
// reinstallation ever claims it.
std::vector<ts::WText> OwnedFolders(const ts::WText& folder, const std::vector<ts::WText>& created,
                                    const ts::WText& installFolder, const std::set<ts::WText>& productFolders);

}  // namespace palisade
