// The install driver under Wine: the phases in their order, the milestones,
// and the gates that end a run before anything is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

std::vector<std::string> Phases(const std::vector<std::string>& trace) {
  std::vector<std::string> phases;
  for (const std::string& line : trace) {
    if (line.rfind("phase ", 0) == 0) phases.push_back(line.substr(6, line.find(' ', 6) - 6));
  }
  return phases;
}

std::vector<std::string> Numbers(int from, int to) {
  std::vector<std::string> numbers;
  for (int i = from; i <= to; ++i) numbers.push_back(std::to_string(i));
  return numbers;
}

InstallerRecipe Product() {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.files = {{"a.txt", "alpha"}, {"b.txt", "beta"}};
  return recipe;
}

class InstallDriver : public SharedPrefixTest {
 protected:
  std::string Place(const InstallerRecipe& recipe, const std::string& name) {
    return PlaceInstaller(*prefix_, recipe, name);
  }

  RunResult Install(const InstallerRecipe& recipe, const std::string& name, const std::string& mode,
                    const std::string& option = "") {
    std::vector<std::string> command = {Place(recipe, name), mode};
    if (!option.empty()) command.push_back(option);
    return prefix_->Run(command, 60, {kDebugOutput});
  }

};

TEST_F(InstallDriver, SilentAndAutomaticRunsPassEveryPhaseInOrder) {
  for (const char* mode : {"/silent", "/a"}) {
    RunResult run = Install(Product(), "phases", mode);
    EXPECT_EQ(run.exitCode, 1) << mode;
    EXPECT_EQ(Phases(EngineTrace(run.err)), Numbers(2, 39)) << mode << run.err;
  }
}

TEST_F(InstallDriver, MilestonesComeInTheirOrder) {
  RunResult run = Install(Product(), "milestones", "/silent");
  std::vector<std::string> milestones;
  for (const std::string& line : EngineTrace(run.err)) {
    bool status = line.rfind("status ", 0) == 0 && std::isdigit(static_cast<unsigned char>(line[7]));
    bool progress = line.rfind("progress ", 0) == 0 && std::isdigit(static_cast<unsigned char>(line[9]));
    if (status || progress) milestones.push_back(line);
  }
  const std::vector<std::string> expected = {
      "status 113", "progress 1",  "status 8",    "progress 2",  "status 62",   "progress 21", "status 54",
      "progress 26", "progress 27", "status 29",   "progress 28", "progress 59", "progress 91", "status 54",   "progress 92",
      "progress 93", "status 26",   "progress 95", "status 78",   "progress 97", "progress 98", "progress 99", "status 36",
      "progress 100"};
  EXPECT_EQ(milestones, expected);
}

struct GateCase {
  const char* name;
  std::function<void(InstallerRecipe&)> shape;
  std::string lastPhase;
  std::string message;
};

TEST_F(InstallDriver, GatesEndTheRunBeforeTheWorkBegins) {
  // The product of the other bitness than the prefix's system is refused.
  const bool system64 = kWindowsBits == 64;
  const int fitting = system64 ? 1 : 2, unfitting = system64 ? 2 : 1;
  const GateCase cases[] = {
      {system64 ? "64-bit product on a 64-bit system passes" : "32-bit only on a 32-bit system passes",
       [=](InstallerRecipe& r) { r.script.bitness = fitting; }, "39", ""},
      {system64 ? "32-bit-only product on a 64-bit system" : "64-bit product on a 32-bit system",
       [=](InstallerRecipe& r) {
         r.script.bitness = unfitting;
         r.script.messages[81][0] = u"This product needs %d-bit Windows.";
       },
       "5", system64 ? "This product needs 32-bit Windows.\r\n" : "This product needs 64-bit Windows.\r\n"},
      {"excluded system",
       [](InstallerRecipe& r) {
         r.script.excludedSystems = 0xFFFFFFFF;
         r.script.messages[61][0] = u"Not for <os>.";
       },
       "6", ""},
      {"master product missing",
       [](InstallerRecipe& r) {
         r.script.productFlagsLow |= format::product_flags_low::kMasterProduct;
         r.script.masterRegistryName = "Acme Suite";
         r.script.masterDisplayName = "the Acme Suite";
         r.script.messages[12][0] = u"Install %s first.";
       },
       "7", "Install the Acme Suite first.\r\n"},
  };
  for (const GateCase& c : cases) {
    InstallerRecipe recipe = Product();
    c.shape(recipe);
    RunResult run = Install(recipe, "gate", "/silent");
    std::vector<std::string> phases = Phases(EngineTrace(run.err));
    EXPECT_EQ(run.exitCode, 1) << c.name;
    ASSERT_FALSE(phases.empty()) << c.name;
    EXPECT_EQ(phases.back(), c.lastPhase) << c.name;
    if (!c.message.empty()) EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << run.err;
  }
}

