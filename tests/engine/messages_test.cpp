#include <gtest/gtest.h>

#include "state/installer_state.h"
#include "payload/messages.h"

namespace palisade {
namespace {

struct FillCase {
  const wchar_t* text;
  std::initializer_list<ts::WText> values;
  const wchar_t* filled;
};

TEST(FillConversions, ValuesInOrderAndNothingElseTouched) {
  const FillCase cases[] = {
      {L"Install %s first.", {L"the Acme Suite"}, L"Install the Acme Suite first."},
      {L"%s %s is too old.", {L"Suite", L"2.5"}, L"Suite 2.5 is too old."},
      {L"Needs %d-bit Windows.", {L"64"}, L"Needs 64-bit Windows."},
      {L"Width %5u and %ls", {L"7", L"wide"}, L"Width 7 and wide"},
      {L"100%% done: %s", {L"yes"}, L"100% done: yes"},
      {L"%s and %s and %n", {L"one"}, L"one and %s and %n"},
      {L"no conversions", {L"unused"}, L"no conversions"},
      {L"trailing %", {L"x"}, L"trailing %"},
  };
  for (const FillCase& c : cases) EXPECT_EQ(FillConversions(c.text, c.values), c.filled) << c.text;
}

TEST(SubstituteTags, ProductDescriptionAndSystem) {
  g_installer = InstallerState{};
  g_installer.script.productName = "Acme Notes";
  g_installer.script.description = "Plain-text notes";
  ts::WText text = SubstituteTags(L"<product> (<description>) <product> on <os>");
  EXPECT_EQ(text.substr(0, 45), L"Acme Notes (Plain-text notes) Acme Notes on W");
  EXPECT_EQ(text.find(L"<os>"), ts::WText::npos);
}

}  // namespace
}  // namespace palisade
