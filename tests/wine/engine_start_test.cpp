// The engine started for real under Wine: its shape as a Windows program,
// its command line, its fatal path and where it loads DLLs from.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

const std::string kNoInstallationData =
    "This program performs installations and uninstallations.\r\n"
    "There is no installation data present.\r\n"
    "No uninstallation parameters were specified.\r\n\r\n"
    "You should not delete this program or execute it directly.";

std::string Usage(const std::string& reason) {
  return reason +
         "\r\n\r\nUsage:\r\npalisade-engine.exe [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] "
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

TEST(EngineExecutable, IsA32BitGuiProgramThatImportsOnlyKnownSystemDlls) {
  std::string headers = CommandOutput("i686-w64-mingw32-objdump -p '" + EnginePath() + "'");
  EXPECT_NE(headers.find("file format pei-i386"), std::string::npos);
  EXPECT_NE(headers.find("Subsystem\t\t00000002\t(Windows GUI)"), std::string::npos);
  // Only DLLs that Windows keeps in its known-DLL list: the loader never
  // looks for those beside the program.
  const std::set<std::string> known = {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll", "ole32.dll", "OLEAUT32.dll",
                                       "SHELL32.dll",  "SHLWAPI.dll",  "USER32.dll", "GDI32.dll", "COMDLG32.dll"};
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

// DLLs that attackers like to drop beside installers in a downloads folder:
// none of them is on the system's known-DLL list. "version.dll" is left out
// because Wine's own advapi32 imports it while the process is set up, before
// any code of the program runs; on Windows the DLLs that known DLLs import
// are known DLLs themselves. "msimg32.dll" is left out because Wine's common
// controls resolve their delayed import of it along the default path, past
// the program's restriction, where Windows keeps to the restriction.
const char* const kPlantedNames[] = {"winmm", "uxtheme", "dwmapi",  "cryptbase",
                                     "userenv", "profapi", "riched20", "dbghelp", "wininet", "propsys"};

class PlantedDlls : public ::testing::Test {
 protected:
  // Wine normally prefers its own copy of a system DLL; asking for the
  // native one first makes it search the way Windows does.
  void SetUp() override {
    overrides_ = "WINEDLLOVERRIDES=mscoree,mshtml=";
    for (const char* name : kPlantedNames) {
      CopyFile(WindowsTestProgram("planted.dll"), downloads_ + "/" + name + ".dll");
      overrides_ += std::string(";") + name + "=n,b";
    }
  }

  WinePrefix prefix_;
  std::string downloads_ = prefix_.DriveC() + "/users/Public/Downloads";
  std::string overrides_;
};

// The control: a program in the same folder that loads the DLLs by name,
// as programs do, gets every plant. So the engine's refusal below is its
// own doing, not this Wine's.
TEST_F(PlantedDlls, AreLoadedByAnyProgramInTheirFolder) {
  CopyFile(WindowsTestProgram("engine_probe.exe"), downloads_ + "/probe.exe");
  for (const char* name : kPlantedNames) {
    RunResult run = prefix_.Run({"C:\\users\\Public\\Downloads\\probe.exe", "load", std::string(name) + ".dll"}, 60,
                                {overrides_});
    EXPECT_EQ(run.out, "result 1\n") << name;
    EXPECT_NE(run.err.find("planted DLL loaded"), std::string::npos) << name;
    EXPECT_TRUE(FileExists(downloads_ + "/" + name + ".dll.loaded")) << name;
  }
}

TEST_F(PlantedDlls, AreNeverLoadedFromTheInstallersFolder) {
  CopyFile(EnginePath(), downloads_ + "/setup.exe");
  Started engine = prefix_.Start({"C:\\users\\Public\\Downloads\\setup.exe"}, {overrides_});
  EXPECT_EQ(prefix_.WindowHelper({"press", "1", "--caption", "Error"}).exitCode, 0);
  RunResult run = prefix_.Wait(engine);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.find("planted DLL loaded"), std::string::npos) << run.err;
  for (const char* name : kPlantedNames) {
    EXPECT_FALSE(FileExists(downloads_ + "/" + name + ".dll.loaded")) << name;
  }
}

}  // namespace
}  // namespace palisade::testing
