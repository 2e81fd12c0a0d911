// The uninstaller under Wine: it removes what the installation recorded and
// its registration, keeps what it could not remove for another run, and
// never touches what the record names outside the product.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <memory>

#include <unistd.h>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kProduct[] = "/Program Files/Palisade Test Product";
constexpr char kUninstallKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr char kUninstaller[] = "C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";

InstallerRecipe Product() {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.productFlagsLow |= format::product_flags_low::kPreviousInstallation;
  recipe.script.uninstallSubfolder = "uninstall";
  recipe.script.uninstallerName = "Uninstall Test.exe";
  recipe.files = {{"app.txt", "app"},
                  {"bin\\deep\\tool.bin", "tool"},
                  {"|d\xC3\xA9j\xC3\xA0 vu\\caf\xC3\xA9.txt", "accents"},
                  {"locked.txt", "read only", {}, 0x1}};
  return recipe;
}

class Uninstaller : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = std::make_unique<WinePrefix>(PrefixBits()); }
  virtual int PrefixBits() const { return 32; }

  void Install(const InstallerRecipe& recipe) {
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
    WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    ASSERT_EQ(prefix_->Run({"C:\\cases\\setup.exe", "/silent"}).exitCode, 1);
    ASSERT_TRUE(FileExists(Path("app.txt")));
  }

  RunResult UninstallSilently() { return prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}); }

  std::string Path(const std::string& relative) { return prefix_->DriveC() + kProduct + "/" + relative; }
  bool KeyExists() { return prefix_->Run({"reg", "query", kUninstallKey}).exitCode == 0; }
  std::string Record() { return ReadFile(Path("uninstall/Uninstall.DAT")); }

  std::unique_ptr<WinePrefix> prefix_;
};

// A 64-bit product on 64-bit Windows installs below the 64-bit program
// files folder with the redirection of the 32-bit engine turned off.
class UninstallerOnBothSystems : public Uninstaller, public ::testing::WithParamInterface<int> {
 protected:
  int PrefixBits() const override { return GetParam(); }
};

TEST_P(UninstallerOnBothSystems, RemovesEverythingRecordedAndTheRegistration) {
  InstallerRecipe recipe = Product();
  recipe.script.bitness = GetParam() == 64 ? 1 : 0;
  Install(recipe);
  RunResult run = UninstallSilently();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* gone : {"app.txt", "bin/deep/tool.bin", "bin/deep", "bin", "d\xC3\xA9j\xC3\xA0 vu", "locked.txt",
                           "uninstall/Uninstall.DAT"}) {
    EXPECT_FALSE(FileExists(Path(gone))) << gone;
  }
  EXPECT_FALSE(KeyExists());
}

INSTANTIATE_TEST_SUITE_P(Prefix, UninstallerOnBothSystems, ::testing::Values(32, 64),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "Bit"; });

TEST_F(Uninstaller, FileInUseStaysAndASecondRunFinishes) {
  Install(Product());
  Started holder = prefix_->Start({WindowsTestProgram("engine_probe.exe"), "hold-file",
                                   "C:\\Program Files\\Palisade Test Product\\bin\\deep\\tool.bin"});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Probe"}).exitCode, 0);
  RunResult first = UninstallSilently();
  EXPECT_EQ(first.exitCode, 1);
  EXPECT_NE(first.err.find("tool.bin"), std::string::npos) << first.err;
  EXPECT_TRUE(FileExists(Path("bin/deep/tool.bin")));
  EXPECT_FALSE(FileExists(Path("app.txt")));
  // The file is the only file entry left; the folders that still hold
  // something stay recorded too, so that the next run removes them.
  std::string record = Record();
  EXPECT_EQ(record.substr(0, record.find("\r\n\r\n")),
            "C:\\Program Files\\Palisade Test Product\\bin\\deep\\tool.bin\r\n"
            "~C:\\Program Files\\Palisade Test Product\\uninstall\r\n"
            "~C:\\Program Files\\Palisade Test Product\\bin\\deep\r\n"
            "~C:\\Program Files\\Palisade Test Product\\bin");
  EXPECT_TRUE(KeyExists());

  prefix_->WindowHelper({"press", "1", "--caption", "Probe"});
  prefix_->Wait(holder);
  RunResult second = UninstallSilently();
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_FALSE(FileExists(Path("bin/deep/tool.bin")));
  EXPECT_FALSE(FileExists(Path("bin")));
  EXPECT_FALSE(KeyExists());
}

