#include "ui/background_paint.h"

#include <cstring>
#include <vector>

#include "core/ts_system.h"
#include "ui/background_layout.h"

namespace palisade {
namespace {

constexpr int kTitlePoints = 26;
constexpr int kCopyrightPoints = 16;
constexpr int kTextWeight = 900;
constexpr int kChannelToVertex = 256;  // 8-bit channels become the 16-bit channels of a vertex
constexpr COLORREF kShadowColour = RGB(0, 0, 0);

using GradientFillFunction = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
using AlphaBlendFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// Loaded on first use, and only from the system folder: a copy planted
// beside the installer must never be drawn with.
HMODULE ImagingLibrary() {
  static HMODULE library = ts::LoadSystemLibrary(L"msimg32.dll");
  return library;
}

template <typename Function>
Function ImagingFunction(const char* name) {
  return ts::FunctionOf<Function>(ImagingLibrary(), name);
}

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

TRIVERTEX Vertex(LONG x, LONG y, COLORREF colour) {
  return {x,
          y,
          static_cast<COLOR16>(GetRValue(colour) * kChannelToVertex),
          static_cast<COLOR16>(GetGValue(colour) * kChannelToVertex),
          static_cast<COLOR16>(GetBValue(colour) * kChannelToVertex),
          0};
}

bool FillGradient(HDC dc, const RECT& client, COLORREF top, COLORREF bottom) {
  static GradientFillFunction gradientFill = ImagingFunction<GradientFillFunction>("GradientFill");
  if (!gradientFill) return false;
  TRIVERTEX vertices[2] = {Vertex(client.left, client.top, top), Vertex(client.right + 1, client.bottom + 1, bottom)};
  GRADIENT_RECT rect = {0, 1};
  return gradientFill(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V) != 0;
}

void StretchDib(HDC dc, const DibBytes& dib, const format::DibLayout& layout, const RECT& to, DWORD operation) {
  StretchDIBits(dc, to.left, to.top, Width(to), Height(to), 0, 0, layout.width, layout.height,
                dib.data() + layout.pixelOffset, reinterpret_cast<const BITMAPINFO*>(dib.data()), DIB_RGB_COLORS,
                operation);
}

bool Blend(HDC dc, const RECT& to, const PreparedPicture& picture) {
  static AlphaBlendFunction alphaBlend = ImagingFunction<AlphaBlendFunction>("AlphaBlend");
  if (!alphaBlend) return false;
  const format::DibLayout& layout = picture.layout;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = layout.width;
  info.bmiHeader.biHeight = layout.topDown ? -layout.height : layout.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return false;
  std::memcpy(bits, picture.premultiplied.data(), picture.premultiplied.size());
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  bool blended =
      alphaBlend(dc, to.left, to.top, Width(to), Height(to), source, 0, 0, layout.width, layout.height, blend) != 0;
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(bitmap);
  return blended;
}

void TilePicture(HDC dc, const RECT& client, const PreparedPicture& picture) {
  SIZE size = {picture.layout.width, picture.layout.height};
  TileGrid grid = TilesFor({Width(client), Height(client)}, size);
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      LONG left = client.left + column * size.cx, top = client.top + row * size.cy;
      StretchDib(dc, picture.dib, picture.layout, {left, top, left + size.cx, top + size.cy}, SRCCOPY);
    }
  }
}

void DrawPicture(HDC dc, const RECT& client, const BackgroundSettings& settings, const PreparedPicture& picture) {
  if (picture.dib.empty() || settings.bitmapSize <= 0) return;
  SetStretchBltMode(dc, COLORONCOLOR);
  if (settings.stretchMode == static_cast<int>(PictureFit::kTile)) {
    TilePicture(dc, client, picture);
    return;
  }
  RECT area = PictureArea({Width(client), Height(client)}, {picture.layout.width, picture.layout.height},
                          settings.bitmapSize, settings.stretchMode);
  OffsetRect(&area, client.left, client.top);
  if (!picture.premultiplied.empty() && Blend(dc, area, picture)) return;
  if (!picture.mask.empty()) {
    StretchDib(dc, picture.mask, picture.layout, area, SRCAND);
    StretchDib(dc, picture.holed, picture.layout, area, SRCPAINT);
    return;
  }
  StretchDib(dc, picture.dib, picture.layout, area, SRCCOPY);
}

