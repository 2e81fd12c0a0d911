// The engine started for real under Wine: its shape as a Windows program,
// its command line, its fatal path and where it loads DLLs from.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "loopback_server.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

const std::string kNoInstallationData =
    "This program performs installations and uninstallations.\r\n"
    "There is no installation data present.\r\n"
    "No uninstallation parameters were specified.\r\n\r\n"
    "You should not delete this program or execute it directly.";

// The usage names the program by its own file name.
std::string Usage(const std::string& reason) {
  return reason + "\r\n\r\nUsage:\r\n" + std::filesystem::path(EnginePath()).filename().string() +
         " [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] "
         "[/d:\"dir\"] [/n:\"name\"] [/u:\"name\"] [/r:\"program\"] [/silent]\r\n\r\n"
         "/a                  \tAutomatic mode.\r\n"
         "/d:\"dir\"        \tOverride installation path.\r\n"
         "/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
         "/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
         "/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
         "/n:\"name\"\tOverride product name.\r\n"
         "/u:\"name\"\tUninstall product by name.\r\n"
         "/r:\"program\"\tRun the specified program after a successful installation.\r\n"
         "/silent\tDisplay no user interface.";
}

std::vector<std::string> EngineWith(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), EnginePath());
  return arguments;
}

struct EngineBuild {
  const char* file;
  const char* objdump;
  const char* format;
};

// Both engines are built on every machine, whichever of them its Wine runs.
TEST(EngineExecutable, IsAGuiProgramThatImportsOnlyKnownSystemDlls) {
  const EngineBuild builds[] = {
      {"palisade-engine.exe", "i686-w64-mingw32-objdump", "file format pei-i386"},
      {"palisade-engine-x64.exe", "x86_64-w64-mingw32-objdump", "file format pei-x86-64"},
  };
  // Only DLLs that Windows keeps in its known-DLL list: the loader never
  // looks for those beside the program.
  const std::set<std::string> known = {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll", "ole32.dll", "OLEAUT32.dll",
                                       "SHELL32.dll",  "SHLWAPI.dll",  "USER32.dll", "GDI32.dll", "COMDLG32.dll"};
  for (const EngineBuild& build : builds) {
    SCOPED_TRACE(build.file);
    std::string headers =
        CommandOutput(std::string(build.objdump) + " -p '" + PALISADE_BIN_DIR + "/" + build.file + "'");
    EXPECT_NE(headers.find(build.format), std::string::npos);
    EXPECT_NE(headers.find("Subsystem\t\t00000002\t(Windows GUI)"), std::string::npos);
    std::istringstream lines(headers);
    int imports = 0;
    for (std::string line; std::getline(lines, line);) {
      size_t at = line.find("DLL Name: ");
      if (at == std::string::npos) continue;
      std::string dll = line.substr(at + 10);
      EXPECT_TRUE(known.count(dll)) << "imports " << dll;
      ++imports;
    }
    EXPECT_GT(imports, 0);
  }
}

TEST(EngineExecutable, CarriesItsApplicationManifest) {
  std::string manifest = ReadFile(EnginePath());
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("requireAdministrator"), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
}

struct SilentRefusal {
  const char* name;
  std::vector<std::string> arguments;
  std::string message;
};

class SilentRun : public ::testing::TestWithParam<int> {};

// In silent mode nothing is shown, so standard error is the only witness.
TEST_P(SilentRun, FatalAndUsageErrorsReachStandardErrorWithExitCode1) {
  std::vector<std::string> twentyAtoms(19, "/silent");
  twentyAtoms.push_back("/x");
  const SilentRefusal cases[] = {
      {"illegal atom", {"/silent", "/x"}, Usage("Illegal command line atom:\r\n/x")},
      {"unexpected parameter", {"/silent", "extra"}, Usage("Unexpected command line parameter:\r\nextra")},
      {"uninstall without a name", {"/u", "/silent"}, Usage("Product name required")},
      {"twentieth atom ignored", twentyAtoms, kNoInstallationData},
      {"no payload", {"/silent"}, kNoInstallationData},
  };
  SKIP_UNLESS_SYSTEM_RUNS(GetParam());
  WinePrefix prefix(GetParam());
  for (const SilentRefusal& c : cases) {
    RunResult run = prefix.Run(EngineWith(c.arguments));
    EXPECT_EQ(run.exitCode, 1) << c.name;
    EXPECT_EQ(run.err, c.message + "\r\n") << c.name;
    EXPECT_EQ(run.out, "") << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Prefix, SilentRun, ::testing::Values(32, 64),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "Bit"; });

struct ShownRefusal {
  const char* name;
  std::vector<std::string> arguments;
  std::string message;
};

