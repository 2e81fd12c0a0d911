#pragma once
// The two data blocks of the setup script and what they carry. Field 63
// holds settings that have no field of their own as UTF-8 lines
// "Name=Value", CR LF between them; field 46 holds icons as records of a
// kind byte, a u32 length and that many bytes of an .ico file.
#include <span>
#include <string>

#include "format/setup_script.h"

namespace palisade::format {

inline constexpr uint8_t kProductIconRecord = 1;
inline constexpr uint8_t kUninstallerIconRecord = 2;
// Beyond the two kinds every engine reads: the icon of the product's folder
// on the desktop; an engine that does not know the kind passes it over.
inline constexpr uint8_t kDesktopFolderIconRecord = 3;

// Unknown names and lines without "=" are passed over, so that an older
// engine reads a newer script; an empty block sets nothing.
void ReadSettingsBlock(std::span<const uint8_t> block, SetupScript& script);
// The settings that are set, in a fixed order; false when a value holds a
// line break, which would split it into two lines.
bool WriteSettingsBlock(const SetupScript& script, Bytes& block);

// A record of an unknown kind is skipped; a length that runs past the
// block's end ends the list.
void ReadIconBlock(std::span<const uint8_t> block, SetupScript& script);
Bytes IconBlock(const SetupScript& script);

}  // namespace palisade::format
