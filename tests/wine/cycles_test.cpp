// Repetition and interruption under Wine: a product with files in nested
// folders, shortcuts and registry entries, installed and removed again and
// again, or with the installer or the uninstaller killed on the way, must
// leave the prefix's files and hives as they were before the first run.
//
// `make test` runs a short form: a few cycles and a few kill points. With
// PALISADE_RELIABILITY=long in the environment the same tests run 100
// cycles, kill the installer at every phase and before every file, and
// the uninstaller before every file and at every later step
// (docs/reliability.md).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "builder/prefix_snapshot.h"
#include "format/file_record.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

using builder::PrefixSnapshot;
using builder::SnapshotChanges;
using builder::TakeSnapshot;

namespace low = format::product_flags_low;
namespace kind = format::destination_kind;
namespace overwrite = format::overwrite_mode;

constexpr char kInstall[] = "C:\\Program Files\\Palisade Test Product";
constexpr char kProduct[] = "/Program Files/Palisade Test Product";
constexpr char kUninstaller[] = "C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";
// The exit code of a run that the test build terminated (tests/helper/crashing_engine.cpp).
constexpr int kKilled = 9;
constexpr int kInstallSeconds = 120;
// Wine's menu builder stays off: it would make a host launcher beside the
// desktop shortcut and never remove it, which is Wine's leftover, not the
// product's.
constexpr char kNoMenuBuilder[] = "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d";

bool LongForm() {
  const char* form = std::getenv("PALISADE_RELIABILITY");
  return form && std::strcmp(form, "long") == 0;
}

const std::vector<std::string> kFiles = {"app.exe", "docs\\guide.txt", "bin\\deep\\tool.bin", "data\\a\\b\\c\\state.dat",
                                         "read only.txt"};

InstallerRecipe CycledProduct() {
  InstallerRecipe recipe = ProductWithUninstaller();
  format::SetupScript& s = recipe.script;
  s.productFlagsLow &= ~low::kKeepInstallLog;
  s.productFlagsLow |= low::kUninstallerStartMenuShortcut;
  s.shortcutMode = 0;
  s.startMenuFolder = "Palisade Cycles\\Tools";
  s.messages[33][0] = u"Uninstall Cycles";
  s.shortcuts = {{"app.exe", "Cycle App", "", "--cycle", "%InstallDir%\\bin", 1, 1, 0, "%InstallDir%\\links", 0, 0},
                 {"docs\\guide.txt", "Help\\Cycle Guide", "", "", "", 0, 1, 1, "", 0, 0}};
  s.registryMergeText =
      u"\\HKLM\\Software\\PalisadeCycles\r\n"
      u"\\HKLM\\Software\\PalisadeCycles\\Paths\r\n"
      u"\\HKLM\\Software\\PalisadeCycles\\Paths,Folder,1,%InstallDir%,3\r\n"
      u"\\HKLM\\Software\\PalisadeCycles\\Paths,Tool,2,%InstallDir%\\bin\\deep\\tool.bin,3\r\n"
      u"\\HKCU\\Software\\PalisadeCycles\r\n"
      u"\\HKCU\\Software\\PalisadeCycles,Runs,4,3,3\r\n";
  s.productRegistry = "PalisadeCycles\\Settings";
  for (const std::string& name : kFiles) recipe.files.push_back({name, "content of " + name});
  recipe.files.back().attributes = 0x1;  // read-only
  return recipe;
}

// The shipped engine, or its test build that can be killed at a chosen point.
enum class Engine { kShipped, kKillable };

std::string StatusOfFile(const std::string& name) { return std::string("status text ") + kInstall + "\\" + name; }

