#pragma once
// The icons that the script's first data block (field 46) carries: records
// of a byte kind, a u32 length and that many bytes of an ".ico" file. A kind
// this engine does not know is passed over; a length that runs past the
// block's end ends the list.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "format/setup_script.h"

namespace palisade::format {

namespace icon_kind {
inline constexpr uint8_t kProduct = 1;        // "product.ico" of the list of installed programs
inline constexpr uint8_t kUninstaller = 2;    // "uninstall.ico", the uninstaller's and its shortcuts'
inline constexpr uint8_t kDesktopFolder = 3;  // the icon of the product's folder on the desktop
}  // namespace icon_kind

// The first icon of the kind; empty when the block has none.
Bytes IconOfKind(std::span<const uint8_t> block, uint8_t kind);

// A block of the icons given, in their order; empty icons are left out.
Bytes IconBlock(const std::vector<std::pair<uint8_t, Bytes>>& icons);

}  // namespace palisade::format
