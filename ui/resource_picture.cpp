#include "ui/resource_picture.h"

#include <span>
#include <vector>

#include "core/ts_resources.h"
#include "format/dib_layout.h"
#include "format/xz.h"

namespace palisade {
namespace {

struct DibSectionInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

// The target's header is made afresh rather than copied, so that a picture
// with the old core header or with colour masks gets the plain form too.
DibSectionInfo TargetInfo(std::span<const uint8_t> dib, const format::DibLayout& layout, int width, int height) {
  DibSectionInfo info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = width;
  info.header.biHeight = layout.topDown ? -height : height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(layout.bitCount);
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = layout.colourCount;
  for (uint32_t i = 0; i < layout.colourCount; ++i) {
    const uint8_t* entry = &dib[layout.colourTableOffset + i * layout.colourEntrySize];
    info.colours[i] = {entry[0], entry[1], entry[2], 0};
  }
  return info;
}

HBITMAP StretchedDibSection(std::span<const uint8_t> dib, int width, int height) {
  format::DibLayout layout;
  if (!format::ReadDibLayout(dib, layout)) return nullptr;
  if (width == 0) width = layout.width;
  if (height == 0) height = layout.height;
  DibSectionInfo target = TargetInfo(dib, layout, width, height);
  HDC dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&target), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ old = SelectObject(dc, bitmap);
    // As the system's loader shrinks a picture of more than one bit a pixel.
    if (layout.bitCount > 1) SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, 0, 0, width, height, 0, 0, layout.width, layout.height, dib.data() + layout.pixelOffset,
                  reinterpret_cast<const BITMAPINFO*>(dib.data()), DIB_RGB_COLORS, SRCCOPY);
    SelectObject(dc, old);
  }
  DeleteDC(dc);
  return bitmap;
}

}  // namespace

HBITMAP LoadPicture(HINSTANCE module, int resource, int width, int height) {
  std::span<const uint8_t> stored = ts::ResourceBytes(module, RT_BITMAP, resource);
  if (!format::StartsAsXz(stored)) return StretchedDibSection(stored, width, height);
  std::vector<uint8_t> dib;
  if (!format::XzDecode(stored, dib)) return nullptr;
  return StretchedDibSection(dib, width, height);
}

}  // namespace palisade
