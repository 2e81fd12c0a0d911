// Batch files under Wine: each runs at its moment of the installation or
// the uninstallation, sees the installation variables, and has its output
// copied into the log when the product asks; one that cannot run is logged
// and the run goes on.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kOrderFile[] = "C:\\batches\\order.txt";
constexpr char kUninstaller[] = "C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";

// A batch line that appends `text` to the order file.
std::string Note(const std::string& text) { return "echo " + text + ">>" + kOrderFile + "\r\n"; }

// Notes whether the file exists, by the variable that names its folder.
std::string NoteWhether(const std::string& moment, const std::string& file) {
  return "set SEEN=no\r\nif exist \"" + file + "\" set SEEN=yes\r\n" + Note(moment + " " + "%SEEN%");
}

InstallerRecipe BatchProduct() {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", "app"}};
  std::array<std::string, format::kBatchCount>& batches = recipe.script.batches;
  batches[format::kPreInstallBatch] = NoteWhether("pre-install app", "%InstallDir%\\app.txt");
  batches[format::kPostInstallBatch] = NoteWhether("post-install record", "%UninstallDir%\\Uninstall.DAT");
  batches[format::kExitBatch] = Note("exit");
  batches[format::kUninstallBatch1] = NoteWhether("uninstall-before app", "%InstallDir%\\app.txt");
  batches[format::kUninstallBatch2] = NoteWhether("uninstall-after app", "%InstallDir%\\app.txt");
  return recipe;
}

class Batches : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = std::make_unique<WinePrefix>();
    std::filesystem::create_directories(prefix_->DriveC() + "/batches");
  }

  RunResult Install(const InstallerRecipe& recipe, const std::vector<std::string>& options = {"/silent"}) {
    return RunInstaller(*prefix_, recipe, options);
  }
  RunResult Uninstall() { return prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}, 90); }

  std::string Order() { return ReadFile(prefix_->DriveC() + "/batches/order.txt"); }
  std::string InProduct(const std::string& relative) {
    return prefix_->DriveC() + "/Program Files/Palisade Test Product/" + relative;
  }
  std::string Log() { return ReadFile(InProduct("uninstall/Install.log")); }

  std::unique_ptr<WinePrefix> prefix_;
};

TEST_F(Batches, EachRunsAtItsMoment) {
  ASSERT_EQ(Install(BatchProduct()).exitCode, 1);
  EXPECT_EQ(Order(),
            "pre-install app no\r\n"
            "post-install record yes\r\n"
            "exit\r\n");
  EXPECT_TRUE(FileExists(InProduct("app.txt")));
  EXPECT_FALSE(FileExists(InProduct("SETUPBAT.BAT")));
  RunResult uninstall = Uninstall();
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_EQ(Order(),
            "pre-install app no\r\n"
            "post-install record yes\r\n"
            "exit\r\n"
            "uninstall-before app yes\r\n"
            "uninstall-after app no\r\n");
}

TEST_F(Batches, CommandLineAdditionsRunAfterTheScriptsCommands) {
  InstallerRecipe recipe = BatchProduct();
  recipe.script.batches[format::kPostInstallBatch] = Note("post");
  recipe.script.batches[format::kExitBatch].clear();
  ASSERT_EQ(Install(recipe, {"/silent", "/b1:\"echo added>>C:\\batches\\order.txt~~echo `quoted`>>C:\\batches\\order.txt\"",
                             "/b2:\"echo post added>>C:\\batches\\order.txt\"",
                             "/b3:\"echo exit added>>C:\\batches\\order.txt\""})
                .exitCode,
            1);
  EXPECT_EQ(Order(),
            "pre-install app no\r\n"
            "added\r\n"
            "\"quoted\"\r\n"
            "post\r\n"
            "post added\r\n"
            "exit added\r\n");
}

TEST_F(Batches, SeeTheInstallationVariables) {
  InstallerRecipe recipe = BatchProduct();
  recipe.script.displayVersion = "2.5";
  recipe.script.batches = {};
  recipe.script.batches[format::kPreInstallBatch] =
      "echo %ProductName%^|%Version%^|%InstallDir%^|%InstallDrive%^|%Portable%^|%OldVersion%>C:\\batches\\seen.txt";
  ASSERT_EQ(Install(recipe).exitCode, 1);
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/batches/seen.txt"),
            "Palisade Test Product|2.5|C:\\Program Files\\Palisade Test Product|C:|0|\r\n");
}

// Wine's interpreter reads every batch in the OEM code page whatever the
// code-page line says, so the file itself is what shows the encoding.
TEST_F(Batches, WrittenInUtf8FromWindows7OnAndIn1252Before) {
  struct VersionCase {
    const char* setting;  // Wine's version setting; empty: the prefix's default, Windows 7
    const char* head;
  };
  const VersionCase cases[] = {
      {"", "@chcp 65001 >nul\r\n@echo off\r\nSET \"InstallDir=C:\\Program Files\\Caf\xC3\xA9 Notes\"\r\n"},
      {"vista", "@chcp 1252 >nul\r\n@echo off\r\nSET \"InstallDir=C:\\Program Files\\Caf\xE9 Notes\"\r\n"},
  };
  for (const VersionCase& c : cases) {
    if (*c.setting) prefix_->Run({"reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", c.setting, "/f"});
    InstallerRecipe recipe = BatchProduct();
    recipe.script.productName = "Caf\xC3\xA9 Notes";
    recipe.script.batches = {};
    recipe.script.batches[format::kPreInstallBatch] = "copy \"%~f0\" C:\\batches\\copy.bat";
    ASSERT_EQ(Install(recipe).exitCode, 1);
    std::string copy = ReadFile(prefix_->DriveC() + "/batches/copy.bat");
    EXPECT_EQ(copy.substr(0, std::string(c.head).size()), c.head) << c.setting;
  }
}