// The DIB with its colour table rewritten; entries are blue, green, red.
template <typename EntryColour>
DibBytes WithColourTable(const DibBytes& dib, const format::DibLayout& layout, EntryColour colourOf) {
  DibBytes copy = dib;
  for (uint32_t i = 0; i < layout.colourCount; ++i) {
    uint8_t* entry = &copy[layout.colourTableOffset + i * layout.colourEntrySize];
    COLORREF colour = colourOf(i, RGB(entry[2], entry[1], entry[0]));
    entry[0] = GetBValue(colour);
    entry[1] = GetGValue(colour);
    entry[2] = GetRValue(colour);
  }
  return copy;
}

DibBytes Premultiplied(const DibBytes& dib, const format::DibLayout& layout) {
  DibBytes pixels(dib.begin() + layout.pixelOffset, dib.begin() + layout.pixelOffset + layout.stride * layout.height);
  for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
    unsigned alpha = pixels[i + 3];
    for (size_t channel = i; channel < i + 3; ++channel)
      pixels[channel] = static_cast<uint8_t>(pixels[channel] * alpha / 255);
  }
  return pixels;
}

bool IsPaletteEntry(int32_t index, const format::DibLayout& layout) {
  return layout.bitCount <= 8 && index >= 0 && static_cast<uint32_t>(index) < layout.colourCount;
}

// Text -------------------------------------------------------------------------

