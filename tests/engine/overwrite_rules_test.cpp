#include <gtest/gtest.h>

#include "actions/overwrite_rules.h"

namespace palisade {
namespace {

struct VersionCase {
  const wchar_t* a;
  const wchar_t* b;
  int order;  // sign of the result
};

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(CompareVersions, NumbersFromTheLeftThenLengthThenSuffixLetter) {
  const VersionCase cases[] = {
      {L"1.2", L"1.2", 0},
      {L"1.2", L"1.10", -1},
      {L"1.2", L"1.2.0", -1},
      {L"2.1b", L"2.1a", 1},
      {L"2.1", L"2.1a", -1},
      {L"1.02", L"1.2", 0},
      {L".5", L"0.5", 0},
      {L"v3-beta", L"3", 1},
      {L"10.0.19045", L"6.3.9600", 1},
      {L"99999999999999999999.1", L"99999999999999999998.9", 1},
      {L"", L"0", -1},
      {L"", L"", 0},
      {L"1,2 / 7", L"1.2.7", 0},
  };
  for (const VersionCase& c : cases) {
    EXPECT_EQ(Sign(CompareVersions(c.a, c.b)), c.order) << testing::PrintToString(std::wstring(c.a)) << " vs "
                                                         << testing::PrintToString(std::wstring(c.b));
    EXPECT_EQ(Sign(CompareVersions(c.b, c.a)), -c.order) << "reversed";
  }
}

}  // namespace
}  // namespace palisade
