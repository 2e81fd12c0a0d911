// System facts under each Windows version that Wine imitates: the system
// bit, %OSName% (without the WINE prefix) and %OSDescription% (with it), as
// the engine's own code reports them through the sysfacts program.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "wine_harness.h"

namespace palisade::testing {
namespace {

std::map<std::string, std::string> Facts(const std::string& output) {
  std::map<std::string, std::string> facts;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return facts;
}

struct VersionCase {
  const char* setting;  // Wine's version setting; empty: the prefix's default
  const char* bit;
  const char* shortName;    // %OSName%
  const char* description;  // %OSDescription% after "WINE <version> reporting as "
};

class SystemFacts : public ::testing::TestWithParam<int> {
 protected:
  std::map<std::string, std::string> RunUnder(WinePrefix& prefix, const std::string& setting) {
    if (!setting.empty()) {
      prefix.Run({"reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", setting, "/f"});
    }
    return Facts(prefix.Run({WindowsTestProgram("sysfacts.exe")}).out);
  }
};

// Wine 8 reports the product types of its "win7" and "win2008r2" settings
// the wrong way round, so Windows 7 is taken from the prefix's default.
TEST_P(SystemFacts, BitAndNamesFollowTheImitatedVersion) {
  const VersionCase cases[] = {
      {"", "0x41000", "7", "Windows 7 Ultimate N"},
      {"winxp", "0x40100", "XP", "Windows XP Professional"},
      {"win2008", "0x40800", "Server 2008", "Windows Server 2008 Server Standard"},
      {"win81", "0x42000", "8.1", "Windows 8.1 Ultimate N"},
      {"win10", "0x48000", "10", "Windows 10 Ultimate N"},
  };
  SKIP_UNLESS_SYSTEM_RUNS(GetParam());
  WinePrefix prefix(GetParam());
  for (const VersionCase& c : cases) {
    std::map<std::string, std::string> facts = RunUnder(prefix, c.setting);
    ASSERT_FALSE(facts["wine"].empty()) << c.setting;
    EXPECT_EQ(facts["bit"], c.bit) << c.setting;
    EXPECT_EQ(facts["%OS%"], std::to_string(std::stoul(c.bit, nullptr, 16))) << c.setting;
    EXPECT_EQ(facts["%OSName%"], c.shortName) << c.setting;
    EXPECT_EQ(facts["%OSDescription%"], "WINE " + facts["wine"] + " reporting as " + c.description) << c.setting;
  }
}

TEST_P(SystemFacts, ProgramFoldersFollowTheSystemsBitness) {
  SKIP_UNLESS_SYSTEM_RUNS(GetParam());
  WinePrefix prefix(GetParam());
  std::map<std::string, std::string> facts = RunUnder(prefix, "");
  bool system64 = GetParam() == 64;
  EXPECT_EQ(facts["%Bits%"], system64 ? "64" : "32");
  EXPECT_EQ(facts["%ProgramsDir64%"], "C:\\Program Files");
  EXPECT_EQ(facts["%ProgramsDir32%"], system64 ? "C:\\Program Files (x86)" : "C:\\Program Files");
}

INSTANTIATE_TEST_SUITE_P(Prefix, SystemFacts, ::testing::Values(32, 64),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "Bit"; });

}  // namespace
}  // namespace palisade::testing
