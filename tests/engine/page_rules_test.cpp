// The decisions of the pages that need no window: templates by style,
// decoration, the start-menu name rule, the language preselection, rich
// text, the summary's rows and the progress page's placement.
#include <gtest/gtest.h>

#include "core/ts_window.h"
#include "ui/page_controls.h"
#include "ui/page_rules.h"

namespace palisade {
namespace {

struct TemplateCase {
  uint32_t style;
  const wchar_t* name;
  bool banner;
  bool sidePicture;
};

TEST(PageRules, TemplateAndDecorationByStyle) {
  const TemplateCase cases[] = {
      {0, L"ChooseDirDlg2", false, false},
      {1, L"ChooseDirDlg", false, true},
      {2, L"ChooseDirDlg3", true, false},
      {3, L"ChooseDirDlg4", false, true},
      // Any other value loads the banner template but paints no banner.
      {7, L"ChooseDirDlg3", false, false},
      {0xFFFFFFFF, L"ChooseDirDlg3", false, false},
  };
  for (const TemplateCase& c : cases) {
    EXPECT_EQ(PageTemplateName(L"ChooseDirDlg", c.style), c.name) << c.style;
    EXPECT_EQ(PaintsBanner(c.style), c.banner) << c.style;
    EXPECT_EQ(HasSidePicture(c.style), c.sidePicture) << c.style;
  }
}

struct FrameCase {
  uint8_t value;
  uint32_t style;
  PictureFrame frame;
};

TEST(PageRules, SidePictureFrame) {
  const FrameCase cases[] = {
      {0, 1, PictureFrame::kNone},   {1, 1, PictureFrame::kClientEdge}, {1, 3, PictureFrame::kClientEdge},
      {2, 1, PictureFrame::kBorder}, {2, 3, PictureFrame::kBorder},     {3, 1, PictureFrame::kClientEdge},
      {3, 3, PictureFrame::kNone},   {9, 1, PictureFrame::kNone},
  };
  for (const FrameCase& c : cases)
    EXPECT_EQ(SidePictureFrame(c.value, c.style), c.frame) << int(c.value) << "/" << c.style;
}

struct NameCase {
  const wchar_t* name;
  bool valid;
};

TEST(PageRules, StartMenuFolderNames) {
  const NameCase cases[] = {
      {L"Acme Notes", true},  {L"Acme\\Notes", true},    {L"", true},
      {L"\\Acme", false},     {L"Acme\\\\Notes", false}, {L"Acme:Notes", false},
      {L"Acme;Notes", false}, {L"Acme/Notes", false},    {L"Acme \"Notes\"", false},
      {L"<Acme>", false},     {L"Acme|Notes", false},    {L"Acme*", false},
      {L"Acme?", false},      {L"Acme\\", true},
  };
  for (const NameCase& c : cases) EXPECT_EQ(IsValidStartMenuFolder(c.name), c.valid) << c.name;
}

TEST(PageRules, GreetingLinkOpensEveryTagOnTheAddress) {
  EXPECT_EQ(GreetingLinkMarkup(L"Visit <a>our site</a>.", L"https://acme.example/"),
            L"Visit <a href=\"https://acme.example/\">our site</a>.");
  EXPECT_EQ(GreetingLinkMarkup(L"<a>one</a> and <a>two</a>", L"x"), L"<a href=\"x\">one</a> and <a href=\"x\">two</a>");
  EXPECT_EQ(GreetingLinkMarkup(L"no tag", L"x"), L"no tag");
}

struct LanguageCase {
  const char* name;
  std::vector<ts::WText> languages;
  const wchar_t* userLocaleName;
  size_t chosen;
};

TEST(PageRules, PreselectedLanguage) {
  const LanguageCase cases[] = {
      {"the user's language", {L"English", L"Deutsch", L"Français"}, L"Deutsch (Deutschland)", 1},
      {"letter case ignored", {L"English", L"deutsch"}, L"Deutsch", 1},
      {"an entry that begins with the name", {L"English", L"Deutsch (Schweiz)"}, L" Deutsch ", 1},
      {"English when the user's is missing", {L"Français", L"English (US)"}, L"Deutsch", 1},
      {"the first without either", {L"Français", L"Italiano"}, L"Deutsch", 0},
      {"an empty locale name", {L"Français", L"English"}, L"", 1},
  };
  for (const LanguageCase& c : cases) {
    EXPECT_EQ(PreselectedLanguage(c.languages, UserLanguageMatchName(c.userLocaleName)), c.chosen) << c.name;
  }
  EXPECT_EQ(UserLanguageMatchName(L"  Deutsch (Deutschland)"), L"Deutsch");
}

TEST(PageRules, RichTextIsFoundAfterTheByteOrderMark) {
  std::string_view body;
  EXPECT_TRUE(IsRichText("\xEF\xBB\xBF{\\rtf1 <product>}", &body));
  EXPECT_EQ(body, "{\\rtf1 <product>}");
  EXPECT_TRUE(IsRichText("{\\rtf1}", &body));
  EXPECT_EQ(body, "{\\rtf1}");
  EXPECT_FALSE(IsRichText("plain {\\rtf1}"));
  EXPECT_FALSE(IsRichText("\xEF\xBB\xBFplain"));
  EXPECT_FALSE(IsRichText(""));
}

struct RowsCase {
  const char* name;
  uint32_t style;
  SummaryOffer offer;
  std::vector<std::pair<int, int>> controlAndTop;
  int left;
};

TEST(PageRules, SummaryRows) {
  const RowsCase cases[] = {
      {"plain, two offered, centred",
       0,
       {true, false, false, true},
       {{kLaunchCheckBox, 78}, {kViewLogCheckBox, 92}},
       12},
      {"plain, all four",
       0,
       {true, true, true, true},
       {{kLaunchCheckBox, 64}, {kOpenDocumentCheckBox, 78}, {kOpenSecondCheckBox, 92}, {kViewLogCheckBox, 106}},
       12},
      {"side picture", 1, {false, true, true, false}, {{kOpenDocumentCheckBox, 72}, {kOpenSecondCheckBox, 86}}, 98},
      {"white", 3, {true, false, false, false}, {{kLaunchCheckBox, 72}}, 98},
      {"banner", 2, {false, false, false, true}, {{kViewLogCheckBox, 98}}, 20},
      {"any other style as the banner",
       9,
       {true, true, false, false},
       {{kLaunchCheckBox, 98}, {kOpenDocumentCheckBox, 112}},
       20},
  };
  for (const RowsCase& c : cases) {
    std::vector<SummaryRow> rows = SummaryRows(c.style, c.offer);
    ASSERT_EQ(rows.size(), c.controlAndTop.size()) << c.name;
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].control, c.controlAndTop[i].first) << c.name << " row " << i;
      EXPECT_EQ(rows[i].top, c.controlAndTop[i].second) << c.name << " row " << i;
      EXPECT_EQ(rows[i].left, c.left) << c.name;
      EXPECT_EQ(rows[i].right, 275) << c.name;
      EXPECT_EQ(rows[i].height, 9) << c.name;
    }
  }
}

struct PlacementCase {
  unsigned mode;
  RECT placed;
};

TEST(PageRules, ProgressPagePlacementWithinTheArea) {
  const RECT area = {0, 40, 800, 640};  // margins of 20 and 15
  const PlacementCase cases[] = {
      {0, {300, 290, 500, 390}}, {1, {300, 55, 500, 155}}, {2, {300, 525, 500, 625}}, {3, {20, 55, 220, 155}},
      {4, {580, 55, 780, 155}},  {5, {20, 525, 220, 625}}, {6, {580, 525, 780, 625}}, {7, {300, 290, 500, 390}},
  };
  for (const PlacementCase& c : cases) {
    RECT placed = ts::PlacedRect(area, 200, 100, c.mode);
    EXPECT_EQ(placed.left, c.placed.left) << c.mode;
    EXPECT_EQ(placed.top, c.placed.top) << c.mode;
    EXPECT_EQ(placed.right, c.placed.right) << c.mode;
    EXPECT_EQ(placed.bottom, c.placed.bottom) << c.mode;
  }
}

}  // namespace
}  // namespace palisade