TEST_F(InstallDriver, ExcludedSystemMessageNamesTheSystem) {
  InstallerRecipe recipe = Product();
  recipe.script.excludedSystems = 0xFFFFFFFF;
  recipe.script.messages[61][0] = u"Not for %s.";
  RunResult run = Install(recipe, "excluded", "/silent");
  EXPECT_NE(run.err.find("Not for WINE "), std::string::npos) << run.err;
}

TEST_F(InstallDriver, SecondInstanceIsRefusedWhileAnotherHoldsTheMutex) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kSingleInstance;
  recipe.script.messages[91][0] = u"Another installation is running.";
  std::string path = Place(recipe, "single");
  // The probe stands in for a first installer: it holds the mutex while its
  // box is open.
  Started holder = prefix_->Start({WindowsTestProgram("engine_probe.exe"), "hold-mutex"});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Probe"}).exitCode, 0);
  RunResult refused = prefix_->Run({path, "/silent"}, 60, {kDebugOutput});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(Phases(EngineTrace(refused.err)).back(), "8");
  EXPECT_NE(refused.err.find("Another installation is running.\r\n"), std::string::npos) << refused.err;

  // Outside silent mode the refusal is a box.
  recipe.script.messages[21][0] = u"Acme Setup Error";
  Started shown = prefix_->Start({Place(recipe, "single-shown")});
  std::string texts = prefix_->WindowHelper({"texts", "--caption", "Acme Setup Error"}).out;
  EXPECT_NE(texts.find("65535\tStatic\tAnother installation is running.\n"), std::string::npos) << texts;
  prefix_->WindowHelper({"press", "1", "--caption", "Acme Setup Error"});
  EXPECT_EQ(prefix_->Wait(shown).exitCode, 1);

  prefix_->WindowHelper({"press", "1", "--caption", "Probe"});
  prefix_->Wait(holder);

  RunResult alone = prefix_->Run({path, "/silent"}, 60, {kDebugOutput});
  EXPECT_EQ(Phases(EngineTrace(alone.err)).back(), "39");
}

// The program starts after the engine has ended; one started by the later
// run has certainly ended by the time the other one's has.
TEST_F(InstallDriver, ProgramNamedWithRStartsOnlyAfterARunWithoutFailures) {
  InstallerRecipe failing = Product();
  failing.files.push_back({"..\\..\\escaped.txt", "refused"});
  Install(failing, "run-after-failure", "/silent", "/r:\"cmd.exe /c mkdir C:\\after-failure\"");
  Install(Product(), "run-after-success", "/silent", "/r:\"cmd.exe /c mkdir C:\\after-success\"");
  for (int wait = 0; wait < 100 && !FileExists(prefix_->DriveC() + "/after-success"); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/after-success"));
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/after-failure"));
}

TEST_F(InstallDriver, ProgramThatCannotStartIsReportedInTheLogAndOnStandardError) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kKeepInstallLog;
  RunResult run = Install(recipe, "run-missing", "/silent", "/r:\"C:\\missing dir\\nothing.exe\"");
  EXPECT_EQ(run.exitCode, 1);
  const std::string report = "Failed to launch command: C:\\missing dir\\nothing.exe\r\n";
  EXPECT_NE(run.err.find(report), std::string::npos) << run.err;
  std::string log = ReadFile(prefix_->DriveC() + "/Program Files/Palisade Test Product/Install.log");
  size_t lastRun = log.rfind("Installation log for:");
  EXPECT_NE(log.find(report, lastRun == std::string::npos ? 0 : lastRun), std::string::npos) << log;
}

