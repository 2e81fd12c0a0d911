// The uninstaller under Wine: it removes what the installation recorded and
// its registration, keeps what it could not remove for another run, and
// never touches what the record names outside the product.
#include <gtest/gtest.h>

#include <algorithm>
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
constexpr char kUninstallSubkey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";

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
  void SetUp() override {
    SKIP_UNLESS_SYSTEM_RUNS(PrefixBits());
    prefix_ = std::make_unique<WinePrefix>(PrefixBits());
  }
  virtual int PrefixBits() const { return kWindowsBits; }

  void Install(const InstallerRecipe& recipe) {
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
    WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    ASSERT_EQ(prefix_->Run({"C:\\cases\\setup.exe", "/silent"}).exitCode, 1);
    ASSERT_TRUE(FileExists(Path("app.txt")));
  }

  RunResult UninstallSilently() { return prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}); }

  std::string Path(const std::string& relative) { return prefix_->DriveC() + kProduct + "/" + relative; }
  // A folder of the user's profile, as Linux and as Windows name it.
  std::string UserPath(const std::string& relative) { return prefix_->DriveC() + "/users/" + UserName() + "/" + relative; }
  static std::string WindowsUserPath(const std::string& relative) { return "C:\\users\\" + UserName() + "\\" + relative; }
  bool KeyExists() { return prefix_->Run({"reg", "query", kUninstallKey, EngineRegistryView()}).exitCode == 0; }
  std::string Record() { return ReadFile(Path("uninstall/Uninstall.DAT")); }

  // Entries added by hand, to a record of an installation from before the
  // key kept the record's hash: the key vouches for nothing, and only the
  // removal rules stand between the record and the machine.
  void AddToRecord(const std::string& entries) {
    std::string record = entries + Record();
    WriteBytes(Path("uninstall/Uninstall.DAT"), Bytes(record.begin(), record.end()));
    ForgetHashes();
  }
  void ForgetHashes() {
    for (const char* value : {"UninstallDataHash", "UninstallerHash"}) {
      prefix_->Run({"reg", "delete", kUninstallKey, "/v", value, "/f", EngineRegistryView()});
    }
  }
  void SetValue(const char* name, const std::string& text) {
    prefix_->Run({"reg", "add", kUninstallKey, "/v", name, "/d", text, "/f", EngineRegistryView()});
  }
  // Keeps a file open, shared with no one, until Release.
  Started HoldFile(const std::string& windowsPath) {
    Started holder = prefix_->Start({WindowsTestProgram("engine_probe.exe"), "hold-file", windowsPath});
    EXPECT_EQ(prefix_->WindowHelper({"wait", "--caption", "Probe"}).exitCode, 0);
    return holder;
  }
  void Release(Started& holder) {
    prefix_->WindowHelper({"press", "1", "--caption", "Probe"});
    prefix_->Wait(holder);
  }
  // The path through the short names of its steps, as the system gives it.
  std::string ShortPath(const std::string& windowsPath) {
    RunResult run = prefix_->Run({WindowsTestProgram("engine_probe.exe"), "short-path", windowsPath});
    std::string shortPath = run.out.substr(0, run.out.find('\n'));
    EXPECT_NE(shortPath, windowsPath) << "the system gives no short name";
    return shortPath;
  }
  static void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteBytes(path, Bytes(text.begin(), text.end()));
  }

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
  Started holder = HoldFile("C:\\Program Files\\Palisade Test Product\\bin\\deep\\tool.bin");
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

  Release(holder);
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
  // A link in the product's folder that leads out of it.
  WriteText(prefix_->DriveC() + "/victim/keep.txt", "not the product's");
  std::filesystem::create_directories(prefix_->DriveC() + "/victim/empty");
  std::filesystem::create_directory_symlink("../../victim", Path("linked"));
  // Names that the file system reads as a system folder's: a step with a
  // closing dot, which it drops, and a step's short name. The common
  // desktop is empty.
  WriteText(prefix_->DriveC() + "/windows/victim.txt", "the system's");
  WriteText(prefix_->DriveC() + "/Program Files/victim.txt", "the system's");
  AddToRecord("~C:\\windows\r\n~C:\\empty-victim\\..\\windows\r\n~C:\\\r\nC:\\windows\\win.ini\r\n"
              "C:\\Program Files\\..\\windows\\system.ini\r\n^\\HKLM\\SYSTEM\\CurrentControlSet\r\n"
              "C:\\Program Files\\Palisade Test Product\\linked\\keep.txt\r\n"
              "~C:\\Program Files\\Palisade Test Product\\linked\\empty\r\n"
              "C:\\windows.\\victim.txt\r\nC:\\Program Files.\\victim.txt\r\n~C:\\users\\Public\\Desktop.\r\n" +
              ShortPath("C:\\Program Files") + "\\victim.txt\r\n");
  UninstallSilently();
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/victim.txt"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/Program Files/victim.txt"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/users/Public/Desktop"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/win.ini"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/windows/system.ini"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/empty-victim"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/victim/keep.txt"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/victim/empty"));
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
  // A 1x1 24-bit picture as the script carries it, without a file header.
  const std::string dib = std::string("\x28\0\0\0\1\0\0\0\1\0\0\0\1\0\x18\0", 16) + std::string(24, '\0') +
                          std::string("\x30\x20\x10\0", 4);
  recipe.script.backgroundBitmap.assign(dib.begin(), dib.end());
  recipe.script.licenseTexts = {{'L', '1'}, {}, {'L', '3'}};
  recipe.script.readmeTexts = {{'R'}};
  recipe.script.productFlagsLow |= format::product_flags_low::kBackgroundPictureForUninstaller;
  Install(recipe);
  EXPECT_EQ(ReadFile(Path("uninstall/Installer Background.bmp")),
            std::string("BM", 2) +                         // the file's mark
                std::string("\x3A\0\0\0", 4) +            // its size: 14 + 44
                std::string("\0\0\0\0", 4) +              // two reserved words
                std::string("\x36\0\0\0", 4) + dib)       // the pixels' offset: 14 + 40
      << "the picture gets its bitmap file header in front";
  // The shortcut phase will fill the group; until then it is made by hand.
  std::string programs = UserPath("AppData/Roaming/Microsoft/Windows/Start Menu/Programs");
  ASSERT_TRUE(FileExists(programs));
  std::filesystem::create_directories(programs + "/Acme/Notes");
  EXPECT_EQ(UninstallSilently().exitCode, 0);
  EXPECT_FALSE(FileExists(programs + "/Acme"));
  EXPECT_TRUE(FileExists(programs));
  EXPECT_FALSE(FileExists(Path("uninstall/Installer Background.bmp")));
  EXPECT_FALSE(FileExists(Path("eula1.txt")));
  EXPECT_FALSE(FileExists(Path("readme.txt")));
}

