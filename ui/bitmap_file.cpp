#include "ui/bitmap_file.h"

#include "format/byte_order.h"

namespace palisade {

DibBytes BitmapFileFromDib(std::span<const uint8_t> dib) {
  DibBytes file(format::kBitmapFileHeaderSize);
  file[0] = 'B';
  file[1] = 'M';
  format::StoreLe32(&file[2], static_cast<uint32_t>(format::kBitmapFileHeaderSize + dib.size()));
  // Bytes 6 to 9 are the two reserved words, left zero.
  format::StoreLe32(&file[10], static_cast<uint32_t>(format::kBitmapFileHeaderSize) + format::DibPixelOffset(dib));
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

bool HasAlphaChannel(std::span<const uint8_t> dib, const format::DibLayout& layout) {
  if (layout.bitCount != 32) return false;
  if (layout.compression == format::kDibBitfields) {
    const std::size_t masks = format::kDibMaskOffset;
    if (dib.size() < masks + 12) return false;
    bool standard = format::LoadLe32(&dib[masks]) == 0xFF0000 && format::LoadLe32(&dib[masks + 4]) == 0xFF00 &&
                    format::LoadLe32(&dib[masks + 8]) == 0xFF;
    if (!standard) return false;
  }
  // Many programs write 32-bit pictures with every alpha byte zero; such a
  // picture is meant to be opaque, not invisible.
  size_t end = layout.pixelOffset + size_t{layout.stride} * layout.height;
  for (size_t i = layout.pixelOffset + 3; i < end; i += 4) {
    if (dib[i] != 0) return true;
  }
  return false;
}

}  // namespace palisade
