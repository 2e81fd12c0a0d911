#include "ui/background_layout.h"

#include <algorithm>
#include <cstdint>

namespace palisade {
namespace {

constexpr int kBandDivisor = 224;
constexpr int kThickestBand = 3;
constexpr int kSmallestMeasuredPoints = 6;
// Far beyond what any screen shows; keeps a damaged factor from starting
// the search for a fitting size at millions of points.
constexpr int kLargestStartingPoints = 1000;
constexpr int kPointsPerInch = 72;
constexpr int kShadowDivisor = 1300;

int Channel(COLORREF colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

int Step(int top, int bottom, int band, int count) { return top + (bottom - top) * band / (count - 1); }

int CeilingDivide(int a, int b) { return (a + b - 1) / b; }

RECT CentredIn(const RECT& outer, int width, int height) {
  int left = outer.left + (outer.right - outer.left - width) / 2;
  int top = outer.top + (outer.bottom - outer.top - height) / 2;
  return {left, top, left + width, top + height};
}

// The area narrowed in one direction to the picture's proportions.
RECT KeepAspect(const RECT& area, SIZE picture) {
  int64_t width = area.right - area.left, height = area.bottom - area.top;
  if (height * picture.cx > picture.cy * width) {
    return CentredIn(area, static_cast<int>(width), static_cast<int>(width * picture.cy / picture.cx));
  }
  return CentredIn(area, static_cast<int>(height * picture.cx / picture.cy), static_cast<int>(height));
}

// The largest whole factor at which the picture stays inside the area with
// room to spare on both axes; 0 when even its natural size does not.
int WholeFactor(const RECT& area, SIZE picture) {
  int width = area.right - area.left, height = area.bottom - area.top;
  if (width < 1 || height < 1) return 0;
  return std::min((width - 1) / picture.cx, (height - 1) / picture.cy);
}

enum class Column { kLeft, kCentre, kRight };

Column ColumnOf(int position) { return static_cast<Column>((position - 1) % 3); }

bool IsTopRow(int position) { return position <= static_cast<int>(TextPosition::kTopRight); }

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

bool ParseChannels(std::wstring_view digits, int perChannel, int scale, int channels[3]) {
  for (int i = 0; i < 3; ++i) {
    int value = 0;
    for (int d = 0; d < perChannel; ++d) {
      int digit = HexDigit(digits[i * perChannel + d]);
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    channels[i] = value * scale;
  }
  return true;
}

std::wstring_view Trimmed(std::wstring_view text) {
  size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring_view::npos) return {};
  size_t last = text.find_last_not_of(L" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

GradientBands BandsFor(int clientHeight) {
  GradientBands bands;
  bands.height = std::clamp(clientHeight / kBandDivisor, 1, kThickestBand);
  bands.count = clientHeight > 0 ? CeilingDivide(clientHeight, bands.height) : 0;
  return bands;
}

COLORREF BandColour(COLORREF top, COLORREF bottom, int band, int count) {
  if (count < 2) return top;
  return RGB(Step(Channel(top, 0), Channel(bottom, 0), band, count),
             Step(Channel(top, 8), Channel(bottom, 8), band, count),
             Step(Channel(top, 16), Channel(bottom, 16), band, count));
}

RECT PictureArea(SIZE client, SIZE picture, int percent, int fit) {
  RECT whole = {0, 0, client.cx, client.cy};
  RECT area = CentredIn(whole, client.cx * percent / 100, client.cy * percent / 100);
  if (picture.cx < 1 || picture.cy < 1) return area;
  switch (static_cast<PictureFit>(fit)) {
    case PictureFit::kKeepAspect: return KeepAspect(area, picture);
    case PictureFit::kWholeMultiple: {
      int factor = WholeFactor(area, picture);
      if (factor == 0) return KeepAspect(area, picture);
      return CentredIn(area, picture.cx * factor, picture.cy * factor);
    }
    default: return area;
  }
}

TileGrid TilesFor(SIZE client, SIZE picture) {
  if (picture.cx < 1 || picture.cy < 1) return {};
  return {CeilingDivide(client.cx, picture.cx), CeilingDivide(client.cy, picture.cy)};
}

TextMargins MarginsFor(SIZE client) { return {client.cx / 200, client.cy / 400}; }

int FontHeightForPoints(int pixelsPerInch, int points) { return pixelsPerInch * points / kPointsPerInch; }

int ShadowOffset(int strength, int fontHeight) { return strength * fontHeight / kShadowDivisor; }

int StartingPoints(int basePoints, double factor) {
  double points = basePoints * factor;
  if (!(points > 0)) return 0;
  return points >= kLargestStartingPoints ? kLargestStartingPoints : static_cast<int>(points);
}

int FittingPoints(int startPoints, int clientWidth, int horizontalMargin,
                  const std::function<TextExtent(int points)>& measure) {
  for (int points = startPoints;; --points) {
    if (points <= kSmallestMeasuredPoints) return points;
    TextExtent extent = measure(points);
    if (extent.widestLine + extent.shadowOffset + horizontalMargin < clientWidth) return points;
  }
}

bool IsDrawnPosition(int position) {
  return position >= static_cast<int>(TextPosition::kTopLeft) &&
         position <= static_cast<int>(TextPosition::kBottomRight);
}

int LineLeft(int position, int clientWidth, int horizontalMargin, int shadowOffset, int lineWidth) {
  int available = clientWidth - 2 * (shadowOffset + horizontalMargin);
  switch (ColumnOf(position)) {
    case Column::kCentre: return horizontalMargin + (available - lineWidth) / 2;
    case Column::kRight: return horizontalMargin + available - lineWidth;
    case Column::kLeft: break;
  }
  return horizontalMargin;
}

int TextTop(int position, int clientHeight, int verticalMargin, int textHeight, int shadowOffset) {
  if (IsTopRow(position)) return verticalMargin;
  return clientHeight - textHeight - shadowOffset - verticalMargin;
}

bool ParseColourText(std::wstring_view text, COLORREF& colour) {
  if (!text.empty() && text.front() == L'#') text.remove_prefix(1);
  int channels[3];
  bool parsed = (text.size() == 6 && ParseChannels(text, 2, 1, channels)) ||
                (text.size() == 3 && ParseChannels(text, 1, 17, channels));
  if (parsed) colour = RGB(channels[0], channels[1], channels[2]);
  return parsed;
}

ts::WText FirstInstalledFace(std::wstring_view faces, const std::function<bool(const ts::WText&)>& installed) {
  while (!faces.empty()) {
    size_t comma = faces.find(L',');
    ts::WText face(Trimmed(faces.substr(0, comma)));
    if (!face.empty() && installed(face)) return face;
    faces = comma == std::wstring_view::npos ? std::wstring_view() : faces.substr(comma + 1);
  }
  return L"Arial";
}

}  // namespace palisade