TEST_F(Batches, OutputGoesIntoTheLogWhenTheProductAsks) {
  InstallerRecipe recipe = BatchProduct();
  recipe.script.batches[format::kPreInstallBatch] = "echo Hello from the batch\r\necho.\r\n";
  recipe.script.batches[format::kPostInstallBatch] = "echo Not captured\r\n";
  recipe.productFlags2 |= format::product_flags2::kCapturePreInstallBatch;
  ASSERT_EQ(Install(recipe).exitCode, 1);
  std::string log = Log();
  EXPECT_NE(log.find("\r\nRunning Pre-Installation Batch...\r\nHello from the batch\r\n\r\n"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("Not captured"), std::string::npos) << log;
  EXPECT_EQ(log.find("Post-Installation Batch"), std::string::npos) << log;
  EXPECT_FALSE(FileExists(InProduct("cs_batch.log")));
}

// A quote in the product name cannot end the quoting of its SET line and
// leave the rest of the name to run as a command; nor can a fullwidth quote
// in a batch written in code page 1252 (Windows Vista), which has no such
// character and must not turn it into a plain quote.
TEST_F(Batches, AQuoteInTheProductNameStaysInTheValue) {
  struct QuoteCase {
    const char* name;
    const char* setting;  // Wine's version setting; empty: the prefix's default, Windows 7
    std::string productName;
    std::string seen;
  };
  const QuoteCase cases[] = {
      {"quote", "", "Acme\" & set INJECTED=yes & \"", "Acme\" & set INJECTED=yes & \""},
      {"fullwidth quote in code page 1252", "vista", "Acme\xEF\xBC\x82 & set INJECTED=yes & \xEF\xBC\x82",
       "Acme? & set INJECTED=yes & ?"},
  };
  for (const QuoteCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    if (*c.setting) prefix_->Run({"reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", c.setting, "/f"});
    InstallerRecipe recipe = BatchProduct();
    recipe.script.productName = c.productName;
    recipe.script.batches = {};
    recipe.script.batches[format::kPreInstallBatch] =
        "set ProductName>C:\\batches\\seen.txt\r\nif defined INJECTED echo yes>C:\\batches\\injected.txt\r\n";
    // The default folder would take the name, which no folder can hold.
    ASSERT_EQ(Install(recipe, {"/silent", "/d:C:\\Quoted"}).exitCode, 1);
    EXPECT_EQ(ReadFile(prefix_->DriveC() + "/batches/seen.txt"), "ProductName=" + c.seen + "\r\n");
    EXPECT_FALSE(FileExists(prefix_->DriveC() + "/batches/injected.txt"));
  }
}

// The batch's own folder cannot be made when the temporary folder is
// missing.
TEST_F(Batches, OneThatCannotBeWrittenIsLoggedAndTheRunGoesOn) {
  for (const char* name : {"TEMP", "TMP"}) {
    prefix_->Run({"reg", "add", "HKCU\\Environment", "/v", name, "/d", "C:\\missing", "/f"});
  }
  InstallerRecipe recipe = BatchProduct();
  recipe.productFlags2 |= format::product_flags2::kCapturePostInstallBatch;
  ASSERT_EQ(Install(recipe).exitCode, 1);
  EXPECT_TRUE(FileExists(InProduct("app.txt")));
  std::string log = Log();
  EXPECT_NE(log.find("\r\nRunning Post-Installation Batch...\r\n"
                     "Unable to create batch file \"C:\\missing\\SETUPBAT.BAT\".\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(Order(), "") << "no batch could run";
}

// A bare command in a batch is found along the search path only: a program
// of that name in the installation folder, where the batches used to run,
// is not started, nor one in the temporary folder (where they ran when the
// installation folder was missing) or beside the installer.
TEST_F(Batches, BareCommandsNeverMeetAProgramPlantedBesideThem) {
  struct PlantCase {
    const char* name;
    std::string where;  // below drive C:
    format::BatchIndex batch;
  };
  const PlantCase cases[] = {
      {"installation folder", "Program Files/Palisade Test Product", format::kPreInstallBatch},
      {"temporary folder", "users/" + UserName() + "/Temp", format::kUninstallBatch2},
      {"installer's folder", "cases", format::kPostInstallBatch},
  };
  for (const PlantCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    std::filesystem::create_directories(prefix_->DriveC() + "/" + c.where);
    CopyFile(WindowsTestProgram("planted_program.exe"), prefix_->DriveC() + "/" + c.where + "/reg.exe");
    InstallerRecipe recipe = BatchProduct();
    recipe.script.batches = {};
    recipe.script.batches[c.batch] = "reg add HKCU\\Software\\PalisadeBatch /v Seen /d yes /f\r\n";
    ASSERT_EQ(Install(recipe).exitCode, 1);
    if (c.batch == format::kUninstallBatch2) {
      RunResult uninstall = Uninstall();
      EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
    }
    EXPECT_FALSE(FileExists(prefix_->DriveC() + "/planted/reg.exe.txt"))
        << ReadFile(prefix_->DriveC() + "/planted/reg.exe.txt");
    EXPECT_EQ(prefix_->Run({"reg", "query", "HKCU\\Software\\PalisadeBatch", "/v", "Seen"}).exitCode, 0)
        << "the system's reg did not run";
  }
}

}  // namespace
}  // namespace palisade::testing