class Reliability : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_SYSTEM_RUNS(PrefixBits());
    prefix_ = std::make_unique<WinePrefix>(PrefixBits());
  }
  // On a 64-bit system the product is a 64-bit one: its files go below the
  // 64-bit program files folder and its keys into the 64-bit view.
  virtual int PrefixBits() const { return kWindowsBits; }

  // Places the product's installer, with `extra` files beside its own, and
  // takes the snapshot that the prefix is compared with from then on.
  void Prepare(Engine engine, const std::vector<TestFile>& extra = {}) {
    InstallerRecipe recipe = CycledProduct();
    recipe.files.insert(recipe.files.end(), extra.begin(), extra.end());
    recipe.script.bitness = PrefixBits() == 64 ? 1 : 0;
    if (engine == Engine::kKillable) recipe.engine = WindowsTestProgram("crashing_engine.exe");
    setup_ = PlaceInstaller(*prefix_, recipe, "setup");
    before_ = TakeSnapshot(prefix_->Path());
  }

  // An installation that runs to its end and puts the whole product in place.
  void Install() {
    RunResult run = prefix_->Run({setup_, "/silent"}, kInstallSeconds, {kNoMenuBuilder});
    ASSERT_EQ(run.exitCode, 1) << run.err;
    ASSERT_EQ(run.err, "");
    for (const std::string& name : kFiles) ASSERT_TRUE(FileExists(OnDisk(name))) << name;
  }

  // The uninstaller run to its end; its self-deletion batch must be done
  // before anything else happens in the prefix.
  void Uninstall() {
    RunResult run = prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}, kInstallSeconds, {kNoMenuBuilder});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(WaitUntilGone(prefix_->DriveC() + kProduct, 20)) << "the product folder stays";
  }

  // The run terminated just before the engine traces a line that begins
  // with `point`.
  void KillAt(const std::vector<std::string>& command, const std::string& point) {
    RunResult run = prefix_->Run(command, kInstallSeconds, {kNoMenuBuilder, "PALISADE_TEST_KILL_AT=" + point});
    ASSERT_EQ(run.exitCode, kKilled) << "the run never reached the point\n" << run.err;
  }

  std::vector<std::string> LeftBehind() { return SnapshotChanges(before_, TakeSnapshot(prefix_->Path())); }

  std::string OnDisk(const std::string& relative) {
    std::string path = prefix_->DriveC() + kProduct + "/" + relative;
    for (char& c : path) c = c == '\\' ? '/' : c;
    return path;
  }
  std::string InProfile(const std::string& relative) {
    return prefix_->DriveC() + "/users/" + UserName() + "/" + relative;
  }
  // In the product's own registry view.
  bool KeyExists(const std::string& key) {
    std::vector<std::string> query = {"reg", "query", key};
    if (PrefixBits() == 64) query.push_back("/reg:64");
    return prefix_->Run(query).exitCode == 0;
  }

  std::unique_ptr<WinePrefix> prefix_;
  std::string setup_;
  PrefixSnapshot before_;
};

class ReliabilityOnEachSystem : public Reliability, public ::testing::WithParamInterface<int> {
 protected:
  int PrefixBits() const override { return GetParam(); }
};