struct BackgroundText {
  const ts::WText& text;
  const ts::WText& faces;
  int startPoints;
  COLORREF colour;
  int position;
  int shadowStrength;
};

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool IsFaceInstalled(HDC dc, const ts::WText& face) {
  LOGFONTW wanted = {};
  if (face.size() >= LF_FACESIZE) return false;
  wanted.lfCharSet = DEFAULT_CHARSET;
  face.copy(wanted.lfFaceName, face.size());
  bool found = false;
  EnumFontFamiliesExW(dc, &wanted, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

HFONT TextFont(const ts::WText& face, int height) {
  return CreateFontW(height, 0, 0, 0, kTextWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

std::vector<ts::WText> Lines(const ts::WText& text) {
  std::vector<ts::WText> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' || text[i] == L'\n') {
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

int LineWidth(HDC dc, const ts::WText& line) {
  SIZE size = {};
  GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
  return size.cx;
}

int WidestLine(HDC dc, const std::vector<ts::WText>& lines) {
  int widest = 0;
  for (const ts::WText& line : lines) widest = std::max(widest, LineWidth(dc, line));
  return widest;
}

TextExtent Measure(HDC dc, const ts::WText& face, int height, int shadowStrength, const std::vector<ts::WText>& lines) {
  HFONT font = TextFont(face, height);
  HGDIOBJ old = SelectObject(dc, font);
  TextExtent extent = {WidestLine(dc, lines), ShadowOffset(shadowStrength, height)};
  SelectObject(dc, old);
  DeleteObject(font);
  return extent;
}

// A text in the size that fits, with its place in the client area.
struct PlacedText {
  std::vector<ts::WText> lines;
  int position = 0;
  int horizontalMargin = 0;
  int top = 0;
  int lineHeight = 0;
  int shadow = 0;
};

void DrawLines(HDC dc, const RECT& client, const PlacedText& text, int offset, COLORREF colour) {
  SetTextColor(dc, colour);
  for (size_t i = 0; i < text.lines.size(); ++i) {
    const ts::WText& line = text.lines[i];
    int left =
        client.left + LineLeft(text.position, Width(client), text.horizontalMargin, text.shadow, LineWidth(dc, line));
    int y = text.top + static_cast<int>(i) * text.lineHeight;
    TextOutW(dc, left + offset, y + offset, line.c_str(), static_cast<int>(line.size()));
  }
}

void DrawBackgroundText(HDC dc, const RECT& client, const BackgroundText& text) {
  if (text.text.empty() || !IsDrawnPosition(text.position)) return;
  TextMargins margins = MarginsFor({Width(client), Height(client)});
  ts::WText face = FirstInstalledFace(text.faces, [dc](const ts::WText& name) { return IsFaceInstalled(dc, name); });
  PlacedText placed;
  placed.lines = Lines(text.text);
  placed.position = text.position;
  placed.horizontalMargin = margins.horizontal;
  int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
  int points = FittingPoints(text.startPoints, Width(client), margins.horizontal, [&](int size) {
    return Measure(dc, face, FontHeightForPoints(pixelsPerInch, size), text.shadowStrength, placed.lines);
  });
  placed.lineHeight = FontHeightForPoints(pixelsPerInch, points);
  placed.shadow = ShadowOffset(text.shadowStrength, placed.lineHeight);
  int textHeight = placed.lineHeight * static_cast<int>(placed.lines.size());
  placed.top = client.top + TextTop(text.position, Height(client), margins.vertical, textHeight, placed.shadow);
  HFONT font = TextFont(face, placed.lineHeight);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  if (placed.shadow > 0) DrawLines(dc, client, placed, placed.shadow, kShadowColour);
  DrawLines(dc, client, placed, 0, text.colour);
  SelectObject(dc, old);
  DeleteObject(font);
}

}  // namespace

PreparedPicture PreparePicture(const DibBytes& dib, int32_t transparentIndex) {
  PreparedPicture picture;
  if (!format::ReadDibLayout(dib, picture.layout)) return picture;
  picture.dib = dib;
  const format::DibLayout& layout = picture.layout;
  if (HasAlphaChannel(dib, layout)) {
    picture.premultiplied = Premultiplied(dib, layout);
  } else if (IsPaletteEntry(transparentIndex, layout)) {
    uint32_t hole = static_cast<uint32_t>(transparentIndex);
    picture.mask = WithColourTable(
        dib, layout, [hole](uint32_t i, COLORREF) { return i == hole ? RGB(255, 255, 255) : RGB(0, 0, 0); });
    picture.holed =
        WithColourTable(dib, layout, [hole](uint32_t i, COLORREF own) { return i == hole ? RGB(0, 0, 0) : own; });
  }
  return picture;
}

void PaintBackground(HDC dc, const RECT& client, const BackgroundSettings& settings, const PreparedPicture& picture) {
  if (settings.monoColor) {
    FillSolid(dc, client, settings.topColor);
  } else if (!FillGradient(dc, client, settings.topColor, settings.bottomColor)) {
    PaintGradientBands(dc, client, settings.topColor, settings.bottomColor);
  }
  DrawPicture(dc, client, settings, picture);
}

void PaintGradientBands(HDC dc, const RECT& client, COLORREF top, COLORREF bottom) {
  GradientBands bands = BandsFor(Height(client));
  for (int band = 0; band < bands.count; ++band) {
    LONG bandTop = client.top + band * bands.height;
    RECT rect = {client.left, bandTop, client.right, std::min<LONG>(bandTop + bands.height, client.bottom)};
    FillSolid(dc, rect, BandColour(top, bottom, band, bands.count));
  }
}

void PaintBackgroundTexts(HDC dc, const RECT& client, const BackgroundSettings& settings) {
  DrawBackgroundText(dc, client,
                     {settings.title, settings.titleFont, StartingPoints(kTitlePoints, settings.titleSize),
                      settings.titleColor, settings.titlePosition, settings.titleShadow});
  DrawBackgroundText(
      dc, client,
      {settings.copyrightText, settings.copyrightFont, StartingPoints(kCopyrightPoints, settings.copyrightSize),
       settings.copyrightColor, settings.copyrightPosition, 0});
}

}  // namespace palisade
