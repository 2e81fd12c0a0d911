// make_art: draws the engine's six bitmaps (the side and banner pictures and
// the four button images) from shapes, so that the pictures in the engine
// are reproducible from this source alone. Built and run on the build
// machine; writes side.bmp, banner.bmp, tick.bmp, no_entry.bmp,
// folder_search.bmp and retry.bmp into the folder it is given, and beside
// each the form the engine carries: its DIB xz-compressed (side.dib.xz, ...).
//
// The button images are 32-bit with premultiplied alpha, the form in which
// the system blends them. The pictures are 8-bit with their own colour
// table: a third of the bytes of 24-bit pixels in every installer, and
// their gradients need no more than 256 colours to look the same.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "format/xz.h"

namespace {

struct Colour {
  double r = 0, g = 0, b = 0, a = 0;  // straight alpha, 0 to 1
};

Colour Mix(const Colour& from, const Colour& to, double t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
          from.a + (to.a - from.a) * t};
}

Colour Rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1}; }

// "over" compositing of straight-alpha colours.
Colour Over(const Colour& top, const Colour& below) {
  double a = top.a + below.a * (1 - top.a);
  if (a <= 0) return {};
  auto channel = [&](double t, double b) { return (t * top.a + b * below.a * (1 - top.a)) / a; };
  return {channel(top.r, below.r), channel(top.g, below.g), channel(top.b, below.b), a};
}

using Bgr = std::array<uint8_t, 3>;

uint8_t Byte(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

int Distance(const Bgr& a, const Bgr& b) {
  int d = 0;
  for (int i = 0; i < 3; ++i) d += (a[i] - b[i]) * (a[i] - b[i]);
  return d;
}

uint8_t Nearest(const std::vector<Bgr>& table, const Bgr& colour) {
  size_t best = 0;
  for (size_t i = 1; i < table.size(); ++i) {
    if (Distance(table[i], colour) < Distance(table[best], colour)) best = i;
  }
  return uint8_t(best);
}

// The colours of a picture that has at most 256, else 256 chosen by median
// cut: the group of colours that spans most along one channel is split at
// its middle pixel until there are 256 groups, each drawn as its mean.
std::vector<Bgr> ChooseColours(const std::vector<Bgr>& pixels) {
  std::map<Bgr, int> counts;
  for (const Bgr& colour : pixels) ++counts[colour];
  using Group = std::vector<std::pair<Bgr, int>>;
  std::vector<Group> groups(1, Group(counts.begin(), counts.end()));
  auto span = [](const Group& group, int channel) {
    auto [low, high] = std::minmax_element(group.begin(), group.end(),
                                           [&](auto& a, auto& b) { return a.first[channel] < b.first[channel]; });
    return high->first[channel] - low->first[channel];
  };
  auto widest = [&](const Group& group) {
    int channel = 0;
    for (int c = 1; c < 3; ++c) {
      if (span(group, c) > span(group, channel)) channel = c;
    }
    return channel;
  };
  while (groups.size() < 256) {
    auto split = std::max_element(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
      return span(a, widest(a)) < span(b, widest(b));
    });
    if (split->size() < 2) break;
    int channel = widest(*split);
    std::sort(split->begin(), split->end(), [&](auto& a, auto& b) { return a.first[channel] < b.first[channel]; });
    long total = 0, seen = 0;
    for (auto& entry : *split) total += entry.second;
    size_t cut = 1;
    while (cut < split->size() - 1 && (seen += (*split)[cut - 1].second) < total / 2) ++cut;
    Group upper(split->begin() + long(cut), split->end());
    split->resize(cut);
    groups.push_back(std::move(upper));
  }
  std::vector<Bgr> table;
  for (const Group& group : groups) {
    double sum[3] = {}, weight = 0;
    for (auto& [colour, count] : group) {
      for (int c = 0; c < 3; ++c) sum[c] += colour[c] * double(count);
      weight += count;
    }
    table.push_back({uint8_t(std::lround(sum[0] / weight)), uint8_t(std::lround(sum[1] / weight)),
                     uint8_t(std::lround(sum[2] / weight))});
  }
  return table;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

// The file without its 14-byte file header (the form of a bitmap resource),
// compressed as small as xz can: the pictures are mostly even gradients and
// flat colour, and every installer carries them.
bool WritePackedDib(const std::string& path, const std::vector<uint8_t>& bitmapFile) {
  palisade::format::XzEncodeOptions options;
  options.preset = 9;
  options.extreme = true;
  options.check = palisade::format::XzCheck::kCrc32;
  std::vector<uint8_t> packed;
  return palisade::format::XzEncode(std::span(bitmapFile).subspan(14), options, packed) && WriteBytes(path, packed);
}

// A bitmap file: its header, an information header, the colour table (four
// bytes an entry) and the rows bottom up, each padded to four bytes.
bool WriteBmpFile(const std::string& path, int width, int height, int bits, const std::vector<Bgr>& table,
                  const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> file;
  auto u16 = [&](uint32_t v) {
    file.push_back(v & 0xFF);
    file.push_back((v >> 8) & 0xFF);
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const uint32_t pixelOffset = 14 + 40 + uint32_t(table.size()) * 4;
  file.push_back('B');  // file header
  file.push_back('M');
  u32(pixelOffset + uint32_t(rows.size()));
  u32(0);
  u32(pixelOffset);
  u32(40);  // BITMAPINFOHEADER
  u32(uint32_t(width));
  u32(uint32_t(height));  // positive: rows from the bottom up
  u16(1);
  u16(uint16_t(bits));
  u32(0);  // BI_RGB
  u32(uint32_t(rows.size()));
  u32(3780);  // 96 dots per inch
  u32(3780);
  u32(uint32_t(table.size()));
  u32(0);
  for (const Bgr& colour : table) {
    file.insert(file.end(), colour.begin(), colour.end());
    file.push_back(0);
  }
  file.insert(file.end(), rows.begin(), rows.end());
  return WriteBytes(path, file) && WritePackedDib(path.substr(0, path.rfind('.')) + ".dib.xz", file);
}

class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * height) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  Colour& At(int x, int y) { return pixels_[size_t(y) * width_ + x]; }

  // Paints a shape given as an inside test over every pixel, with its edge
  // smoothed by sampling each pixel on a 4 by 4 grid.
  template <typename Inside>
  void Fill(const Colour& colour, Inside inside) {
    constexpr int kGrid = 4;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        int hits = 0;
        for (int sy = 0; sy < kGrid; ++sy) {
          for (int sx = 0; sx < kGrid; ++sx) {
            if (inside(x + (sx + 0.5) / kGrid, y + (sy + 0.5) / kGrid)) ++hits;
          }
        }
        if (!hits) continue;
        Colour top = colour;
        top.a *= double(hits) / (kGrid * kGrid);
        At(x, y) = Over(top, At(x, y));
      }
    }
  }

  // Straight pixels as blue, green, red bytes, top row first.
  std::vector<Bgr> Pixels() const {
    std::vector<Bgr> bytes;
    bytes.reserve(pixels_.size());
    for (const Colour& c : pixels_) bytes.push_back({Byte(c.b), Byte(c.g), Byte(c.r)});
    return bytes;
  }

  // 32-bit pixels with premultiplied alpha.
  bool WriteAlphaBmp(const std::string& path) const {
    std::vector<uint8_t> rows;
    for (int y = height_ - 1; y >= 0; --y) {
      for (int x = 0; x < width_; ++x) {
        const Colour& c = pixels_[size_t(y) * width_ + x];
        for (double channel : {c.b * c.a, c.g * c.a, c.r * c.a, c.a}) rows.push_back(Byte(channel));
      }
    }
    return WriteBmpFile(path, width_, height_, 32, {}, rows);
  }

  // 8-bit pixels indexing a table of at most 256 colours chosen for them.
  bool WritePaletteBmp(const std::string& path) const {
    std::vector<Bgr> pixels = Pixels();
    std::vector<Bgr> table = ChooseColours(pixels);
    std::map<Bgr, uint8_t> index;
    for (const Bgr& colour : pixels) {
      if (!index.count(colour)) index[colour] = Nearest(table, colour);
    }
    const int stride = (width_ + 3) & ~3;
    std::vector<uint8_t> rows;
    for (int y = height_ - 1; y >= 0; --y) {
      for (int x = 0; x < width_; ++x) rows.push_back(index[pixels[size_t(y) * width_ + x]]);
      rows.resize(rows.size() + (stride - width_));
    }
    return WriteBmpFile(path, width_, height_, 8, table, rows);
  }

 private:
  int width_, height_;
  std::vector<Colour> pixels_;
};

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