TEST_F(Uninstaller, FilesAlreadyGoneAreNoProblem) {
  Install(Product());
  std::filesystem::remove(Path("app.txt"));
  std::filesystem::remove_all(Path("bin"));
  RunResult run = UninstallSilently();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(KeyExists());
}

TEST_F(Uninstaller, RecordEntriesOutsideTheProductAreNeverRemoved) {
  Install(Product());
  std::filesystem::create_directories(prefix_->DriveC() + "/empty-victim");
  std::string record = Record();
  record.insert(0, "~C:\\windows\r\n~C:\\empty-victim\\..\\windows\r\n~C:\\\r\nC:\\windows\\win.ini\r\n"
                   "C:\\Program Files\\..\\windows\\system.ini\r\n^\\HKLM\\SYSTEM\\CurrentControlSet\r\n");
  WriteBytes(Path("uninstall/Uninstall.DAT"), Bytes(record.begin(), record.end()));
  UninstallSilently();
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/win.ini"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/system.ini"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/empty-victim"));
  EXPECT_EQ(prefix_->Run({"reg", "query", "HKLM\\SYSTEM\\CurrentControlSet\\Control"}).exitCode, 0);
  EXPECT_FALSE(FileExists(Path("app.txt")));
}

TEST_F(Uninstaller, SearchPathEntryComesWithTheProductAndGoesWithIt) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kAddToSearchPath |
                                   format::product_flags_low::kKeepInstallLog;
  recipe.script.productFlagsHigh |= format::product_flags_high::kEveryoneFullAccess;
  recipe.script.addToPathSubfolder = "bin";
  Install(recipe);
  const char* environment = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
  std::string path = prefix_->Run({"reg", "query", environment, "/v", "Path"}).out;
  EXPECT_NE(path.find(";C:\\Program Files\\Palisade Test Product\\bin"), std::string::npos) << path;
  std::string log = ReadFile(Path("uninstall/Install.log"));
  EXPECT_NE(log.find("Granting rights to directory \"C:\\Program Files\\Palisade Test Product\"...OK\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(UninstallSilently().exitCode, 0);
  path = prefix_->Run({"reg", "query", environment, "/v", "Path"}).out;
  EXPECT_EQ(path.find("Palisade Test Product"), std::string::npos) << path;
  EXPECT_NE(path.find("%SystemRoot%\\system32;"), std::string::npos) << path;
}

TEST_F(Uninstaller, ProgramGroupAndExtraFilesGoWithTheProduct) {
  InstallerRecipe recipe = Product();
  recipe.script.startMenuFolder = "Acme\\Notes";
  recipe.script.backgroundBitmap = {'B', 'M', 1, 2, 3};
  recipe.script.licenseTexts = {{'L', '1'}, {}, {'L', '3'}};
  recipe.script.readmeTexts = {{'R'}};
  recipe.script.productFlagsLow |= format::product_flags_low::kBackgroundPictureForUninstaller;
  Install(recipe);
  EXPECT_EQ(ReadFile(Path("uninstall/Installer Background.bmp")), std::string("BM\1\2\3", 5));
  // The shortcut phase will fill the group; until then it is made by hand.
  std::string programs = prefix_->DriveC() + "/users/" + std::string(getenv("USER") ? getenv("USER") : "root") +
                         "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs";
  ASSERT_TRUE(FileExists(programs));
  std::filesystem::create_directories(programs + "/Acme/Notes");
  EXPECT_EQ(UninstallSilently().exitCode, 0);
  EXPECT_FALSE(FileExists(programs + "/Acme"));
  EXPECT_TRUE(FileExists(programs));
  EXPECT_FALSE(FileExists(Path("uninstall/Installer Background.bmp")));
  EXPECT_FALSE(FileExists(Path("eula1.txt")));
  EXPECT_FALSE(FileExists(Path("readme.txt")));
}

TEST_F(Uninstaller, InstallerStartedWithTheSwitchDoesNotDeleteItself) {
  Install(Product());
  RunResult run = prefix_->Run({"C:\\cases\\setup.exe", kUninstallSwitch, "/silent"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(KeyExists());
  sleep(3);
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/cases/setup.exe"));
}

TEST_F(Uninstaller, UnknownProductIsRefusedOnStandardError) {
  RunResult run = prefix_->Run({EnginePath(), "/u:\"Nothing Here\"", "/silent"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "No product named 'Nothing Here' is installed.\r\n");
}

}  // namespace
}  // namespace palisade::testing
