#include <gtest/gtest.h>

#include "actions/close_apps.h"

namespace palisade {
namespace {

namespace close_when = format::close_when;

struct PatternCase {
  const char* pattern;
  const char* value;
  bool matches;
};

TEST(PatternMatches, LeadingAsteriskFindsTheRestAnywhereOthersMatchWhole) {
  const PatternCase cases[] = {
      {"*Editor", "Text Editor", true}, {"*Editor", "Editor 2", true},   {"*Editor", "text editor", false},
      {"Editor", "Editor", true},       {"Editor", "Editor 2", false},   {"Editor", "editor", false},
      {"Editor", "Edito", false},       {"*", "anything", true},         {"*", "", true},
      {"Edi*", "Editor", false},        {"**x", "a*xb", true},           {"**x", "axb", false},
  };
  for (const PatternCase& c : cases) EXPECT_EQ(PatternMatches(c.pattern, c.value), c.matches) << c.pattern << " " << c.value;
}

const std::vector<format::CloseRule> kRules = {
    {"", "", "Nothing", 0, close_when::kInstall},                          // 0: no pattern, matches nothing
    {"AcmeMain", "", "Acme", 0, close_when::kUninstall},                   // 1: kept for the uninstaller only
    {"AcmeMain", "*Report", "Acme", 2, close_when::kInstall},              // 2
    {"AcmeMain", "", "Acme", 3, close_when::kInstall | close_when::kUninstall},  // 3
    {"", "Acme Helper", "Helper", 1, close_when::kUninstallAsking},        // 4
};

struct WindowCase {
  const char* name;
  uint8_t mask;
  std::optional<std::string_view> windowClass;
  const char* title;
  int rule;
};

TEST(FirstMatchingRule, TheFirstRuleOfTheMaskThatMatchesEveryPattern) {
  const WindowCase cases[] = {
      {"both patterns of an earlier rule", close_when::kInstall, "AcmeMain", "Q3 Report", 2},
      {"the class alone of a later rule", close_when::kInstall, "AcmeMain", "Notes", 3},
      {"a rule kept for the uninstaller", close_when::kUninstall, "AcmeMain", "Q3 Report", 1},
      {"nothing for an unknown class", close_when::kInstall, "Other", "Q3 Report", -1},
      {"class compared with its case", close_when::kInstall, "acmemain", "Notes", -1},
      {"an unreadable class is no test", close_when::kInstall, std::nullopt, "Q3 Report", 2},
      {"title alone", close_when::kUninstallAsking, "Anything", "Acme Helper", 4},
      {"title of another mask", close_when::kInstall, "Anything", "Acme Helper", -1},
      {"an empty window", close_when::kInstall, "", "", -1},
  };
  for (const WindowCase& c : cases) {
    EXPECT_EQ(FirstMatchingRule(kRules, c.mask, c.windowClass, c.title), c.rule) << c.name;
  }
}

struct EveryWindowCase {
  format::CloseRule rule;
  bool everyWindow;
};

// The uninstaller never applies a rule of its record that would reach
// every window of the desktop.
TEST(MatchesEveryWindow, OnlyLoneAsterisksBeside) {
  const EveryWindowCase cases[] = {
      {{"*", "", "x", 3, close_when::kUninstall}, true},
      {{"", "*", "x", 0, close_when::kUninstall}, true},
      {{"*", "*", "x", 3, close_when::kUninstall}, true},
      {{"", "", "x", 3, close_when::kUninstall}, false},  // matches nothing at all
      {{"*", "Acme Notes", "x", 3, close_when::kUninstall}, false},
      {{"AcmeMain", "*", "x", 3, close_when::kUninstall}, false},
      {{"*Acme", "", "x", 3, close_when::kUninstall}, false},
      {{"**", "", "x", 3, close_when::kUninstall}, false},  // only values that hold an asterisk
  };
  for (const EveryWindowCase& c : cases) {
    EXPECT_EQ(MatchesEveryWindow(c.rule), c.everyWindow) << c.rule.windowClass << "|" << c.rule.windowTitle;
  }
}

}  // namespace
}  // namespace palisade
