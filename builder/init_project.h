#pragma once
// `palisade init`: a first project file for the files of a folder, which
// builds as it is and shows the author where to go on.
#include <filesystem>
#include <string>

namespace palisade::builder {

inline constexpr char kProjectFileName[] = "palisade.toml";

// The project file for `product` that packs every file below `folder`
// (but itself), with a start-menu shortcut to the one program when there
// is exactly one. False, with a reason, when the folder cannot be read.
bool InitialProject(const std::filesystem::path& folder, const std::string& product, std::string& text,
                    std::string& problem);

}  // namespace palisade::builder
