#pragma once
// The decisions of the background window that need no window: the bands of
// the painted gradient, where the picture goes, the size and place of the
// title and copyright texts, and the settings stored as text. Sizes are in
// pixels of the client area.
#include <windows.h>

#include <functional>
#include <string_view>

#include "core/ts_text.h"

namespace palisade {

// The gradient painted in solid bands when the system cannot fill one.
struct GradientBands {
  int height = 1;
  int count = 0;
};
GradientBands BandsFor(int clientHeight);
// Band `band` of `count`, each channel stepping evenly from top to bottom.
COLORREF BandColour(COLORREF top, COLORREF bottom, int band, int count);

// How the picture fills its area (`StretchMode`).
enum class PictureFit { kStretch = 0, kKeepAspect = 1, kWholeMultiple = 2, kTile = 3 };

// The rectangle that the picture is stretched into: `percent` of the client
// width and height, centred, then shaped by the fit. Not for tiling.
RECT PictureArea(SIZE client, SIZE picture, int percent, int fit);

// Copies at natural size from the top-left corner that cover the client area.
struct TileGrid {
  int columns = 0;
  int rows = 0;
};
TileGrid TilesFor(SIZE client, SIZE picture);

// Where a text of the background goes: `TitlePosition` and `CopyrightPos`.
enum class TextPosition { kNone = 0, kTopLeft, kTopCentre, kTopRight, kBottomLeft, kBottomCentre, kBottomRight };

struct TextMargins {
  int horizontal = 0;
  int vertical = 0;
};
TextMargins MarginsFor(SIZE client);

int FontHeightForPoints(int pixelsPerInch, int points);
int ShadowOffset(int strength, int fontHeight);
// The starting size of a text: its base size in points times its factor.
int StartingPoints(int basePoints, double factor);

// What a text measures in one font size: its widest line and the shadow
// offset that goes with the size.
struct TextExtent {
  int widestLine = 0;
  int shadowOffset = 0;
};
// The largest size from `startPoints` down whose text fits beside the
// margin; sizes of 6 points and less are taken without measuring.
int FittingPoints(int startPoints, int clientWidth, int horizontalMargin,
                  const std::function<TextExtent(int points)>& measure);

// The left edge of a line of the text, aligned by the position's column.
int LineLeft(int position, int clientWidth, int horizontalMargin, int shadowOffset, int lineWidth);
// The top of the text, at the top or the bottom by the position's row.
int TextTop(int position, int clientHeight, int verticalMargin, int textHeight, int shadowOffset);
bool IsDrawnPosition(int position);

// "RRGGBB" or the short "RGB" (each digit standing for itself times 17),
// optionally led by "#"; false for anything else.
bool ParseColourText(std::wstring_view text, COLORREF& colour);

// The first face of a comma-separated list that is installed, else "Arial".
ts::WText FirstInstalledFace(std::wstring_view faces, const std::function<bool(const ts::WText&)>& installed);

}  // namespace palisade
