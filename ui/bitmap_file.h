#pragma once
// Pictures of the engine: the script carries a picture as a DIB (see
// format/dib_layout.h), and the uninstaller keeps it as a whole .bmp file.
#include <cstdint>
#include <span>
#include <vector>

#include "format/dib_layout.h"

namespace palisade {

using DibBytes = std::vector<uint8_t>;

// The DIB as a .bmp file: "BM", the file size, two reserved zero words and
// the offset of the pixels from the start of the file, then the DIB.
DibBytes BitmapFileFromDib(std::span<const uint8_t> dib);

// A 32-bit picture's blue, green, red and alpha bytes in that order, as a
// plain 32-bit DIB or one with the standard colour masks stores them.
bool HasAlphaChannel(std::span<const uint8_t> dib, const format::DibLayout& layout);

}  // namespace palisade
