// The one version order that the engine decides upgrades and version-checked
// files by, and the versions the builder lets through to it.
#include "format/version_order.h"

#include <gtest/gtest.h>

#include <string>

namespace palisade::format {
namespace {

struct VersionCase {
  const char* a;
  const char* b;
  int order;  // sign of the result
};

int Sign(int value) { return (value > 0) - (value < 0); }

std::wstring Wide(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

TEST(CompareVersions, NumbersFromTheLeftThenLengthThenSuffixLetter) {
  const VersionCase cases[] = {
      {"1.2", "1.2", 0},
      {"1.2", "1.10", -1},
      {"1.2", "1.2.0", -1},
      {"2.1b", "2.1a", 1},
      {"2.1", "2.1a", -1},
      {"1.02", "1.2", 0},
      {".5", "0.5", 0},
      {"v3-beta", "3", 1},
      {"10.0.19045", "6.3.9600", 1},
      {"99999999999999999999.1", "99999999999999999998.9", 1},
      {"", "0", -1},
      {"", "", 0},
      {"1,2 / 7", "1.2.7", 0},
  };
  for (const VersionCase& c : cases) {
    EXPECT_EQ(Sign(CompareVersions(std::string_view(c.a), std::string_view(c.b))), c.order) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareVersions(std::string_view(c.b), std::string_view(c.a))), -c.order) << "reversed";
    EXPECT_EQ(Sign(CompareVersions(Wide(c.a), Wide(c.b))), c.order) << "wide: " << c.a << " vs " << c.b;
  }
}

TEST(IsOrderableVersion, DottedNumbersWithAnOptionalLetter) {
  const std::pair<const char*, bool> cases[] = {
      {"2", true},
      {"2.1.0", true},
      {"10.0.19045.1", true},
      {"2.1b", true},
      {"0.0.0.0", true},
      {"65535.65535.65535.65535", true},
      {"1.02", true},
      {"", false},
      {"two point one", false},
      {"v2", false},
      {"1.2.3.4.5.6.7", false},
      {"1.2.3.4.5", false},
      {"65536", false},
      {"2.1-beta", false},
      {"2.1ab", false},
      {"2..1", false},
      {".5", false},
      {"2.", false},
      {"2.1 ", false},
      {"b", false},
  };
  for (auto [text, orderable] : cases) EXPECT_EQ(IsOrderableVersion(text), orderable) << '"' << text << '"';
}

}  // namespace
}  // namespace palisade::format