TEST_P(ReliabilityOnEachSystem, InstallAndUninstallCyclesLeaveThePrefixAsItWas) {
  Prepare(Engine::kShipped);
  const int cycles = LongForm() ? 100 : 3;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    ASSERT_NO_FATAL_FAILURE(Install());
    if (cycle == 1) {
      // Every kind of thing the product makes is there to be removed.
      const std::string programs = "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/";
      for (const std::string& made :
           {InProfile("Desktop/Cycle App.LNK"), InProfile(programs + "Palisade Cycles/Tools/Cycle App.LNK"),
            InProfile(programs + "Palisade Cycles/Tools/Help/Cycle Guide.LNK"),
            InProfile(programs + "Palisade Cycles/Tools/Uninstall Cycles.LNK"),
            InProfile(programs + "StartUp/Help/Cycle Guide.LNK"), OnDisk("links/Cycle App.LNK")}) {
        EXPECT_TRUE(FileExists(made)) << made;
      }
      for (const char* key : {"HKLM\\Software\\PalisadeCycles\\Paths", "HKCU\\Software\\PalisadeCycles",
                              "HKLM\\Software\\PalisadeCycles\\Settings"}) {
        EXPECT_TRUE(KeyExists(key)) << key;
      }
    }
    ASSERT_NO_FATAL_FAILURE(Uninstall());
  }
  EXPECT_EQ(LeftBehind(), std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(Prefix, ReliabilityOnEachSystem, ::testing::Values(32, 64),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

// Where the installer is killed: as phases begin (the one before has run
// to its end) and inside the file loop, before a file is written.
std::vector<std::string> InstallKillPoints() {
  if (!LongForm()) {
    return {"phase 19 ", StatusOfFile("bin\\deep\\tool.bin"), "phase 22 ", "phase 25 ", "phase 30 ", "phase 32 ",
            "phase 37 "};
  }
  std::vector<std::string> points;
  for (int phase = 16; phase <= 39; ++phase) points.push_back("phase " + std::to_string(phase) + " ");
  for (const std::string& name : kFiles) points.push_back(StatusOfFile(name));
  return points;
}

TEST_F(Reliability, KilledInstallationRunsAgainAndUninstallsWithoutTrace) {
  Prepare(Engine::kKillable);
  for (const std::string& point : InstallKillPoints()) {
    SCOPED_TRACE("killed at \"" + point + "\"");
    ASSERT_NO_FATAL_FAILURE(KillAt({setup_, "/silent"}, point));
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(Uninstall());
    EXPECT_EQ(LeftBehind(), std::vector<std::string>());
  }
}

// A file killed half way through its writing, for each rule that keeps an
// existing file: the second run must still find it missing or out of date.
// Mode 0x0C never rewrites a file that exists, so its only case is a new
// file.
struct HalfWrittenCase {
  const char* name;
  uint32_t kind;
  uint32_t overwriteMode;
  bool olderFileThere;
};

const HalfWrittenCase kHalfWrittenCases[] = {
    {"OnlyIfMissing_New", kind::kInstallFolder, overwrite::kIfMissing, false},
    {"UnlessNewer_New", kind::kInstallFolder, overwrite::kUnlessNewer, false},
    {"UnlessNewer_Older", kind::kInstallFolder, overwrite::kUnlessNewer, true},
    {"VersionChecked_New", kind::kVersionChecked, overwrite::kAlways, false},
    {"VersionChecked_Older", kind::kVersionChecked, overwrite::kAlways, true},
};

void PrintTo(const HalfWrittenCase& c, std::ostream* out) { *out << c.name; }

constexpr char kLargeName[] = "large.bin";
// 2001-01-01 00:00:00 UTC, long before the record's date.
constexpr time_t kOlderFileTime = 978307200;

// Several pieces of the writer's 1 MiB, none like another, so that a short
// file never equals the whole one.
std::string LargeContent() {
  std::string content;
  for (int line = 0; content.size() < (5 << 20); ++line) content += "line " + std::to_string(line) + " of large.bin\n";
  return content;
}

class HalfWrittenFile : public Reliability, public ::testing::WithParamInterface<HalfWrittenCase> {};

TEST_P(HalfWrittenFile, KilledWriteIsRedoneWholeAndUninstallsWithoutTrace) {
  const HalfWrittenCase& c = GetParam();
  TestFile large{kLargeName, LargeContent()};
  large.kind = c.kind;
  large.flags = c.overwriteMode;
  large.time = {2020, 6, 1, 12, 0, 0};
  Prepare(Engine::kKillable, {large});
  if (c.olderFileThere) {
    std::filesystem::create_directories(prefix_->DriveC() + kProduct);
    WriteBytes(OnDisk(kLargeName), Bytes{'o', 'l', 'd'});
    utimbuf older = {kOlderFileTime, kOlderFileTime};
    ASSERT_EQ(utime(OnDisk(kLargeName).c_str(), &older), 0);
  }
  ASSERT_NO_FATAL_FAILURE(KillAt({setup_, "/silent"}, std::string("first piece written to ") + kInstall + "\\" + kLargeName));
  // What the kill leaves: no trace of a new file, an older one with its old
  // time.
  if (c.olderFileThere) {
    struct stat facts {};
    ASSERT_EQ(stat(OnDisk(kLargeName).c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mtime, kOlderFileTime);
  } else {
    EXPECT_FALSE(FileExists(OnDisk(kLargeName)));
    for (const auto& entry : std::filesystem::directory_iterator(prefix_->DriveC() + kProduct)) {
      EXPECT_NE(entry.path().filename().string().rfind("TST", 0), 0u) << entry.path();
    }
  }
  ASSERT_NO_FATAL_FAILURE(Install());
  EXPECT_TRUE(ReadFile(OnDisk(kLargeName)) == large.content) << "the second run kept a short file";
  ASSERT_NO_FATAL_FAILURE(Uninstall());
  EXPECT_EQ(LeftBehind(), std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(Killed, HalfWrittenFile, ::testing::ValuesIn(kHalfWrittenCases),
                         [](const ::testing::TestParamInfo<HalfWrittenCase>& info) { return info.param.name; });

// Where the uninstaller is killed: inside its loop over the record's
// entries (earlier files gone, the record not yet rewritten), once the
// entries are done and the folders not yet, and after the record was
// rewritten, with the registrations and the product's key still there. The
// long form adds every file of the loop and the steps after the
// registrations, up to the last before the record and the key go.
std::vector<std::string> UninstallKillPoints() {
  std::vector<std::string> points = {StatusOfFile("bin\\deep\\tool.bin"), "progress 93", "status 69"};
  if (!LongForm()) return points;
  for (const std::string& name : kFiles) points.push_back(StatusOfFile(name));
  for (const char* point : {"status 70", "status 68", "progress 10", "progress 96", "progress 97", "progress 98"}) {
    points.push_back(point);
  }
  return points;
}

TEST_F(Reliability, KilledUninstallationRunsAgainAndFinishes) {
  Prepare(Engine::kKillable);
  for (const std::string& point : UninstallKillPoints()) {
    SCOPED_TRACE("killed at \"" + point + "\"");
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(KillAt({kUninstaller, kUninstallSwitch, "/silent"}, point));
    ASSERT_NO_FATAL_FAILURE(Uninstall());
    EXPECT_EQ(LeftBehind(), std::vector<std::string>());
  }
}

}  // namespace
}  // namespace palisade::testing
