// The engine's pictures, stored xz-compressed, load as the system loads the
// same pictures stored plain: the same bit count, colours and pixels, at
// their own size and stretched to the sizes the buttons ask for.
#include "ui/resource_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace palisade {
namespace {

constexpr int kPlainOffset = 100;  // tests/engine/plain_pictures.rc

struct Picture {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  std::vector<COLORREF> colours;
  std::vector<uint8_t> pixels;
};

Picture Read(HBITMAP bitmap) {
  Picture picture;
  DIBSECTION section = {};
  if (GetObjectW(bitmap, sizeof section, &section) != sizeof section) return picture;
  picture.width = section.dsBm.bmWidth;
  picture.height = section.dsBm.bmHeight;
  picture.bitCount = section.dsBm.bmBitsPixel;
  const auto* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  picture.pixels.assign(bits, bits + section.dsBm.bmWidthBytes * section.dsBm.bmHeight);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RGBQUAD colours[256];
  UINT count = GetDIBColorTable(dc, 0, 256, colours);
  for (UINT i = 0; i < count; ++i) picture.colours.push_back(RGB(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue));
  SelectObject(dc, old);
  DeleteDC(dc);
  return picture;
}

void ExpectSamePicture(HBITMAP loaded, HBITMAP expected, const std::string& what) {
  ASSERT_NE(loaded, nullptr) << what;
  ASSERT_NE(expected, nullptr) << what;
  Picture a = Read(loaded), b = Read(expected);
  EXPECT_EQ(a.width, b.width) << what;
  EXPECT_EQ(a.height, b.height) << what;
  EXPECT_EQ(a.bitCount, b.bitCount) << what;
  EXPECT_EQ(a.colours, b.colours) << what;
  EXPECT_TRUE(a.pixels == b.pixels) << what;
  DeleteObject(loaded);
  DeleteObject(expected);
}

HBITMAP SystemLoad(int resource, int size) {
  return static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, size, size, LR_CREATEDIBSECTION));
}

TEST(LoadPicture, PackedPicturesLoadAsTheSystemLoadsThemPlain) {
  struct Case {
    int resource;
    int size;  // 0: its own
  };
  const Case cases[] = {
      {2, 0},  {3, 0},   // the side and banner pictures, 8-bit with a colour table
      {4, 0},  {5, 16},  // the button images, 32-bit with alpha, at their own size and shrunk
      {6, 20}, {7, 25},  // as the buttons ask at larger and larger text sizes
      {4, 40}, {5, 50},
  };
  HINSTANCE module = GetModuleHandleW(nullptr);
  for (const Case& c : cases) {
    std::string what = "picture " + std::to_string(c.resource) + " at " + std::to_string(c.size);
    ExpectSamePicture(LoadPicture(module, c.resource, c.size, c.size), SystemLoad(c.resource + kPlainOffset, c.size),
                      what);
  }
}

// The builder puts a project's picture in place of the engine's as a plain DIB.
TEST(LoadPicture, APlainPictureLoadsAsTheSystemLoadsIt) {
  HINSTANCE module = GetModuleHandleW(nullptr);
  for (int resource : {102, 103, 104}) {
    ExpectSamePicture(LoadPicture(module, resource), SystemLoad(resource, 0), "picture " + std::to_string(resource));
  }
}

TEST(LoadPicture, AMissingPictureIsNull) {
  EXPECT_EQ(LoadPicture(GetModuleHandleW(nullptr), 99), nullptr);
}

}  // namespace
}  // namespace palisade