bool InTriangle(double px, double py, const double (&p)[6]) {
  auto side = [&](int i, int j) {
    return (p[2 * j] - p[2 * i]) * (py - p[2 * i + 1]) - (p[2 * j + 1] - p[2 * i + 1]) * (px - p[2 * i]);
  };
  double a = side(0, 1), b = side(1, 2), c = side(2, 0);
  return (a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0);
}

constexpr double kPi = 3.14159265358979323846;

// A row of pointed stakes standing on `ground`, the palisade of the name.
void DrawPalisade(Canvas& canvas, const Colour& colour, double left, double right, double ground, double stakeWidth,
                  double baseHeight) {
  int index = 0;
  for (double x = left; x + stakeWidth <= right + 0.01; x += stakeWidth * 1.18, ++index) {
    double height = baseHeight * (1.0 + 0.12 * ((index * 7) % 5) / 4.0);
    double top = ground - height, tip = stakeWidth * 0.9, l = x, r = x + stakeWidth;
    canvas.Fill(colour, [=](double px, double py) {
      if (px < l || px > r || py > ground) return false;
      if (py >= top + tip) return true;
      double half = stakeWidth / 2, centre = l + half;
      return py >= top && std::abs(px - centre) <= half * (py - top) / tip;
    });
  }
  for (double rail : {0.35, 0.75}) {
    double y = ground - baseHeight * rail;
    canvas.Fill(colour, [=](double px, double py) {
      return px >= left && px <= right && std::abs(py - y) <= stakeWidth * 0.16;
    });
  }
}