// Only the uninstaller that the registration names may act on the record:
// the installer started with the switch is refused and deletes nothing,
// itself included.
TEST_F(Uninstaller, InstallerStartedWithTheSwitchIsRefusedAndDoesNotDeleteItself) {
  Install(Product());
  RunResult run = prefix_->Run({"C:\\cases\\setup.exe", kUninstallSwitch, "/silent"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "The uninstall information for Palisade Test Product is corrupt.\r\n\r\n"
            "The uninstallation cannot be performed.\r\n");
  EXPECT_TRUE(KeyExists());
  EXPECT_TRUE(FileExists(Path("app.txt")));
  sleep(3);
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/cases/setup.exe"));
}

// Started through the short names of its folders, the uninstaller still
// knows its own folder and takes itself away with the product.
TEST_F(Uninstaller, StartedByItsShortPathItRemovesItself) {
  Install(Product());
  RunResult shortName = prefix_->Run({WindowsTestProgram("engine_probe.exe"), "short-path", kUninstaller});
  std::string shortPath = shortName.out.substr(0, shortName.out.find('\n'));
  ASSERT_NE(shortPath.find('~'), std::string::npos) << shortName.out;
  RunResult run = prefix_->Run({shortPath, kUninstallSwitch, "/silent"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(WaitUntilGone(prefix_->DriveC() + kProduct, 20));
}

// The program group comes from the registration; named as the user's own
// Startup folder, plainly, with a closing dot that the file system drops,
// or through "..", it is neither emptied of its "desktop.ini" nor removed.
TEST_F(Uninstaller, ProgramGroupValueNeverReachesTheUsersOwnFolders) {
  const std::string startup = "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp";
  for (const char* group : {"StartUp", "StartUp.", "Acme\\..\\StartUp"}) {
    Install(Product());
    WriteText(UserPath(startup + "/desktop.ini"), "[.ShellClassInfo]\r\n");
    SetValue("ProductStartMenu", group);
    RunResult run = UninstallSilently();
    EXPECT_EQ(run.exitCode, 0) << group << "\n" << run.err;
    EXPECT_TRUE(FileExists(UserPath(startup + "/desktop.ini"))) << group;
    std::filesystem::remove(UserPath(startup + "/desktop.ini"));
    ASSERT_TRUE(WaitUntilGone(prefix_->DriveC() + kProduct, 10));
  }
}

TEST_F(Uninstaller, ShortcutsInTheUsersFoldersGoTheFoldersThemselvesStay) {
  Install(Product());
  const std::string startup = "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp";
  ASSERT_TRUE(FileExists(UserPath(startup)));
  WriteText(UserPath(startup + "/desktop.ini"), "[.ShellClassInfo]\r\n");
  WriteText(UserPath(startup + "/Palisade Test.lnk"), "link");
  WriteText(UserPath("Desktop/Palisade Test.lnk"), "link");
  // The Startup folder itself is recorded as if the installation had made
  // it; it is the user's, so it stays, and keeping it is no failure.
  AddToRecord("~" + WindowsUserPath("AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup") + "\r\n" +
              WindowsUserPath("AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\Palisade Test.lnk") +
              "\r\n" + WindowsUserPath("Desktop\\Palisade Test.lnk") + "\r\n");
  RunResult run = UninstallSilently();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(FileExists(UserPath(startup + "/Palisade Test.lnk")));
  EXPECT_FALSE(FileExists(UserPath("Desktop/Palisade Test.lnk")));
  EXPECT_TRUE(FileExists(UserPath(startup + "/desktop.ini")));
  EXPECT_TRUE(FileExists(UserPath("Desktop")));
  EXPECT_FALSE(KeyExists());
}

TEST_F(Uninstaller, WholeFolderFlagTakesTheUsersFilesAndFinallyTheUninstaller) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  Install(recipe);
  WriteText(Path("notes of the user.txt"), "mine");
  WriteText(Path("bin/settings/user.ini"), "mine too");
  WriteText(Path("uninstall/left by the user.txt"), "also mine");
  RunResult run = UninstallSilently();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(KeyExists());
  for (const char* gone : {"notes of the user.txt", "bin", "uninstall/left by the user.txt", "uninstall/Uninstall.DAT"}) {
    EXPECT_FALSE(FileExists(Path(gone))) << gone;
  }
  EXPECT_TRUE(WaitUntilGone(prefix_->DriveC() + kProduct, 10)) << "the installation folder stays";
}

// Under Wine a link is made from Linux: Wine 8 makes neither junctions
// ("mklink /J" does nothing, FSCTL_SET_REPARSE_POINT fails with error 50)
// nor symbolic links (CreateSymbolicLinkW does nothing), but shows a Linux
// symbolic link to a folder as a reparse point, as Windows shows a
// junction. (A Linux link to a file looks like a plain file to Windows
// programs there, and deleting it deletes what it points at; Windows
// itself marks such a link and deletes the link alone.)
TEST_F(Uninstaller, WholeFolderFlagNeverEntersALinkInside) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  Install(recipe);
  WriteText(prefix_->DriveC() + "/victim/keep.txt", "not the product's");
  std::filesystem::create_directory_symlink("../../../victim", Path("bin/linked folder"));
  // Removing a link by its name removes, under Wine, the empty folder it
  // leads to.
  std::filesystem::create_directories(prefix_->DriveC() + "/empty victim");
  std::filesystem::create_directory_symlink("../../../empty victim", Path("bin/linked empty folder"));
  RunResult run = UninstallSilently();
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/victim/keep.txt"), "not the product's") << run.err;
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/empty victim"));
  EXPECT_FALSE(FileExists(Path("app.txt")));
}

// Entries written with "/" after a link in the product's folder: a file
// entry, a folder entry and a conditional deletion. The judgement must see
// the link that the deletion would go through.
TEST_F(Uninstaller, EntriesWithForwardSlashesNeverReachThroughALink) {
  Install(Product());
  WriteText(prefix_->DriveC() + "/victim3/victim3.txt", "not the product's");
  WriteText(prefix_->DriveC() + "/victim3/Temp/desktop.ini", "[.ShellClassInfo]");
  WriteText(prefix_->DriveC() + "/victim3/Logs/old.log", "not the product's");
  std::filesystem::create_directory_symlink("../../victim3", Path("j"));
  AddToRecord("C:\\Program Files\\Palisade Test Product\\j/victim3.txt\r\n"
              "~C:\\Program Files\\Palisade Test Product\\j/Temp\r\n");
  std::string record = Record() + "\r\n\r\n[ConditionalDelete]\r\nj/Logs\\*.log,0,,8\r\n";
  WriteBytes(Path("uninstall/Uninstall.DAT"), Bytes(record.begin(), record.end()));
  RunResult run = UninstallSilently();
  for (const char* kept : {"victim3.txt", "Temp/desktop.ini", "Logs/old.log"}) {
    EXPECT_TRUE(FileExists(prefix_->DriveC() + "/victim3/" + kept)) << kept << "\n" << run.err;
  }
  EXPECT_FALSE(FileExists(Path("app.txt")));
}

// A folder of the product swapped for a link to someone else's folder after
// the uninstaller judged it and before it deletes in it, by the test build
// of the engine at a chosen trace line: for a later file of a folder that
// an earlier file showed plain, and for a folder of the folder step, which
// first deletes its "desktop.ini".
struct SwapCase {
  const char* name;
  const char* swapAt;  // the whole trace line
  const char* folder;  // below the product's folder, Linux style
  const char* victim;  // in the folder the link leads to
};

void PrintTo(const SwapCase& swap, std::ostream* out) { *out << swap.name; }

class UninstallerWithAFolderSwapped : public Uninstaller, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(UninstallerWithAFolderSwapped, NeverDeletesWhereTheLinkLeads) {
  const SwapCase& swap = GetParam();
  InstallerRecipe recipe = Product();
  recipe.engine = WindowsTestProgram("crashing_engine.exe");
  recipe.files.push_back({"docs\\first.txt", "first"});
  recipe.files.push_back({"docs\\second.txt", "second"});
  Install(recipe);
  WriteText(prefix_->DriveC() + "/victim/" + swap.victim, "not the product's");
  WriteText(prefix_->DriveC() + "/victim/keep.txt", "not the product's");
  std::string folder = std::string("C:\\Program Files\\Palisade Test Product\\") + swap.folder;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  RunResult run = prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}, 120,
                               {std::string("PALISADE_TEST_SWAP_AT=") + swap.swapAt, "PALISADE_TEST_SWAP_FOLDER=" + folder,
                                "PALISADE_TEST_SWAP_TARGET=C:\\victim"});
  ASSERT_TRUE(FileExists(Path(std::string(swap.folder) + ".moved"))) << "the swap never came\n" << run.err;
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/victim/" + swap.victim), "not the product's") << run.err;
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/victim/keep.txt"));
}