struct ShownGate {
  const char* name;
  std::function<void(InstallerRecipe&)> shape;
  const char* text;
};

// Outside silent mode each refusal is a box under the error caption of the
// message table; the run ends when it is answered, before anything exists.
TEST_F(InstallDriver, RefusalsAreShownOutsideSilentModeAndLeaveNothingBehind) {
  prefix_->Run({"reg", "add", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Suite", "/v",
                "UninstallString", "/d", "C:\\suite\\uninstall.exe", "/f"});
  prefix_->Run({"reg", "add", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Suite", "/v",
                "DisplayVersion", "/d", "2.5", "/f"});
  auto master = [](const char* registered, const char* minimum) {
    return [=](InstallerRecipe& r) {
      r.script.productFlagsLow |= format::product_flags_low::kMasterProduct;
      r.script.masterRegistryName = registered;
      r.script.masterDisplayName = "the Acme Suite";
      r.script.masterMinimumVersion = minimum;
    };
  };
  const ShownGate gates[] = {
      {"wrong bitness", [](InstallerRecipe& r) { r.script.bitness = kWindowsBits == 64 ? 2 : 1; },
       kWindowsBits == 64 ? "This product needs 32-bit Windows." : "This product needs 64-bit Windows."},
      {"excluded system", [](InstallerRecipe& r) { r.script.excludedSystems = 0xFFFFFFFF; }, "Not for this system."},
      {"master product missing", master("Acme Office", ""), "Install the Acme Suite first."},
      {"master product too old", master("Acme Suite", "3.0"), "the Acme Suite 2.5 is too old."},
  };
  for (const ShownGate& gate : gates) {
    InstallerRecipe recipe = Product();
    recipe.script.messages[21][0] = u"Acme Setup Error";
    recipe.script.messages[81][0] = u"This product needs %d-bit Windows.";
    recipe.script.messages[61][0] = u"Not for this system.";
    recipe.script.messages[12][0] = u"Install %s first.";
    recipe.script.messages[112][0] = u"%s %s is too old.";
    gate.shape(recipe);
    Started run = prefix_->Start({Place(recipe, "shown-gate")}, {kDebugOutput});
    std::string texts = prefix_->WindowHelper({"texts", "--caption", "Acme Setup Error"}).out;
    EXPECT_NE(texts.find(std::string("65535\tStatic\t") + gate.text + "\n"), std::string::npos) << gate.name << texts;
    EXPECT_NE(texts.find("1\tButton\tOK\n"), std::string::npos) << gate.name << texts;
    EXPECT_EQ(prefix_->WindowHelper({"press", "1", "--caption", "Acme Setup Error"}).exitCode, 0) << gate.name;
    RunResult result = prefix_->Wait(run);
    EXPECT_EQ(result.exitCode, 1) << gate.name;
    std::vector<std::string> phases = Phases(EngineTrace(result.err));
    EXPECT_LT(std::stoi(phases.back()), 16) << gate.name;
    EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Program Files/Palisade Test Product")) << gate.name;
  }
}

struct ProjectVariant {
  const char* name;
  const char* settings;  // appended to a minimal project
};

// Projects built by palisade itself, in every coding, are read by the engine
// from the first phase to the last.
TEST_F(InstallDriver, ProductsBuiltByPalisadeRunThroughEveryPhase) {
  const ProjectVariant variants[] = {
      {"defaults", ""},
      {"enciphered", "[encryption]\nenabled = true\n"},
      {"not compressed", "[compression]\nenabled = false\n"},
      {"records across 1 KiB chunks", "[compression]\nchunk-size-kib = 1\n[encryption]\nenabled = true\n"},
      {"archive read from the file, stub verified", "[installer]\narchive-source = \"file\"\nverify-stub = true\n"},
  };
  std::string project = prefix_->DriveC() + "/project";
  std::filesystem::create_directories(project + "/app/sub");
  WriteBytes(project + "/app/a.txt", Bytes(3000, 'a'));
  WriteBytes(project + "/app/sub/b.bin", Bytes(5000, 0x5B));
  WriteBytes(project + "/app/empty.txt", Bytes());
  for (const ProjectVariant& variant : variants) {
    std::string text = std::string("[product]\nname = \"Variant\"\nversion = \"1.0\"\n[[files]]\nfrom = \"app/**\"\n") +
                       variant.settings;
    WriteBytes(project + "/palisade.toml", Bytes(text.begin(), text.end()));
    std::string build = std::string(PALISADE_BIN_DIR) + "/palisade build '" + project + "/palisade.toml' -o '" +
                        prefix_->DriveC() + "/cases/variant.exe' --quiet 2>&1";
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
    ASSERT_EQ(CommandOutput(build), "") << variant.name;
    RunResult run = prefix_->Run({"C:\\cases\\variant.exe", "/silent"}, 60, {kDebugOutput});
    EXPECT_EQ(run.exitCode, 1) << variant.name;
    EXPECT_EQ(run.err.find("Error code"), std::string::npos) << variant.name << run.err;
    EXPECT_EQ(Phases(EngineTrace(run.err)), Numbers(2, 39)) << variant.name;
  }
}

