#pragma once
// Undoing the component registrations of an installation: its fonts, its
// Windows Installer packages and its driver packages. COM servers and type
// libraries are shared files; the last product to release one unregisters
// it (shared_files.h).
#include <utility>
#include <vector>

#include "core/ts_core.h"
#include "record/record_text.h"

namespace palisade {

// `ProductFonts`: double-quoted texts taken in pairs, face name then file
// name; a face without its file is dropped.
std::vector<std::pair<ts::WText, ts::WText>> ParseFontList(const ts::WText& productFonts);

// Each font of `ProductFonts` (after the user's consent when the product
// asks for it) leaves the font list, the font table and the font folder.
void RemoveFonts(const ts::WText& productFonts);
// Removes each "[MSI]" package; one that cannot be removed is reported in
// the failure summary and stays in the record for another run. Returns the
// paths of the packages that stay, whose files that run will need.
std::vector<ts::WText> RemovePackages(const ts::Vector<ts::Text>& packages);
// Removes each "[INF]" driver package copy from the system's driver store
// that the system says was made from a driver package among the record's
// file `entries` in `installFolder`; any other copy stays.
void RemoveDrivers(const ts::Vector<ts::Text>& drivers, const ts::Vector<ts::Text>& entries,
                   const ts::WText& installFolder);

}  // namespace palisade