const SwapCase kSwaps[] = {
    {"LaterFileOfAFolderFoundPlain", "status text C:\\Program Files\\Palisade Test Product\\docs\\second.txt", "docs",
     "second.txt"},
    {"FolderOfTheFolderStep", "status text C:\\Program Files\\Palisade Test Product\\bin\\deep", "bin/deep",
     "desktop.ini"},
};

INSTANTIATE_TEST_SUITE_P(Swap, UninstallerWithAFolderSwapped, ::testing::ValuesIn(kSwaps),
                         [](const ::testing::TestParamInfo<SwapCase>& info) { return std::string(info.param.name); });

// A file of the user's in use is a failure: the record stays with the
// uninstaller, so that a second run finishes the job.
TEST_F(Uninstaller, WholeFolderFlagWithAFileInUseKeepsTheRecordForASecondRun) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  Install(recipe);
  WriteText(Path("notes of the user.txt"), "mine");
  Started holder = HoldFile("C:\\Program Files\\Palisade Test Product\\notes of the user.txt");
  RunResult first = UninstallSilently();
  EXPECT_EQ(first.exitCode, 1);
  EXPECT_NE(first.err.find("C:\\Program Files\\Palisade Test Product\r\n"), std::string::npos) << first.err;
  EXPECT_TRUE(KeyExists());
  EXPECT_TRUE(FileExists(Path("uninstall/Uninstall.DAT")));
  EXPECT_FALSE(FileExists(Path("app.txt")));

  Release(holder);
  RunResult second = UninstallSilently();
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_FALSE(KeyExists());
  EXPECT_TRUE(WaitUntilGone(prefix_->DriveC() + kProduct, 10)) << "the installation folder stays";
}

