// Restore points under Wine: without System Restore the installation says
// so in its log and goes on; with a stand-in for System Restore's library
// in the system folder, the point is opened and committed with the
// expected records, and each refusal or crash of the library is logged in
// its own words.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kNoSrClient[] = "WINEDLLOVERRIDES=mscoree,mshtml,srclient=";
constexpr char kStandInSrClient[] = "WINEDLLOVERRIDES=mscoree,mshtml=;srclient=n";
constexpr char kCommitFailed[] = "Failed to commit restore point.\r\n";

InstallerRecipe Restoring(const std::string& name, const std::string& version) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.productName = name;
  recipe.script.displayVersion = version;
  recipe.productFlags2 = format::product_flags2::kRestorePoint;
  recipe.files = {{"app.txt", "app"}};
  return recipe;
}

class RestorePoints : public ::testing::Test {
 protected:
  RunResult Install(const InstallerRecipe& recipe, const char* overrides) {
    return prefix_.Run({PlaceInstaller(prefix_, recipe, "restoring"), "/silent"}, 90, {overrides});
  }
  std::string Log(const std::string& product) {
    return ReadFile(prefix_.DriveC() + "/Program Files/" + product + "/uninstall/Install.log");
  }
  void PlaceStandIn(const std::string& status) {
    std::filesystem::create_directories(prefix_.DriveC() + "/srclient");
    CopyFile(WindowsTestProgram("srclient/srclient.dll"), prefix_.DriveC() + "/windows/system32/srclient.dll");
    std::string statusFile = prefix_.DriveC() + "/srclient/status.txt";
    std::filesystem::remove(statusFile);
    std::filesystem::remove(prefix_.DriveC() + "/srclient/calls.txt");
    if (!status.empty()) WriteBytes(statusFile, Bytes(status.begin(), status.end()));
  }
  std::string Calls() { return ReadFile(prefix_.DriveC() + "/srclient/calls.txt"); }

  WinePrefix prefix_;
};

TEST_F(RestorePoints, WithoutSystemRestoreTheInstallationGoesOn) {
  RunResult run = Install(Restoring("Acme Restore", "2.5"), kNoSrClient);
  EXPECT_EQ(run.exitCode, 1) << run.err;
  std::string log = Log("Acme Restore");
  EXPECT_NE(log.find("Creating restore point...FAILED\r\nSystem Restore is not present.\r\n\r\n"), std::string::npos)
      << log;
  EXPECT_EQ(log.find(kCommitFailed), std::string::npos);
  EXPECT_EQ(log.find("*** FAILURE SUMMARY ***"), std::string::npos);
  EXPECT_TRUE(FileExists(prefix_.DriveC() + "/Program Files/Acme Restore/app.txt"));
}

TEST_F(RestorePoints, AreOpenedAndCommittedThroughSystemRestore) {
  const std::string longVersion(300, '9');
  const struct {
    std::string name, version;
    std::string description;  // as the stand-in notes it
  } cases[] = {
      {"Acme Restore", "2.5", "length=16 description=Acme Restore 2.5"},
      {"Acme Bare", "", "length=9 description=Acme Bare"},
      {"Acme Long", longVersion, "length=255 description=Acme Long " + longVersion.substr(0, 245)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    PlaceStandIn("");
    RunResult run = Install(Restoring(c.name, c.version), kStandInSrClient);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(Calls(), "event=100 type=0 sequence=0x0 " + c.description + "\n" +
                           "event=101 type=0 sequence=0x1122334455667788 length=0 description=\n");
    std::string log = Log(c.name);
    size_t at = log.rfind("Creating restore point...");
    EXPECT_EQ(log.substr(at, 29), "Creating restore point...OK\r\n") << log;
    EXPECT_EQ(log.find(kCommitFailed, at), std::string::npos);
  }
}

TEST_F(RestorePoints, EachRefusalIsLoggedAndNothingIsCommitted) {
  const struct {
    const char* status;
    const char* line;  // the line after "FAILED", or its beginning when the system's text follows
    bool systemText;
  } cases[] = {
      {"1058", "System Restore is turned off.", false},
      {"5", "Failed, code 5: ", true},
      {"112", "Failed, code 112: ", true},
      {"crash", "Crashed", false},
  };
  const std::string failed = "Creating restore point...FAILED\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    PlaceStandIn(c.status);
    RunResult run = Install(Restoring("Acme Restore", "2.5"), kStandInSrClient);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(Calls(), "event=100 type=0 sequence=0x0 length=16 description=Acme Restore 2.5\n");
    std::string log = Log("Acme Restore");
    // Each run appends its block to the log: the last one is this run's.
    size_t at = log.rfind(failed);
    ASSERT_NE(at, std::string::npos) << log;
    size_t from = at + failed.size();
    size_t end = log.find("\r\n", from);
    std::string line = log.substr(from, end - from);
    EXPECT_EQ(line.substr(0, std::strlen(c.line)), c.line);
    EXPECT_EQ(line.size() > std::strlen(c.line), c.systemText) << line;
    EXPECT_EQ(log.substr(end, 4), "\r\n\r\n");
    EXPECT_EQ(log.find(kCommitFailed, at), std::string::npos);
    EXPECT_EQ(log.find("*** FAILURE SUMMARY ***"), std::string::npos);
  }
}

TEST_F(RestorePoints, ACommitThatFailsOrCrashesIsLoggedAndTheRunGoesOn) {
  for (const char* instruction : {"commit 5", "commit crash"}) {
    SCOPED_TRACE(instruction);
    PlaceStandIn(instruction);
    RunResult run = Install(Restoring("Acme Restore", "2.5"), kStandInSrClient);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(Calls(),
              "event=100 type=0 sequence=0x0 length=16 description=Acme Restore 2.5\n"
              "event=101 type=0 sequence=0x1122334455667788 length=0 description=\n");
    std::string log = Log("Acme Restore");
    size_t at = log.rfind("Creating restore point...");
    EXPECT_EQ(log.substr(at, 29), "Creating restore point...OK\r\n") << log;
    EXPECT_NE(log.find(kCommitFailed, at), std::string::npos) << log;
    EXPECT_EQ(log.find("*** FAILURE SUMMARY ***"), std::string::npos);
    EXPECT_TRUE(FileExists(prefix_.DriveC() + "/Program Files/Acme Restore/app.txt"));
  }
}

}  // namespace
}  // namespace palisade::testing
