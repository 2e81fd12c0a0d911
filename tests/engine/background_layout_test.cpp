// The background window's decisions that need no window: gradient bands,
// picture areas, text sizes and places, colour texts and font lists.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "ui/background_layout.h"

namespace palisade {
namespace {

struct BandCase {
  int clientHeight;
  int bandHeight;
  int bandCount;
};

TEST(BandsFor, HeightIsAFractionOfTheClientClampedToOneToThree) {
  const BandCase cases[] = {
      {1000, 3, 334},  // 1000 / 224 = 4, clamped to 3; the last band is cut short
      {768, 3, 256},  {672, 3, 224}, {671, 2, 336}, {448, 2, 224}, {449, 2, 225},
      {447, 1, 447},  {100, 1, 100}, {1, 1, 1},     {0, 1, 0},
  };
  for (const BandCase& c : cases) {
    GradientBands bands = BandsFor(c.clientHeight);
    EXPECT_EQ(bands.height, c.bandHeight) << c.clientHeight;
    EXPECT_EQ(bands.count, c.bandCount) << c.clientHeight;
  }
}

TEST(BandColour, EachChannelStepsEvenlyFromTopToBottom) {
  const COLORREF top = RGB(200, 0, 10), bottom = RGB(0, 100, 250);
  EXPECT_EQ(BandColour(top, bottom, 0, 5), top);
  EXPECT_EQ(BandColour(top, bottom, 4, 5), bottom);
  EXPECT_EQ(BandColour(top, bottom, 2, 5), RGB(100, 50, 130));
  EXPECT_EQ(BandColour(top, bottom, 1, 5), RGB(150, 25, 70));
  EXPECT_EQ(BandColour(top, bottom, 0, 1), top) << "a single band takes the top colour";
}

struct AreaCase {
  const char* name;
  SIZE client;
  SIZE picture;
  int percent;
  int fit;
  RECT area;
};

TEST(PictureArea, EachFitPlacesThePictureInItsShareOfTheClient) {
  const AreaCase cases[] = {
      {"whole multiple: 100x100 in 450x300 is drawn at 200x200", {450, 300}, {100, 100}, 100, 2, {125, 50, 325, 250}},
      {"whole multiple of a share", {1000, 800}, {100, 50}, 50, 2, {300, 300, 700, 500}},
      {"whole multiple at natural size", {150, 150}, {100, 100}, 100, 2, {25, 25, 125, 125}},
      {"whole multiple of a picture too large fits like keep-aspect",
       {400, 300},
       {800, 200},
       100,
       2,
       {0, 100, 400, 200}},
      {"stretch keeps the share", {1000, 800}, {10, 10}, 50, 0, {250, 200, 750, 600}},
      {"stretch over the whole client", {640, 480}, {7, 3}, 100, 0, {0, 0, 640, 480}},
      {"keep aspect of a wide picture shrinks the height", {400, 400}, {200, 100}, 100, 1, {0, 100, 400, 300}},
      {"keep aspect of a tall picture shrinks the width", {400, 400}, {100, 200}, 100, 1, {100, 0, 300, 400}},
      {"keep aspect in a share", {1000, 500}, {100, 100}, 60, 1, {350, 100, 650, 400}},
      {"an unknown fit keeps the share", {1000, 800}, {10, 10}, 50, 9, {250, 200, 750, 600}},
  };
  for (const AreaCase& c : cases) {
    RECT area = PictureArea(c.client, c.picture, c.percent, c.fit);
    EXPECT_EQ(area.left, c.area.left) << c.name;
    EXPECT_EQ(area.top, c.area.top) << c.name;
    EXPECT_EQ(area.right, c.area.right) << c.name;
    EXPECT_EQ(area.bottom, c.area.bottom) << c.name;
  }
}

TEST(TilesFor, EnoughCopiesToCoverTheClient) {
  TileGrid grid = TilesFor({1024, 768}, {100, 100});
  EXPECT_EQ(grid.columns, 11);
  EXPECT_EQ(grid.rows, 8);
  grid = TilesFor({300, 200}, {100, 100});
  EXPECT_EQ(grid.columns, 3) << "no extra column when the width divides evenly";
  EXPECT_EQ(grid.rows, 2);
}

TEST(TextMetrics, MarginsHeightsAndShadows) {
  TextMargins margins = MarginsFor({1000, 800});
  EXPECT_EQ(margins.horizontal, 5);
  EXPECT_EQ(margins.vertical, 2);
  EXPECT_EQ(FontHeightForPoints(96, 26), 34);
  EXPECT_EQ(FontHeightForPoints(120, 16), 26);
  EXPECT_EQ(ShadowOffset(1, 34), 0) << "the default strength shows no shadow at title sizes";
  EXPECT_EQ(ShadowOffset(100, 34), 2);
  EXPECT_EQ(ShadowOffset(0, 500), 0);
}

TEST(StartingPoints, BaseTimesFactorWithinSaneBounds) {
  EXPECT_EQ(StartingPoints(26, 1.0), 26);
  EXPECT_EQ(StartingPoints(26, 1.5), 39);
  EXPECT_EQ(StartingPoints(16, 0.0), 0);
  EXPECT_EQ(StartingPoints(16, -2.0), 0);
  EXPECT_EQ(StartingPoints(26, std::nan("")), 0);
  EXPECT_EQ(StartingPoints(26, 1e300), 1000);
}

// A text 10 pixels wide per point, with the given shadow, noting each size asked for.
struct FakeMeasure {
  int shadow = 0;
  std::vector<int> asked;
  TextExtent operator()(int points) {
    asked.push_back(points);
    return {10 * points, shadow};
  }
};

TEST(FittingPoints, LargestSizeThatFitsBesideTheMargin) {
  FakeMeasure measure;
  EXPECT_EQ(FittingPoints(26, 1000, 5, std::ref(measure)), 26);
  EXPECT_EQ(measure.asked, std::vector<int>({26}));

  measure = {};
  // 29 points: 290 + 5 < 300; 30 points: 300 + 5 is too wide.
  EXPECT_EQ(FittingPoints(40, 300, 5, std::ref(measure)), 29);
  EXPECT_EQ(measure.asked.size(), 12u);

  measure = {};
  measure.shadow = 20;  // the shadow needs room too
  EXPECT_EQ(FittingPoints(40, 300, 5, std::ref(measure)), 27);
}

TEST(FittingPoints, StopsAtSixPointsEvenWhenNothingFits) {
  FakeMeasure measure;
  EXPECT_EQ(FittingPoints(26, 10, 5, std::ref(measure)), 6);
  EXPECT_EQ(measure.asked.back(), 7) << "six points is taken without measuring";
  measure = {};
  EXPECT_EQ(FittingPoints(4, 10, 5, std::ref(measure)), 4);
  EXPECT_TRUE(measure.asked.empty());
}

struct PlaceCase {
  int position;
  int left;
  int top;
};

TEST(TextPlacement, AlignedByColumnAndPlacedByRow) {
  // A 1000x800 client: margins 5 and 2; shadow 3; a 200-pixel line; 100 pixels of text.
  // The width to align in is 1000 - 2 * (3 + 5) = 984.
  const PlaceCase cases[] = {
      {1, 5, 2},
      {2, 5 + (984 - 200) / 2, 2},
      {3, 5 + 984 - 200, 2},
      {4, 5, 800 - 100 - 3 - 2},
      {5, 5 + (984 - 200) / 2, 695},
      {6, 5 + 984 - 200, 695},
  };
  for (const PlaceCase& c : cases) {
    EXPECT_TRUE(IsDrawnPosition(c.position));
    EXPECT_EQ(LineLeft(c.position, 1000, 5, 3, 200), c.left) << c.position;
    EXPECT_EQ(TextTop(c.position, 800, 2, 100, 3), c.top) << c.position;
  }
  EXPECT_EQ(LineLeft(5, 1000, 5, 0, 200), 5 + (990 - 200) / 2) << "bottom centre without a shadow";
  EXPECT_EQ(TextTop(5, 800, 2, 100, 0), 698);
  for (int position : {0, 7, -1, 255}) EXPECT_FALSE(IsDrawnPosition(position)) << position;
}

struct ColourCase {
  const wchar_t* text;
  bool parsed;
  COLORREF colour;
};

TEST(ParseColourText, SixDigitsOrTheShortFormWithOrWithoutHash) {
  const ColourCase cases[] = {
      {L"FF8000", true, RGB(255, 128, 0)},
      {L"#0a0B0c", true, RGB(10, 11, 12)},
      {L"F80", true, RGB(255, 136, 0)},
      {L"#fff", true, RGB(255, 255, 255)},
      {L"102", true, RGB(17, 0, 34)},
      {L"", false, 0},
      {L"#", false, 0},
      {L"12345", false, 0},
      {L"1234567", false, 0},
      {L"GG0000", false, 0},
      {L"#12", false, 0},
      {L" FF8000", false, 0},
      {L"##FFF", false, 0},
  };
  for (const ColourCase& c : cases) {
    COLORREF colour = 0xDEADBE;
    EXPECT_EQ(ParseColourText(c.text, colour), c.parsed) << c.text;
    EXPECT_EQ(colour, c.parsed ? c.colour : 0xDEADBE) << c.text;
  }
}

TEST(FirstInstalledFace, FirstOfTheListThatIsInstalledElseArial) {
  std::set<ts::WText> installed = {L"Second Face", L"Third"};
  auto isInstalled = [&](const ts::WText& face) { return installed.count(face) > 0; };
  EXPECT_EQ(FirstInstalledFace(L" Missing , Second Face,Third", isInstalled), L"Second Face");
  EXPECT_EQ(FirstInstalledFace(L"Third,Second Face", isInstalled), L"Third");
  EXPECT_EQ(FirstInstalledFace(L"Missing, Gone", isInstalled), L"Arial");
  EXPECT_EQ(FirstInstalledFace(L"", isInstalled), L"Arial");
  EXPECT_EQ(FirstInstalledFace(L" , ,", isInstalled), L"Arial");
}

}  // namespace
}  // namespace palisade
