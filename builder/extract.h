#pragma once
// `palisade extract`: writes an installer's files into a folder, with
// their time stamps, without running anything. Files of the installation
// folder land at the top; the other destinations get a folder named after
// their kind.
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "format/file_record.h"

namespace palisade::builder {

// Where a record's file goes below the extraction folder; nothing for a
// name that would leave it (an absolute path, a ".." component).
std::optional<std::filesystem::path> ExtractedPath(const format::FileRecord& record);

// Exit status: 0, or 1 for a damaged installer or a file that cannot be
// written.
int Extract(const std::filesystem::path& installer, const std::filesystem::path& folder, std::ostream& err);

}  // namespace palisade::builder
