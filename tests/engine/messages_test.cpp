#include <gtest/gtest.h>

#include "core/system_facts.h"
#include "payload/messages.h"
#include "state/installer_state.h"

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

struct TagCase {
  const wchar_t* text;
  const wchar_t* substituted;  // "{os}" stands for the system's name
};

TEST(SubstituteTags, ProductDescriptionAndSystemInAnyLetterCase) {
  const TagCase cases[] = {
      {L"<product> (<description>) <product> on <os>", L"Acme Notes (Plain-text notes) Acme Notes on {os}"},
      {L"<PRODUCT> (<Description>) on <Os>", L"Acme Notes (Plain-text notes) on {os}"},
      {L"<pRoDuCt><product>", L"Acme NotesAcme Notes"},
      {L"<product <os", L"<product <os"},
  };
  g_installer = InstallerState{};
  g_installer.script.productName = "Acme Notes";
  g_installer.script.description = "Plain-text notes";
  const ts::WText system = ts::SystemName(ts::system_name::kForMessages);
  for (const TagCase& c : cases) {
    ts::WText expected = c.substituted;
    if (size_t at = expected.find(L"{os}"); at != ts::WText::npos) expected.replace(at, 4, system);
    EXPECT_EQ(SubstituteTags(c.text), expected) << c.text;
  }
}

}  // namespace
}  // namespace palisade
