// Notification requests under Wine: each moment of an installation and the
// uninstallation requests its address from a loopback server, with the
// placeholders filled in and encoded, and without the firewall ever being
// opened for the installer itself; a server that never answers, or
// refuses, does not hold the installation; an empty address requests
// nothing and starts no worker.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "loopback_server.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace high = format::product_flags_high;

constexpr char kProduct[] = "Acme Notices";
constexpr char kUninstaller[] = "C:\\Program Files\\Acme Notices\\uninstall\\Uninstall Test.exe";
constexpr char kWorkerStarted[] = "notification worker started";
// The engine's trace, and every call into Wine's firewall.
constexpr char kTraceAndFirewall[] = "WINEDEBUG=-all,+debugstr,+hnetcfg";

// Every address of the script under `base`, the moment's name as its path.
InstallerRecipe Notifying(const std::string& version, const std::string& base) {
  InstallerRecipe recipe = ProductWithUninstaller();
  format::SetupScript& s = recipe.script;
  s.productName = kProduct;
  s.displayVersion = version;
  s.productFlagsHigh |= high::kCompareVersions;
  s.startNotifyUrl = " \t" + base + "/start?v=%version%&again=%VERSION%&os=%OS%\r\n";
  s.beginNotifyUrl = base + "/begin?name=%OSName%&major=%OSMajor%&minor=%OSMinor%";
  s.closingNotifyUrls = {base + "/first?d=%OSDescription%&server=%OSServer%", base + "/upgrade?v=%version%",
                         base + "/newer?v=%version%", base + "/again?v=%version%"};
  s.uninstallNotifyUrl = base + "/gone?v=%version%";
  recipe.files = {{"app.txt", version}};
  return recipe;
}

// Written here rather than taken from the engine, so that a fault in its
// encoder shows.
std::string Encoded(const std::string& text) {
  std::ostringstream out;
  for (unsigned char c : text) {
    if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out << c;
    } else {
      out << '%' << std::uppercase << std::hex << (c < 16 ? "0" : "") << static_cast<int>(c) << std::dec;
    }
  }
  return out.str();
}

// The installation variables as the engine's own sysfacts helper prints them.
std::map<std::string, std::string> Variables(WinePrefix& prefix) {
  std::map<std::string, std::string> variables;
  std::istringstream lines(prefix.Run({WindowsTestProgram("sysfacts.exe")}).out);
  std::string line;
  while (std::getline(lines, line)) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) variables[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return variables;
}

bool Traced(const RunResult& run, const std::string& line) {
  for (const std::string& traced : EngineTrace(run.err)) {
    if (traced == line) return true;
  }
  return false;
}

class Notifications : public ::testing::Test {
 protected:
  // Automatic rather than silent: a silent run does not compare versions,
  // and the closing address depends on the comparison.
  RunResult Install(const InstallerRecipe& recipe) {
    return prefix_.Run({PlaceInstaller(prefix_, recipe, "notices"), "/a"}, 90, {kTraceAndFirewall});
  }
  RunResult Uninstall() {
    return prefix_.Run({kUninstaller, std::string("/u:\"") + kProduct + "\"", "/silent"}, 90, {kTraceAndFirewall});
  }

  WinePrefix prefix_;
};

TEST_F(Notifications, EachMomentRequestsItsAddressInOrder) {
  LoopbackServer server;
  std::map<std::string, std::string> v = Variables(prefix_);
  std::string start = "/start?v=%s&again=%s&os=" + Encoded(v["%OS%"]);
  std::string begin = "/begin?name=" + Encoded(v["%OSName%"]) + "&major=" + Encoded(v["%OSMajor%"]) +
                      "&minor=" + Encoded(v["%OSMinor%"]);
  auto withVersion = [&](const std::string& version) {
    std::string text = start;
    for (size_t at; (at = text.find("%s")) != std::string::npos;) text.replace(at, 2, Encoded(version));
    return text;
  };
  struct Step {
    const char* version;  // empty: uninstall
    std::vector<std::string> requested;
  };
  const Step steps[] = {
      {"1.0 b&c", {withVersion("1.0 b&c"), begin,
                    "/first?d=" + Encoded(v["%OSDescription%"]) + "&server=" + Encoded(v["%OSServer%"])}},
      {"2.0", {withVersion("2.0"), begin, "/upgrade?v=2.0"}},
      {"1.5", {withVersion("1.5"), begin, "/newer?v=1.5"}},
      {"1.5", {withVersion("1.5"), begin, "/again?v=1.5"}},
      {"", {"/gone?v=1.5"}},
  };
  size_t seen = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(*step.version ? step.version : "uninstall");
    RunResult run = *step.version ? Install(Notifying(step.version, server.Address())) : Uninstall();
    EXPECT_EQ(run.exitCode, *step.version ? 1 : 0) << run.err;
    // The requests go out and need no way in: an entry for the installer
    // would let anyone reach a program a user may replace, and a killed run
    // would leave it behind. The product has no firewall entries of its own.
    EXPECT_EQ(run.err.find(":hnetcfg:"), std::string::npos) << run.err;
    std::vector<std::string> targets = server.Targets();
    ASSERT_GE(targets.size(), seen);
    EXPECT_EQ(std::vector<std::string>(targets.begin() + static_cast<long>(seen), targets.end()), step.requested);
    seen = targets.size();
  }
}

TEST_F(Notifications, EmptyAddressesStartNoWorkerAndRequestNothing) {
  LoopbackServer server;
  InstallerRecipe recipe = Notifying("1.0", server.Address());
  format::SetupScript& s = recipe.script;
  s.startNotifyUrl = s.beginNotifyUrl = " \r\n";
  s.closingNotifyUrls = {};
  RunResult run = Install(recipe);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_FALSE(Traced(run, kWorkerStarted));
  EXPECT_TRUE(server.Targets().empty());
}

// The worker is waited for at exit, but not for longer than its limit:
// well under a minute, where an unbounded wait would hold the run for as
// long as the server keeps the connection open.
TEST_F(Notifications, AServerThatNeverAnswersOrRefusesDoesNotHoldTheInstallation) {
  LoopbackServer silent(LoopbackServer::Mode::kSilent);
  const struct {
    const char* name;
    std::string base;
  } cases[] = {
      {"never answers", silent.Address()},
      {"refuses", "http://127.0.0.1:" + std::to_string(RefusingPort())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto began = std::chrono::steady_clock::now();
    RunResult run = Install(Notifying("1.0", c.base));
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began).count();
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Traced(run, kWorkerStarted));
    EXPECT_LT(seconds, 40);
    EXPECT_TRUE(FileExists(prefix_.DriveC() + "/Program Files/Acme Notices/app.txt"));
  }
}

}  // namespace
}  // namespace palisade::testing