TEST(FatalBox, ShowsTheMessageUnderTheErrorCaptionAndEndsWithExitCode1) {
  const ShownRefusal cases[] = {
      {"no payload", {}, kNoInstallationData},
      {"illegal atom before silent", {"/x", "/silent"}, Usage("Illegal command line atom:\r\n/x")},
  };
  WinePrefix prefix;
  for (const ShownRefusal& c : cases) {
    Started engine = prefix.Start(EngineWith(c.arguments));
    RunResult texts = prefix.WindowHelper({"texts", "--caption", "Error"});
    EXPECT_EQ(texts.exitCode, 0) << c.name << texts.err;
    EXPECT_NE(texts.out.find("caption\tError\n"), std::string::npos) << c.name << texts.out;
    EXPECT_NE(texts.out.find("65535\tStatic\t" + Escaped(c.message) + "\n"), std::string::npos) << c.name << texts.out;
    EXPECT_EQ(prefix.WindowHelper({"press", "1", "--caption", "Error"}).exitCode, 0) << c.name;
    RunResult run = prefix.Wait(engine);
    EXPECT_EQ(run.exitCode, 1) << c.name;
    EXPECT_EQ(run.err, c.message + "\r\n") << c.name;
  }
}

// Once the script is read, the box is captioned with message 21 of its
// table, tags filled in like every other text shown.
TEST(FatalBox, CaptionIsTheScriptsMessageWithItsTags) {
  WinePrefix prefix;
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.messages[21][0] = u"<Product> stopped";
  recipe.script.messages[13][0] = u"Error %d.";
  recipe.files = {{"readme.txt", "hello"}};
  recipe.editInstaller = [](Bytes& b) { PatchHeaderField(b, HeaderField::kArchiveChecksum, 0x12345678); };
  WriteBytes(prefix.DriveC() + "/damaged.exe", BuildInstaller(recipe));
  Started engine = prefix.Start({"C:\\damaged.exe", "/a"});
  RunResult texts = prefix.WindowHelper({"texts", "--caption", "Palisade Test Product stopped"});
  EXPECT_EQ(texts.exitCode, 0) << texts.err;
  EXPECT_NE(texts.out.find("65535\tStatic\tError 55.\n"), std::string::npos) << texts.out;
  EXPECT_EQ(prefix.WindowHelper({"press", "1", "--caption", "Palisade Test Product stopped"}).exitCode, 0);
  RunResult run = prefix.Wait(engine);
  EXPECT_EQ(run.exitCode, 1);
  // Now and then Wine's theming faults in a thread of its own while the
  // windows go away and says so on standard error too.
  EXPECT_NE(run.err.find("Error 55.\r\n"), std::string::npos) << run.err;
}

// DLLs planted beside an installer in a downloads folder, or in the folder
// it is started from: every DLL the engine loads while it runs, and the
// names attackers drop because programs load them by name. None is on the
// system's known-DLL list. This Wine loads "version" from the folder of any
// program before the program's code runs: Wine's own advapi32 imports it,
// and bound to a plant that exports nothing, Wine's calls into it abort the
// process. It also loads "msimg32" from the program's folder when a message
// box is painted: its common controls resolve their delayed import of it
// along the default path, past the program's restriction. On Windows the
// DLLs that known DLLs import are known DLLs themselves and the restriction
// holds, so neither is the engine's doing; the engine runs below leave
// "version" out of the installer's folder.
struct Plant {
  const char* name;
  bool wineLoadsItBesideAnyProgram;
};
const Plant kPlants[] = {
    // loaded by the engine at run time, always through the system folder
    {"wininet", false}, {"rasapi32", false}, {"version", true}, {"srclient", false}, {"winmm", false},
    {"msimg32", false}, {"riched20", false}, {"msi", false}, {"setupapi", false}, {"dbghelp", false},
    {"psapi", false}, {"ws2_32", false}, {"comctl32", false}, {"tlhelp32", false},
    // the classic planting names
    {"uxtheme", false}, {"dwmapi", false}, {"cryptbase", false}, {"userenv", false}, {"profapi", false},
    {"propsys", false}, {"cryptsp", false}, {"secur32", false}, {"wtsapi32", false}, {"netapi32", false},
    {"winhttp", false}, {"oleacc", false}};

constexpr char kDownloads[] = "C:\\users\\Public\\Downloads";
constexpr char kWorkingFolder[] = "C:\\work";

class PlantedDlls : public ::testing::Test {
 protected:
  // Wine normally prefers its own copy of a system DLL; asking for the
  // native one first makes it search the way Windows does.
  void SetUp() override {
    std::filesystem::create_directories(work_);
    overrides_ = "WINEDLLOVERRIDES=mscoree,mshtml=";
    for (const Plant& plant : kPlants) {
      for (const std::string& folder : {downloads_, work_}) {
        CopyFile(WindowsTestProgram("planted.dll"), folder + "/" + plant.name + ".dll");
      }
      overrides_ += std::string(";") + plant.name + "=n,b";
    }
  }