void VerticalGradient(Canvas& canvas, const Colour& top, const Colour& bottom) {
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) canvas.At(x, y) = Mix(top, bottom, double(y) / (canvas.Height() - 1));
  }
}

Canvas SidePicture() {
  Canvas canvas(212, 424);
  VerticalGradient(canvas, Rgb(0x1B, 0x36, 0x6B), Rgb(0x4A, 0x9F, 0xC9));
  // A pale sun behind the stakes.
  canvas.Fill({1, 0.96, 0.82, 0.55}, [](double x, double y) { return std::hypot(x - 150, y - 250) < 34; });
  DrawPalisade(canvas, Rgb(0x10, 0x22, 0x40), -6, 218, 424, 22, 120);
  return canvas;
}

Canvas BannerPicture() {
  Canvas canvas(600, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 600; ++x) canvas.At(x, y) = Mix(Rgb(0xFF, 0xFF, 0xFF), Rgb(0xC9, 0xDF, 0xF2), double(x) / 599);
  }
  DrawPalisade(canvas, Rgb(0x2C, 0x5A, 0x8C), 470, 592, 64, 12, 40);
  return canvas;
}

Canvas Tick() {
  Canvas canvas(64, 64);
  canvas.Fill(Rgb(0x2E, 0x9E, 0x44), [](double x, double y) {
    return SegmentDistance(x, y, 12, 34, 26, 48) < 5.5 || SegmentDistance(x, y, 26, 48, 53, 16) < 5.5;
  });
  return canvas;
}

Canvas NoEntry() {
  Canvas canvas(64, 64);
  canvas.Fill(Rgb(0xC8, 0x1E, 0x1E), [](double x, double y) { return std::hypot(x - 32, y - 32) < 29; });
  canvas.Fill(Rgb(0xFF, 0xFF, 0xFF), [](double x, double y) { return std::abs(y - 32) < 6 && std::abs(x - 32) < 19; });
  return canvas;
}

Canvas FolderSearch() {
  Canvas canvas(64, 64);
  const Colour paper = Rgb(0xF2, 0xC1, 0x4E), edge = Rgb(0xB9, 0x85, 0x1C);
  canvas.Fill(edge, [](double x, double y) { return x >= 4 && x <= 24 && y >= 10 && y <= 20; });
  canvas.Fill(edge, [](double x, double y) { return x >= 4 && x <= 50 && y >= 15 && y <= 50; });
  canvas.Fill(paper, [](double x, double y) { return x >= 6 && x <= 48 && y >= 19 && y <= 48; });
  canvas.Fill({0.85, 0.93, 1, 0.7}, [](double x, double y) { return std::hypot(x - 39, y - 37) < 10; });
  canvas.Fill(Rgb(0x33, 0x33, 0x3A), [](double x, double y) {
    double d = std::hypot(x - 39, y - 37);
    return (d >= 10 && d < 14.5) || SegmentDistance(x, y, 49, 47, 58, 56) < 4;
  });
  return canvas;
}

// Two arcs chasing each other round a circle, each ending in a head.
Canvas Retry() {
  Canvas canvas(64, 64);
  const Colour blue = Rgb(0x1F, 0x6F, 0xC5);
  const double cx = 32, cy = 32, radius = 20, half = 3.5;
  for (double start : {0.0, kPi}) {
    double from = start + 0.35, to = start + kPi - 0.55;
    canvas.Fill(blue, [=](double x, double y) {
      double angle = std::atan2(y - cy, x - cx);
      if (angle < 0) angle += 2 * kPi;
      double d = std::abs(std::hypot(x - cx, y - cy) - radius);
      bool within = (angle >= from && angle <= to) || (angle + 2 * kPi >= from && angle + 2 * kPi <= to);
      return within && d < half;
    });
    double ex = cx + radius * std::cos(to), ey = cy + radius * std::sin(to);
    double tx = -std::sin(to), ty = std::cos(to);  // the way the arc runs
    double nx = std::cos(to), ny = std::sin(to);
    const double head[6] = {ex + nx * 9, ey + ny * 9, ex - nx * 9, ey - ny * 9, ex + tx * 11, ey + ty * 11};
    canvas.Fill(blue, [&head](double x, double y) { return InTriangle(x, y, head); });
  }
  return canvas;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_art FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  struct Output {
    const char* name;
    Canvas canvas;
    bool alpha;
  };
  const Output outputs[] = {
      {"side.bmp", SidePicture(), false}, {"banner.bmp", BannerPicture(), false},      {"tick.bmp", Tick(), true},
      {"no_entry.bmp", NoEntry(), true},  {"folder_search.bmp", FolderSearch(), true}, {"retry.bmp", Retry(), true},
  };
  for (const Output& output : outputs) {
    const std::string path = folder + "/" + output.name;
    if (!(output.alpha ? output.canvas.WriteAlphaBmp(path) : output.canvas.WritePaletteBmp(path))) {
      std::fprintf(stderr, "make_art: cannot write %s/%s\n", folder.c_str(), output.name);
      return 1;
    }
  }
  return 0;
}
