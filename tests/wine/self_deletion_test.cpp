// The clean-up batch that removes the uninstaller once it has ended, under
// Wine: it lives in a folder of its own that nobody else can write, reads
// every folder name as it is, and removes only folders that are empty.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";
constexpr char kUninstallerName[] = "uninstall\\Uninstall Test.exe";

InstallerRecipe Product() {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", "app"}};
  return recipe;
}

// Waits up to ten seconds for a file that something started without waiting
// writes.
std::string ReadOnceWritten(const std::string& path) {
  std::string text;
  for (int tenth = 0; tenth < 100 && text.empty(); ++tenth) {
    usleep(100000);
    text = ReadFile(path);
  }
  return text;
}

class SelfDeletion : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = std::make_unique<WinePrefix>();
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
  }

  // Installs into `folder`, as Windows names it.
  void Install(const InstallerRecipe& recipe, const std::string& folder) {
    WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    RunResult run = prefix_->Run({"C:\\cases\\setup.exe", "/silent", "/d:" + folder});
    ASSERT_EQ(run.exitCode, 1) << run.err;
  }
  RunResult Uninstall(const std::string& folder, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> command = {folder + "\\" + kUninstallerName, kUninstallSwitch, "/silent"};
    command.insert(command.end(), extra.begin(), extra.end());
    return prefix_->Run(command, 90);
  }
  std::string Temp() { return prefix_->DriveC() + "/users/" + UserName() + "/Temp"; }
  // A copy of the program that notes its runs in C:\planted, placed at
  // `linuxPath`.
  void Plant(const std::string& linuxPath) { CopyFile(WindowsTestProgram("planted_program.exe"), linuxPath); }

  std::unique_ptr<WinePrefix> prefix_;
};

// A "delunins.bat" that someone made beforehand in the temporary folder,
// read-only or not, is neither in the way nor run, nor changed; the run's
// own batch and the folder it made for it are gone afterwards.
struct PlantedBatchCase {
  const char* name;
  bool readOnly;
};

void PrintTo(const PlantedBatchCase& planted, std::ostream* out) { *out << planted.name; }

class SelfDeletionBesideAPlantedBatch : public SelfDeletion, public ::testing::WithParamInterface<PlantedBatchCase> {};

TEST_P(SelfDeletionBesideAPlantedBatch, NeverUsesIt) {
  const std::string planted = "echo ran>C:\\planted\\delunins.txt\r\n";
  std::string batch = Temp() + "/delunins.bat";
  std::filesystem::create_directories(prefix_->DriveC() + "/planted");
  WriteBytes(batch, Bytes(planted.begin(), planted.end()));
  // Wine reads a file that its owner cannot write as read-only.
  if (GetParam().readOnly) std::filesystem::permissions(batch, std::filesystem::perms::owner_write,
                                                        std::filesystem::perm_options::remove);
  ASSERT_NO_FATAL_FAILURE(Install(Product(), "C:\\Product"));
  RunResult run = Uninstall("C:\\Product");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(WaitUntilGone(prefix_->DriveC() + "/Product", 15)) << "the uninstaller and its folders stay";
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/planted/delunins.txt"));
  EXPECT_EQ(ReadFile(batch), planted);
  std::set<std::string> left;
  for (int tenth = 0; tenth < 100; ++tenth) {
    left.clear();
    for (const auto& entry : std::filesystem::directory_iterator(Temp())) left.insert(entry.path().filename());
    if (left.size() <= 1) break;
    usleep(100000);
  }
  EXPECT_EQ(left, std::set<std::string>{"delunins.bat"});
}

const PlantedBatchCase kPlantedBatches[] = {{"ReadOnly", true}, {"WritableHoldingLines", false}};
INSTANTIATE_TEST_SUITE_P(Kinds, SelfDeletionBesideAPlantedBatch, ::testing::ValuesIn(kPlantedBatches),
                         [](const auto& info) { return std::string(info.param.name); });

// Folder names that the command interpreter would read as variables or
// operators reach the batches as they are. (The installer itself expands
// the environment's variables in the folder it is given, so a name here
// holds only what the environment does not define but the interpreter
// does, such as %CD%.)
struct FolderCase {
  const char* testName;
  const char* name;  // below C:
};

void PrintTo(const FolderCase& folder, std::ostream* out) { *out << folder.name; }

class SelfDeletionOfAnAwkwardFolder : public SelfDeletion, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(SelfDeletionOfAnAwkwardFolder, RemovesThatFolderAndNothingElse) {
  const FolderCase& c = GetParam();
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  recipe.script.batches[format::kPostInstallBatch] = "set InstallDir>C:\\cases\\seen.txt\r\n";
  ASSERT_NO_FATAL_FAILURE(Install(recipe, std::string("C:\\") + c.name));
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/cases/seen.txt"), std::string("InstallDir=C:\\") + c.name + "\r\n");
  ASSERT_TRUE(FileExists(prefix_->DriveC() + "/" + c.name + "/app.txt"));
  RunResult run = Uninstall(std::string("C:\\") + c.name);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(WaitUntilGone(prefix_->DriveC() + "/" + c.name, 15)) << "the installation folder stays";
}

const FolderCase kAwkwardFolders[] = {
    {"InterpretersVariable", "Hi %CD%"},
    {"LonePercentSign", "Tools 100%"},
    {"OperatorsAndParentheses", "R&D ^2 (x)"},
    {"ExclamationMarks", "Hi! there!"},
};
INSTANTIATE_TEST_SUITE_P(Names, SelfDeletionOfAnAwkwardFolder, ::testing::ValuesIn(kAwkwardFolders),
                         [](const auto& info) { return std::string(info.param.testName); });

// A product that deletes its folder whole has it emptied by the uninstaller;
// what the next installation writes there right after the uninstaller has
// ended is not the batch's to remove. The program of /r: starts once the
// batch has passed its folder lines.
TEST_F(SelfDeletion, AFileWrittenAfterTheUninstallerEndedStays) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  ASSERT_NO_FATAL_FAILURE(Install(recipe, "C:\\Product"));
  Plant(prefix_->DriveC() + "/cases/next.exe");
  RunResult run = Uninstall("C:\\Product", {"/r:\"C:\\cases\\next.exe --installs\""});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  WriteBytes(prefix_->DriveC() + "/Product/written next.txt", Bytes{'n'});
  EXPECT_NE(ReadOnceWritten(prefix_->DriveC() + "/planted/next.exe.txt"), "") << "the batch never got that far";
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Product/uninstall"));
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Product/app.txt"));
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/Product/written next.txt"), "n");
}

}  // namespace
}  // namespace palisade::testing