  // Started from the working folder, as a user does who opens a shell there.
  static std::vector<std::string> FromWorkingFolder(const std::string& commandLine) {
    return {"cmd", "/c", std::string("cd /d ") + kWorkingFolder + " && " + commandLine};
  }
  RunResult RunFromWorkingFolder(const std::string& commandLine) {
    return prefix_.Run(FromWorkingFolder(commandLine), 120, {overrides_});
  }

  // The plants that left their mark in either folder, and the marks removed.
  std::set<std::string> LoadedPlants() {
    std::set<std::string> loaded;
    for (const Plant& plant : kPlants) {
      for (const std::string& folder : {downloads_, work_}) {
        std::string marker = folder + "/" + plant.name + ".dll.loaded";
        if (FileExists(marker)) loaded.insert(std::string(plant.name) + (folder == work_ ? " (working folder)" : ""));
        std::filesystem::remove(marker);
      }
    }
    return loaded;
  }

  static std::set<std::string> LoadedByWine() {
    std::set<std::string> names;
    for (const Plant& plant : kPlants) {
      if (plant.wineLoadsItBesideAnyProgram) names.insert(plant.name);
    }
    return names;
  }

  WinePrefix prefix_;
  std::string downloads_ = prefix_.DriveC() + "/users/Public/Downloads";
  std::string work_ = prefix_.DriveC() + "/work";
  std::string overrides_;
};

// The controls. A program in the plants' folder that loads each by name,
// as programs do, gets it, and so does one started from the working folder
// that loads it by its path there: so a refusal below is the engine's own
// doing, not this Wine's. A program that loads nothing shows what Wine
// takes from the folder by itself.
TEST_F(PlantedDlls, AreLoadedByAnyProgramThatAsksAndSomeByWineItself) {
  CopyFile(WindowsTestProgram("engine_probe.exe"), downloads_ + "/probe.exe");
  std::string probe = std::string(kDownloads) + "\\probe.exe";
  RunFromWorkingFolder(probe + " load nothing-here.dll");
  EXPECT_EQ(LoadedPlants(), LoadedByWine());

  for (const Plant& plant : kPlants) {
    std::string name = std::string(plant.name) + ".dll";
    RunResult run = RunFromWorkingFolder(probe + " load " + name);
    EXPECT_EQ(run.out, "result 1\n") << name;
    EXPECT_TRUE(LoadedPlants().count(plant.name)) << name;
    RunFromWorkingFolder(probe + " load " + kWorkingFolder + "\\" + name);
    EXPECT_TRUE(LoadedPlants().count(std::string(plant.name) + " (working folder)")) << name;
  }
}

// The engine started from the working folder: without a payload, silently
// and then to its error message, and installing a product in automatic
// mode (its windows shown) with a restore point and a notification, which
// load the restore-point and internet DLLs too. No plant is loaded but,
// now and then, Wine's "msimg32" with the message box.
TEST_F(PlantedDlls, AreNeverLoadedByTheEngine) {
  for (const std::string& name : LoadedByWine()) std::filesystem::remove(downloads_ + "/" + name + ".dll");
  CopyFile(EnginePath(), downloads_ + "/setup.exe");
  RunResult bare = RunFromWorkingFolder(std::string(kDownloads) + "\\setup.exe /silent");
  EXPECT_EQ(bare.err, kNoInstallationData + "\r\n");
  EXPECT_EQ(LoadedPlants(), std::set<std::string>{});

  Started shown = prefix_.Start(FromWorkingFolder(std::string(kDownloads) + "\\setup.exe"), {overrides_});
  EXPECT_EQ(prefix_.WindowHelper({"press", "1", "--caption", "Error"}).exitCode, 0);
  prefix_.Wait(shown);
  std::set<std::string> loaded = LoadedPlants();
  loaded.erase("msimg32");  // Wine's, when the box is painted before it is pressed
  EXPECT_EQ(loaded, std::set<std::string>{});

  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"tool.dat", "tool"}};
  recipe.productFlags2 = format::product_flags2::kRestorePoint;
  LoopbackServer server;
  recipe.script.startNotifyUrl = server.Address() + "/start";
  WriteBytes(downloads_ + "/product.exe", BuildInstaller(recipe));
  RunResult install = RunFromWorkingFolder(std::string(kDownloads) + "\\product.exe /a /d:C:\\product");
  EXPECT_EQ(install.err, "");
  EXPECT_TRUE(FileExists(prefix_.DriveC() + "/product/tool.dat"));
  EXPECT_EQ(server.Targets(), std::vector<std::string>{"/start"});
  EXPECT_EQ(LoadedPlants(), std::set<std::string>{});
}

}  // namespace
}  // namespace palisade::testing
