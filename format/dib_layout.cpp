#include "format/dib_layout.h"

#include <algorithm>
#include <cstdlib>

#include "format/byte_order.h"

namespace palisade::format {
namespace {

constexpr uint32_t kCoreHeaderSize = 12;      // BITMAPCOREHEADER: 16-bit sizes, 3-byte colours
constexpr uint32_t kInfoHeaderSize = 40;      // BITMAPINFOHEADER; later headers extend it
constexpr uint32_t kLargestHeaderSize = 124;  // BITMAPV5HEADER
constexpr uint32_t kAlphaBitfields = 6;       // BI_ALPHABITFIELDS: four masks after a plain header
constexpr int kLargestSide = 32767;
constexpr int kLargestPaletteBits = 8;

uint32_t Le16(std::span<const uint8_t> bytes, size_t offset) { return bytes[offset] | bytes[offset + 1] << 8; }
uint32_t Le32(std::span<const uint8_t> bytes, size_t offset) { return LoadLe32(bytes.data() + offset); }

bool IsKnownHeaderSize(uint32_t size) {
  return size == kCoreHeaderSize || (size >= kInfoHeaderSize && size <= kLargestHeaderSize);
}

// The masks sit outside a plain header only; later headers hold them.
uint32_t MaskBytesAfterHeader(uint32_t headerSize, uint32_t compression) {
  if (headerSize != kInfoHeaderSize) return 0;
  if (compression == kDibBitfields) return 12;
  if (compression == kAlphaBitfields) return 16;
  return 0;
}

// The header's fields, before any of them is checked against the length.
bool ReadHeader(std::span<const uint8_t> dib, DibLayout& layout) {
  if (dib.size() < 4) return false;
  uint32_t headerSize = Le32(dib, 0);
  if (!IsKnownHeaderSize(headerSize) || dib.size() < headerSize) return false;
  if (headerSize == kCoreHeaderSize) {
    layout.width = static_cast<int>(Le16(dib, 4));
    layout.height = static_cast<int>(Le16(dib, 6));
    layout.bitCount = static_cast<int>(Le16(dib, 10));
    layout.colourEntrySize = 3;
    layout.colourCount = layout.bitCount <= kLargestPaletteBits ? 1u << layout.bitCount : 0;
  } else {
    layout.width = static_cast<int32_t>(Le32(dib, 4));
    int32_t height = static_cast<int32_t>(Le32(dib, 8));
    layout.topDown = height < 0;
    layout.height = height == INT32_MIN ? 0 : std::abs(height);
    layout.bitCount = static_cast<int>(Le16(dib, 14));
    layout.compression = Le32(dib, 16);
    uint32_t used = Le32(dib, 32);
    layout.colourCount = used ? used : (layout.bitCount <= kLargestPaletteBits ? 1u << layout.bitCount : 0);
  }
  layout.colourTableOffset = headerSize + MaskBytesAfterHeader(headerSize, layout.compression);
  return true;
}

bool IsDrawnBitCount(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

bool IsUncompressed(const DibLayout& layout) {
  if (layout.compression == kDibUncompressed) return true;
  return layout.compression == kDibBitfields && (layout.bitCount == 16 || layout.bitCount == 32);
}

}  // namespace

DibFault CheckDib(std::span<const uint8_t> dib, DibLayout& layout) {
  layout = DibLayout();
  if (!ReadHeader(dib, layout)) return DibFault::kMalformed;
  if (!IsDrawnBitCount(layout.bitCount) || !IsUncompressed(layout)) return DibFault::kNotDrawn;
  if (layout.width <= 0 || layout.height <= 0 || layout.width > kLargestSide || layout.height > kLargestSide) {
    return DibFault::kMalformed;
  }
  if (layout.bitCount <= kLargestPaletteBits && layout.colourCount > (1u << layout.bitCount)) {
    return DibFault::kMalformed;
  }
  if (layout.colourCount > 256) return DibFault::kMalformed;
  uint64_t pixelOffset = layout.colourTableOffset + uint64_t{layout.colourCount} * layout.colourEntrySize;
  layout.stride = ((static_cast<uint32_t>(layout.width) * layout.bitCount + 31) / 32) * 4;
  if (pixelOffset + uint64_t{layout.stride} * layout.height > dib.size()) return DibFault::kMalformed;
  layout.pixelOffset = static_cast<uint32_t>(pixelOffset);
  return DibFault::kNone;
}

bool ReadDibLayout(std::span<const uint8_t> dib, DibLayout& layout) { return CheckDib(dib, layout) == DibFault::kNone; }

uint32_t DibPixelOffset(std::span<const uint8_t> dib) {
  DibLayout layout;
  if (!ReadHeader(dib, layout)) return static_cast<uint32_t>(std::min<size_t>(dib.size(), kInfoHeaderSize));
  uint64_t offset = layout.colourTableOffset + uint64_t{std::min(layout.colourCount, 256u)} * layout.colourEntrySize;
  return static_cast<uint32_t>(std::min<uint64_t>(offset, dib.size()));
}

bool DibFromBitmapFile(std::span<const uint8_t> file, std::vector<uint8_t>& dib) {
  if (file.size() <= kBitmapFileHeaderSize || file[0] != 'B' || file[1] != 'M') return false;
  std::span<const uint8_t> afterFileHeader = file.subspan(kBitmapFileHeaderSize);
  uint64_t tableEnd = kBitmapFileHeaderSize + uint64_t{DibPixelOffset(afterFileHeader)};
  uint32_t pixels = Le32(file, 10);
  if (pixels < tableEnd || pixels > file.size()) return false;
  dib.assign(afterFileHeader.begin(), afterFileHeader.begin() + (tableEnd - kBitmapFileHeaderSize));
  dib.insert(dib.end(), file.begin() + pixels, file.end());
  return true;
}

}  // namespace palisade::format
