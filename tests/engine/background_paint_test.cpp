// The background painted into a memory bitmap and read back pixel by pixel:
// colours, gradients, the picture in each fit, transparency and blending,
// and where the texts land.
#include <gtest/gtest.h>

#include <vector>

#include "ui/background_layout.h"
#include "ui/background_paint.h"

namespace palisade {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kGrey = RGB(40, 40, 40);

// A 32-bit memory bitmap to paint on, rows stored top first.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }

  HDC Dc() const { return dc_; }
  RECT Client() const { return {0, 0, width_, height_}; }
  COLORREF Pixel(int x, int y) const {
    GdiFlush();
    uint32_t value = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
  }
  // How many pixels of the rectangle have exactly this colour.
  int Count(const RECT& area, COLORREF colour) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) count += Pixel(x, y) == colour;
    }
    return count;
  }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

void AppendLe(DibBytes& bytes, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

DibBytes InfoHeader(int width, int height, int bits, uint32_t colours) {
  DibBytes dib;
  for (uint32_t field : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) AppendLe(dib, field, 4);
  AppendLe(dib, 1, 2);
  AppendLe(dib, static_cast<uint32_t>(bits), 2);
  for (uint32_t field : {0u, 0u, 0u, 0u, colours, 0u}) AppendLe(dib, field, 4);
  return dib;
}

// A 24-bit picture from colours given top row first; stored bottom row first.
DibBytes Picture24(int width, const std::vector<COLORREF>& pixels) {
  int height = static_cast<int>(pixels.size()) / width;
  DibBytes dib = InfoHeader(width, height, 24, 0);
  for (int row = height - 1; row >= 0; --row) {
    size_t start = dib.size();
    for (int x = 0; x < width; ++x) {
      COLORREF colour = pixels[static_cast<size_t>(row) * width + x];
      dib.insert(dib.end(), {GetBValue(colour), GetGValue(colour), GetRValue(colour)});
    }
    while ((dib.size() - start) % 4) dib.push_back(0);
  }
  return dib;
}

// An 8-bit picture from palette indices given top row first.
DibBytes Picture8(int width, const std::vector<COLORREF>& palette, const std::vector<uint8_t>& indices) {
  int height = static_cast<int>(indices.size()) / width;
  DibBytes dib = InfoHeader(width, height, 8, static_cast<uint32_t>(palette.size()));
  for (COLORREF colour : palette) dib.insert(dib.end(), {GetBValue(colour), GetGValue(colour), GetRValue(colour), 0});
  for (int row = height - 1; row >= 0; --row) {
    size_t start = dib.size();
    for (int x = 0; x < width; ++x) dib.push_back(indices[static_cast<size_t>(row) * width + x]);
    while ((dib.size() - start) % 4) dib.push_back(0);
  }
  return dib;
}

// A 32-bit picture of one row: each pixel a colour with its alpha.
DibBytes Picture32(const std::vector<std::pair<COLORREF, uint8_t>>& row) {
  DibBytes dib = InfoHeader(static_cast<int>(row.size()), 1, 32, 0);
  for (auto [colour, alpha] : row)
    dib.insert(dib.end(), {GetBValue(colour), GetGValue(colour), GetRValue(colour), alpha});
  return dib;
}

// Red, green / blue, yellow: which quadrant lands where shows the rows' order.
DibBytes Quadrants() { return Picture24(2, {kRed, kGreen, kBlue, kYellow}); }

BackgroundSettings OneColour(COLORREF colour) {
  BackgroundSettings settings;
  settings.topColor = settings.bottomColor = colour;
  settings.monoColor = true;
  return settings;
}

BackgroundSettings WithPicture(const DibBytes& dib, int percent, int fit, int32_t transparent = kOpaquePicture) {
  BackgroundSettings settings = OneColour(kGrey);
  settings.picture = dib;
  settings.bitmapSize = percent;
  settings.stretchMode = fit;
  settings.bitmapTpi = transparent;
  return settings;
}

void Paint(const Canvas& canvas, const BackgroundSettings& settings) {
  PaintBackground(canvas.Dc(), canvas.Client(), settings, PreparePicture(settings.picture, settings.bitmapTpi));
}

int Channel(COLORREF colour, int shift) { return (colour >> shift) & 0xFF; }

void ExpectNear(COLORREF actual, COLORREF expected, int tolerance, const char* where) {
  for (int shift : {0, 8, 16}) EXPECT_NEAR(Channel(actual, shift), Channel(expected, shift), tolerance) << where;
}

TEST(PaintBackground, OneColourFillsTheClient) {
  Canvas canvas(60, 40);
  Paint(canvas, OneColour(RGB(12, 34, 56)));
  EXPECT_EQ(canvas.Count(canvas.Client(), RGB(12, 34, 56)), 60 * 40);
}

TEST(PaintBackground, GradientRunsFromTheTopColourToTheBottomColour) {
  Canvas canvas(20, 300);
  BackgroundSettings settings = OneColour(RGB(250, 0, 0));
  settings.bottomColor = RGB(0, 0, 250);
  settings.monoColor = false;
  Paint(canvas, settings);
  ExpectNear(canvas.Pixel(10, 0), RGB(250, 0, 0), 4, "top");
  ExpectNear(canvas.Pixel(10, 299), RGB(0, 0, 250), 4, "bottom");
  ExpectNear(canvas.Pixel(10, 150), RGB(125, 0, 125), 6, "middle");
  EXPECT_EQ(canvas.Pixel(0, 100), canvas.Pixel(19, 100)) << "each row is one colour";
}

TEST(PaintGradientBands, ThreePixelBandsOverAThousandRows) {
  Canvas canvas(4, 1000);
  PaintGradientBands(canvas.Dc(), canvas.Client(), RGB(0, 0, 0), RGB(0, 0, 250));
  EXPECT_EQ(canvas.Pixel(0, 0), RGB(0, 0, 0)) << "the first band has the top colour";
  EXPECT_EQ(canvas.Pixel(0, 999), RGB(0, 0, 250)) << "band 334, one row high, has the bottom colour";
  EXPECT_NE(canvas.Pixel(0, 998), RGB(0, 0, 250));
  for (int y = 0; y < 1000; ++y) {
    ASSERT_EQ(canvas.Pixel(1, y), BandColour(RGB(0, 0, 0), RGB(0, 0, 250), y / 3, 334)) << "row " << y;
  }
}

struct PlacedPixel {
  int x, y;
  COLORREF colour;
};

struct FitCase {
  const char* name;
  SIZE client;
  int percent;
  int fit;
  std::vector<PlacedPixel> expected;
};

TEST(PaintBackground, PictureLiesWhereItsFitPutsIt) {
  // A 2x2 picture of four colours; the area of each case is in the comments.
  const FitCase cases[] = {
      // stretched over 50%: 100x50 at (50,25)
      {"stretch",
       {200, 100},
       50,
       0,
       {{50, 25, kRed},
        {149, 25, kGreen},
        {50, 74, kBlue},
        {149, 74, kYellow},
        {49, 25, kGrey},
        {150, 74, kGrey},
        {50, 24, kGrey},
        {149, 75, kGrey}}},
      // keep aspect in 200x100: 100x100 at (50,0)
      {"keep aspect", {200, 100}, 100, 1, {{50, 0, kRed}, {149, 99, kYellow}, {49, 50, kGrey}, {150, 50, kGrey}}},
      // whole multiple in 9x7: factor 3 (6 < 7 on both axes), 6x6 at (1,0)
      {"whole multiple", {9, 7}, 100, 2, {{1, 0, kRed}, {6, 5, kYellow}, {0, 3, kGrey}, {7, 3, kGrey}, {3, 6, kGrey}}},
      // tiled at natural size from the top-left corner, whatever the size above 0
      {"tile", {5, 3}, 1, 3, {{0, 0, kRed}, {1, 1, kYellow}, {2, 0, kRed}, {4, 2, kRed}, {3, 1, kYellow}}},
      // no area: no picture
      {"size 0", {20, 20}, 0, 0, {{10, 10, kGrey}}},
  };
  for (const FitCase& c : cases) {
    Canvas canvas(c.client.cx, c.client.cy);
    Paint(canvas, WithPicture(Quadrants(), c.percent, c.fit));
    for (const PlacedPixel& pixel : c.expected) {
      EXPECT_EQ(canvas.Pixel(pixel.x, pixel.y), pixel.colour) << c.name << " at " << pixel.x << "," << pixel.y;
    }
  }
}

TEST(PaintBackground, TransparentPaletteEntryShowsTheBackground) {
  // Index 0 transparent, 1 red, 2 blue; the middle column is transparent.
  DibBytes dib = Picture8(3, {kGreen, kRed, kBlue}, {1, 0, 2, 2, 0, 1});
  Canvas canvas(30, 20);
  Paint(canvas, WithPicture(dib, 100, 0, 0));
  EXPECT_EQ(canvas.Pixel(5, 5), kRed);
  EXPECT_EQ(canvas.Pixel(15, 5), kGrey) << "transparent";
  EXPECT_EQ(canvas.Pixel(25, 5), kBlue);
  EXPECT_EQ(canvas.Pixel(5, 15), kBlue);
  EXPECT_EQ(canvas.Count(canvas.Client(), kGreen), 0) << "the transparent entry's own colour never shows";

  Paint(canvas, WithPicture(dib, 100, 0, kOpaquePicture));
  EXPECT_EQ(canvas.Pixel(15, 5), kGreen) << "an opaque picture shows every entry";
}

TEST(PaintBackground, ThirtyTwoBitPictureIsBlendedThroughItsAlpha) {
  DibBytes dib = Picture32({{kRed, 255}, {RGB(0, 0, 200), 0}, {RGB(200, 200, 200), 128}});
  Canvas canvas(30, 10);
  Paint(canvas, WithPicture(dib, 100, 0));
  EXPECT_EQ(canvas.Pixel(5, 5), kRed) << "opaque";
  EXPECT_EQ(canvas.Pixel(15, 5), kGrey) << "fully transparent";
  // 200 * 128 / 255 premultiplied, over 40 * (255 - 128) / 255.
  ExpectNear(canvas.Pixel(25, 5), RGB(120, 120, 120), 3, "half transparent");
}

TEST(PaintBackground, UndrawablePictureLeavesJustTheColours) {
  DibBytes broken = Quadrants();
  broken.resize(broken.size() - 1);
  Canvas canvas(10, 10);
  Paint(canvas, WithPicture(broken, 100, 0));
  EXPECT_EQ(canvas.Count(canvas.Client(), kGrey), 100);
}

BackgroundSettings WithTitle(int position, int shadow) {
  BackgroundSettings settings = OneColour(kGrey);
  settings.title = L"MMMM WWWW";
  settings.titleFont = L"No Such Face, Tahoma";
  settings.titleColor = kYellow;
  settings.titlePosition = position;
  settings.titleShadow = shadow;
  return settings;
}

void PaintWithTexts(const Canvas& canvas, const BackgroundSettings& settings) {
  Paint(canvas, settings);
  PaintBackgroundTexts(canvas.Dc(), canvas.Client(), settings);
}

struct CornerCase {
  int position;
  RECT drawn;  // where the title's pixels must be
  RECT clear;  // where none may be
};

TEST(PaintBackgroundTexts, TitleLandsInTheCornerOfItsPosition) {
  // 600x400: the title is about 35 pixels high at 26 points.
  const CornerCase cases[] = {
      {1, {0, 0, 300, 60}, {300, 0, 600, 400}},
      {3, {300, 0, 600, 60}, {0, 0, 300, 400}},
      {5, {150, 340, 450, 400}, {0, 0, 600, 300}},
      {6, {300, 340, 600, 400}, {0, 0, 300, 400}},
  };
  for (const CornerCase& c : cases) {
    Canvas canvas(600, 400);
    PaintWithTexts(canvas, WithTitle(c.position, 0));
    EXPECT_GT(canvas.Count(c.drawn, kYellow), 50) << c.position;
    EXPECT_EQ(canvas.Count(c.clear, kYellow), 0) << c.position;
    EXPECT_EQ(canvas.Count(canvas.Client(), RGB(0, 0, 0)), 0) << "no shadow at strength 0";
  }
  Canvas canvas(600, 400);
  PaintWithTexts(canvas, WithTitle(0, 0));
  EXPECT_EQ(canvas.Count(canvas.Client(), kYellow), 0) << "position 0 draws no title";
}

TEST(PaintBackgroundTexts, StrongShadowFallsRightAndBelowInBlack) {
  Canvas canvas(600, 400);
  PaintWithTexts(canvas, WithTitle(1, 255));
  EXPECT_GT(canvas.Count(canvas.Client(), RGB(0, 0, 0)), 50);
  EXPECT_EQ(canvas.Count({0, 0, 600, 2}, RGB(0, 0, 0)), 0) << "the shadow is moved down";
}

TEST(PaintBackgroundTexts, TooWideTitleShrinksToFit) {
  BackgroundSettings settings = WithTitle(1, 0);
  settings.title = L"WWWWWWWWWWWWWWWWWWWW";
  Canvas wide(2000, 200), narrow(300, 200);
  PaintWithTexts(wide, settings);
  PaintWithTexts(narrow, settings);
  auto lowestRow = [](const Canvas& canvas, int width) {
    for (int y = 199; y >= 0; --y) {
      if (canvas.Count({0, y, width, y + 1}, kYellow) > 0) return y;
    }
    return -1;
  };
  EXPECT_LT(lowestRow(narrow, 300), lowestRow(wide, 2000)) << "a smaller font in the narrow window";
  EXPECT_EQ(narrow.Count({299, 0, 300, 200}, kYellow), 0) << "the text ends before the right margin";
}

TEST(PaintBackgroundTexts, CopyrightLinesStackAtTheBottom) {
  BackgroundSettings settings = OneColour(kGrey);
  settings.copyrightText = L"First line\r\nSecond line";
  settings.copyrightFont = L"Tahoma";
  settings.copyrightColor = kGreen;
  settings.copyrightPosition = 4;
  Canvas canvas(600, 400);
  PaintWithTexts(canvas, settings);
  EXPECT_GT(canvas.Count({0, 400 - 30, 200, 400}, kGreen), 20) << "second line at the bottom";
  EXPECT_GT(canvas.Count({0, 400 - 60, 200, 400 - 30}, kGreen), 20) << "first line above it";
  EXPECT_EQ(canvas.Count({0, 0, 600, 300}, kGreen), 0);
}

}  // namespace
}  // namespace palisade