TEST_F(InstallDriver, DemoProductRunsThroughEveryPhase) {
  std::string setup = prefix_->DriveC() + "/cases/demo.exe";
  std::filesystem::create_directories(prefix_->DriveC() + "/cases");
  std::string build = std::string(PALISADE_BIN_DIR) + "/palisade build '" + SourcePath("examples/demo/palisade.toml") +
                      "' -o '" + setup + "' --quiet 2>&1";
  ASSERT_EQ(CommandOutput(build), "");
  for (const char* mode : {"/silent", "/a"}) {
    RunResult run = prefix_->Run({"C:\\cases\\demo.exe", mode}, 60, {kDebugOutput});
    EXPECT_EQ(run.exitCode, 1) << mode;
    EXPECT_EQ(run.err.find("Error code"), std::string::npos) << run.err;
    EXPECT_EQ(Phases(EngineTrace(run.err)), Numbers(2, 39)) << mode;
  }
}

// The example with shortcuts, registry entries and batches, from its
// project file to its removal.
TEST_F(InstallDriver, NotesExampleLeavesItsShortcutsSettingsAndBatchOutputAndTakesThemAway) {
  std::string setup = prefix_->DriveC() + "/cases/notes.exe";
  std::filesystem::create_directories(prefix_->DriveC() + "/cases");
  std::string build = std::string(PALISADE_BIN_DIR) + "/palisade build '" + SourcePath("examples/notes/palisade.toml") +
                      "' -o '" + setup + "' --quiet 2>&1";
  ASSERT_EQ(CommandOutput(build), "");
  ASSERT_EQ(prefix_->Run({"C:\\cases\\notes.exe", "/silent"}, 90).exitCode, 1);
  std::string user = prefix_->DriveC() + "/users/" + UserName();
  std::string product = prefix_->DriveC() + "/Program Files/Palisade Notes";
  std::string desktopFolder = user + "/Desktop/Palisade Notes";
  std::string group = user + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Palisade";
  EXPECT_TRUE(FileExists(desktopFolder + "/Palisade Notes.LNK"));
  EXPECT_TRUE(FileExists(group + "/Notes/Help/User Guide.LNK"));
  EXPECT_TRUE(FileExists(product + "/installed-on.txt"));
  EXPECT_NE(ReadFile(product + "/uninstall/Install.log").find("\r\nRunning Post-Installation Batch...\r\n"
                                                             "Palisade Notes 2.0.0 is in C:\\Program Files\\Palisade Notes\r\n"),
            std::string::npos);
  EXPECT_EQ(prefix_->Run({"reg", "query", "HKCU\\Software\\Palisade\\Notes", "/v", "Theme"}).exitCode, 0);

  RunResult uninstall = prefix_->Run(
      {"C:\\Program Files\\Palisade Notes\\uninstall\\Uninstall Palisade Notes.exe", "/u:\"Palisade Notes\"", "/silent"}, 90);
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  for (const std::string& gone : {desktopFolder, group, product + "/installed-on.txt"}) {
    EXPECT_FALSE(FileExists(gone)) << gone;
  }
  for (const char* key : {"HKLM\\Software\\Palisade", "HKCU\\Software\\Palisade"}) {
    EXPECT_NE(prefix_->Run({"reg", "query", key}).exitCode, 0) << key;
  }
}

}  // namespace
}  // namespace palisade::testing
