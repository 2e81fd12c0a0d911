#include "format/checks.h"

#include <gtest/gtest.h>

namespace palisade::format {
namespace {

TEST(Checks, RangesIncludeBothEnds) {
  struct Case {
    int64_t value;
    Error error;
  };
  const Case cases[] = {{0, Error::kLanguageCount},
                        {1, Error::kNone},
                        {200, Error::kNone},
                        {201, Error::kLanguageCount},
                        {-1, Error::kLanguageCount}};
  for (const Case& c : cases) EXPECT_EQ(Check(kLanguageCountRule, c.value), c.error) << c.value;
}

// Adds `count` rules to a sentinel list, testing the rule as the script
// reader does; returns the first error.
Error FillList(int count, const RangeRule& rule, bool testBeforeAdding) {
  for (int inList = 0; inList < count; ++inList) {
    if (Error error = Check(rule, testBeforeAdding ? inList : inList + 1); error != Error::kNone) return error;
  }
  return Error::kNone;
}

TEST(Checks, ConditionalDeleteListHolds1001Rules) {
  EXPECT_EQ(FillList(1001, kConditionalDeleteListRule, true), Error::kNone);
  EXPECT_EQ(FillList(1002, kConditionalDeleteListRule, true), Error::kConditionalDeleteCount);
}

TEST(Checks, CloseRuleListHolds1000Rules) {
  EXPECT_EQ(FillList(1000, kCloseRuleListRule, false), Error::kNone);
  EXPECT_EQ(FillList(1001, kCloseRuleListRule, false), Error::kCloseRuleCount);
}

}  // namespace
}  // namespace palisade::format