TEST_F(Uninstaller, WholeFolderFlagStartedFromElsewhereIsRefusedAndKeepsTheFolder) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  Install(recipe);
  RunResult run = prefix_->Run({"C:\\cases\\setup.exe", kUninstallSwitch, "/silent"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(FileExists(Path("uninstall/Uninstall Test.exe")));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/cases/setup.exe"));
}

// The installation folder named in the registry is one of the system's:
// the tree deletion refuses it and says so.
// The folder may be named as the file system reads it: with a closing dot
// on a step, which it drops, or by its short name.
struct MovedCase {
  const char* name;
  const char* folder;  // as it lies below C:
  bool closingDot;
  bool shortName;
};

void PrintTo(const MovedCase& moved, std::ostream* out) { *out << moved.name; }

class UninstallerOfAMovedProduct : public Uninstaller, public ::testing::WithParamInterface<MovedCase> {};

TEST_P(UninstallerOfAMovedProduct, NeverDeletesASystemFolder) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  Install(recipe);
  const MovedCase& moved = GetParam();
  std::string folder = std::string("C:\\") + moved.folder;
  if (moved.shortName) folder = ShortPath(folder);
  if (moved.closingDot) folder += ".";
  // The record and the uninstaller go where the rewritten registration of
  // an installation from before the hashes looks for them.
  std::string linuxFolder = prefix_->DriveC() + "/" + moved.folder;
  CopyFile(Path("uninstall/Uninstall.DAT"), linuxFolder + "/Palisade Record/Uninstall.DAT");
  CopyFile(Path("uninstall/Uninstall Test.exe"), linuxFolder + "/Palisade Record/Uninstall Test.exe");
  std::string uninstaller = folder + "\\Palisade Record\\Uninstall Test.exe";
  SetValue("InstallLocation", folder);
  SetValue("UninstallSubdir", "Palisade Record");
  SetValue("UninstallString", "\"" + uninstaller + "\" " + kUninstallSwitch);
  ForgetHashes();
  RunResult run = prefix_->Run({uninstaller, kUninstallSwitch, "/silent"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(folder + "\r\n"), std::string::npos) << run.err;
  EXPECT_TRUE(KeyExists());
  for (const char* kept : {"windows/win.ini", "windows/system32", "Program Files/Common Files"}) {
    EXPECT_TRUE(FileExists(prefix_->DriveC() + "/" + kept)) << kept;
  }
  EXPECT_TRUE(FileExists(linuxFolder + "/Palisade Record/Uninstall.DAT"));
}

const MovedCase kMoved[] = {
    {"ProgramFiles", "Program Files", false, false},
    {"Windows", "windows", false, false},
    {"WindowsWithAClosingDot", "windows", true, false},
    {"ProgramFilesByItsShortName", "Program Files", false, true},
};

INSTANTIATE_TEST_SUITE_P(SystemFolder, UninstallerOfAMovedProduct, ::testing::ValuesIn(kMoved),
                         [](const ::testing::TestParamInfo<MovedCase>& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  const char* uninstallSwitch;
  void (*damage)(WinePrefix& prefix);
  const char* error;
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) { *out << refusal.name; }

void LockKey(WinePrefix& prefix, const char* how) {
  RunResult lock = prefix.Run({WindowsTestProgram("engine_probe.exe"), how, kUninstallSubkey});
  ASSERT_EQ(lock.out, "result 0\n");
}

const RefusalCase kRefusals[] = {
    {"UnknownProduct", "/u:\"Nothing Here\"", [](WinePrefix&) {}, "No product named 'Nothing Here' is installed.\r\n"},
    {"KeyNotReadable", kUninstallSwitch, [](WinePrefix& prefix) { LockKey(prefix, "deny-key"); },
     "Permission denied.  Please run the uninstaller with administrator rights.\r\n"},
    {"KeyOnlyReadable", kUninstallSwitch, [](WinePrefix& prefix) { LockKey(prefix, "read-only-key"); },
     "Unable to access the uninstall information for:\r\nPalisade Test Product\r\n\r\n"
     "The uninstallation cannot be performed.\r\n"},
    // Without its display name the product is named as the command line names it.
    {"EmptyInstallLocation", kUninstallSwitch,
     [](WinePrefix& prefix) {
       prefix.Run({"reg", "add", kUninstallKey, "/v", "InstallLocation", "/d", "", "/f"});
       prefix.Run({"reg", "delete", kUninstallKey, "/v", "DisplayName", "/f"});
     },
     "The uninstall information for Palisade Test Product is corrupt.\r\n\r\nThe uninstallation cannot be performed.\r\n"},
    // An uninstall folder outside the installation folder would have the
    // uninstaller read its record and remove folders elsewhere.
    {"UninstallSubdirClimbsOut", kUninstallSwitch,
     [](WinePrefix& prefix) {
       prefix.Run({"reg", "add", kUninstallKey, "/v", "UninstallSubdir", "/d", "..\\..\\windows", "/f"});
     },
     "The uninstall information for Palisade Test Product is corrupt.\r\n\r\nThe uninstallation cannot be performed.\r\n"},
    {"UninstallSubdirIsAbsolute", kUninstallSwitch,
     [](WinePrefix& prefix) {
       prefix.Run({"reg", "add", kUninstallKey, "/v", "UninstallSubdir", "/d", "C:\\windows", "/f"});
     },
     "The uninstall information for Palisade Test Product is corrupt.\r\n\r\nThe uninstallation cannot be performed.\r\n"},
    {"MissingRecord", kUninstallSwitch,
     [](WinePrefix& prefix) {
       std::filesystem::remove(prefix.DriveC() + kProduct + "/uninstall/Uninstall.DAT");
     },
     "The uninstall information for Palisade Test Product could not be loaded.\r\n\r\n"
     "Filepath: C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall.DAT\r\nCode 2: File not found.\r\n"},
};

class UninstallerRefusal : public Uninstaller, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(UninstallerRefusal, SaysWhyOnStandardErrorAndRemovesNothing) {
  Install(Product());
  GetParam().damage(*prefix_);
  RunResult run = prefix_->Run({kUninstaller, GetParam().uninstallSwitch, "/silent"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, GetParam().error);
  for (const char* kept : {"app.txt", "bin/deep/tool.bin", "uninstall/Uninstall Test.exe"}) {
    EXPECT_TRUE(FileExists(Path(kept))) << kept;
  }
}

INSTANTIATE_TEST_SUITE_P(Refusals, UninstallerRefusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(Uninstaller, ProgramNamedToRunAfterwardsStartsInItsOwnFolder) {
  Install(Product());
  RunResult run = prefix_->Run(
      {kUninstaller, kUninstallSwitch, "/silent", "/r:\"C:\\windows\\system32\\cmd.exe /c cd > C:\\started-in.txt\""});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::string startedIn;
  for (int tenth = 0; tenth < 100 && startedIn.empty(); ++tenth) {
    usleep(100000);
    startedIn = ReadFile(prefix_->DriveC() + "/started-in.txt");
  }
  EXPECT_EQ(startedIn, "C:\\windows\\system32\r\n");
}

struct SharedFolderCase {
  const char* folder;        // as the registry names it
  const char* linuxFolder;   // below drive C:
  const char* content;       // a file put in it, or null
  bool gone;
};

TEST_F(Uninstaller, SharedFolderGoesOnlyWhenEmptyAndNeverASystemOne) {
  const SharedFolderCase cases[] = {
      {"C:\\Palisade Shared", "Palisade Shared", nullptr, true},
      {"C:\\Palisade Shared", "Palisade Shared", "another product's.dll", false},
      {"C:\\users\\Public\\Desktop", "users/Public/Desktop", nullptr, false},
  };
  for (const SharedFolderCase& c : cases) {
    Install(Product());
    std::string folder = prefix_->DriveC() + "/" + c.linuxFolder;
    std::filesystem::create_directories(folder);
    if (c.content) WriteText(folder + "/" + c.content, "shared");
    SetValue("SharedPath", c.folder);
    RunResult run = UninstallSilently();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FileExists(folder), !c.gone) << c.folder << (c.content ? " holding a file" : "");
    std::filesystem::remove_all(prefix_->DriveC() + "/Palisade Shared");
    // The self-deletion batch of this run must be done before the next
    // installation puts a new uninstaller where it deletes the old one.
    ASSERT_TRUE(WaitUntilGone(prefix_->DriveC() + kProduct, 10));
  }
}

}  // namespace
}  // namespace palisade::testing
