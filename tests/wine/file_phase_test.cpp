// The file phase under Wine: files land in their folders with their bytes,
// times and attributes, the overwrite rules hold for files already there,
// and names that would leave the installation folder are refused.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <set>

#include "format/file_record.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace mode = format::overwrite_mode;

constexpr uint32_t kReadOnly = 0x1;  // the system's file attribute bits
constexpr uint32_t kHidden = 0x2;
constexpr char kInstallFolder[] = "/Program Files/Palisade Test Product";
const format::TimeStamp kStamp = {2024, 2, 29, 13, 14, 15};
constexpr int64_t kStampUnixTime = 1709212455;  // 2024-02-29 13:14:15 UTC

class FilePhase : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = std::make_unique<WinePrefix>(); }

  std::string Installed(const std::string& relative) { return prefix_->DriveC() + kInstallFolder + "/" + relative; }

  RunResult InstallSilently(const InstallerRecipe& recipe) {
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
    WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    return prefix_->Run({"C:\\cases\\setup.exe", "/silent"}, 60, {kDebugOutput});
  }

  // The attribute letters that the system's own "attrib" shows for a file.
  std::string Attributes(const std::string& windowsPath) {
    std::string out = prefix_->Run({"cmd", "/c", "attrib", windowsPath}).out;
    return out.substr(0, out.find(':') > 2 ? out.find(':') - 2 : 0);
  }

  std::unique_ptr<WinePrefix> prefix_;
};

TEST_F(FilePhase, FilesLandWithTheirBytesTimesAndAttributes) {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  TestFile readOnly{"docs\\read-only.txt", "cannot touch this", kStamp, kReadOnly};
  TestFile hidden{"hidden.dat", "not shown", kStamp, kHidden};
  recipe.files = {{"readme.txt", "hello", kStamp},
                  {"bin\\deep\\er\\tool.bin", std::string(70000, '\x7F'), kStamp},
                  {"|Lisez-moi \xE2\x80\x93 caf\xC3\xA9.txt", "accents", kStamp},
                  {"empty.txt", ""},
                  readOnly,
                  hidden};
  recipe.chunkSize = 4096;
  RunResult run = InstallSilently(recipe);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.find("Error code"), std::string::npos) << run.err;

  EXPECT_EQ(ReadFile(Installed("readme.txt")), "hello");
  EXPECT_EQ(ReadFile(Installed("bin/deep/er/tool.bin")), std::string(70000, '\x7F'));
  EXPECT_EQ(ReadFile(Installed("Lisez-moi \xE2\x80\x93 caf\xC3\xA9.txt")), "accents");
  EXPECT_TRUE(FileExists(Installed("empty.txt")));
  EXPECT_EQ(ReadFile(Installed("empty.txt")), "");
  struct stat facts {};
  ASSERT_EQ(stat(Installed("readme.txt").c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mtime, kStampUnixTime);
  EXPECT_NE(Attributes("C:\\Program Files\\Palisade Test Product\\docs\\read-only.txt").find('R'), std::string::npos);
  EXPECT_NE(Attributes("C:\\Program Files\\Palisade Test Product\\hidden.dat").find('H'), std::string::npos);
  EXPECT_EQ(Attributes("C:\\Program Files\\Palisade Test Product\\readme.txt").find('R'), std::string::npos);
}

// Files of 8 MiB and more wait for the writer in a spool file that the
// system deletes; the written file is read back against it when asked.
TEST_F(FilePhase, LargeFileLandsWholeAndLeavesNoSpoolBehind) {
  std::string large(9 << 20, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 2654435761u >> 24);
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.productFlagsLow |= format::product_flags_low::kVerifyWrittenFiles;
  recipe.files = {{"data\\large.bin", large, kStamp}, {"after.txt", "after", kStamp}};
  const std::string temp = prefix_->DriveC() + "/users";
  auto filesBelow = [](const std::string& folder) {
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      if (entry.is_regular_file()) found.insert(entry.path().string());
    }
    return found;
  };
  const std::set<std::string> before = filesBelow(temp);
  RunResult run = InstallSilently(recipe);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.find("Error code"), std::string::npos) << run.err;
  EXPECT_TRUE(ReadFile(Installed("data/large.bin")) == large);
  EXPECT_EQ(ReadFile(Installed("after.txt")), "after");
  std::set<std::string> added;
  for (const std::string& path : filesBelow(temp)) {
    if (!before.count(path)) added.insert(path);
  }
  EXPECT_TRUE(added.empty()) << *added.begin();
}

TEST_F(FilePhase, OverwriteModesMeetFilesAlreadyThere) {
  std::filesystem::create_directories(Installed(""));
  for (const char* name : {"always.txt", "never.txt", "if-exists.txt", "if-missing.txt"}) {
    WriteBytes(Installed(name), Bytes{'o', 'l', 'd'});
  }
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.files = {
      {"always.txt", "new", kStamp, 0xFFFFFFFF, 0, mode::kAlways},
      {"never.txt", "new", kStamp, 0xFFFFFFFF, 0, mode::kNever},
      {"if-exists.txt", "new", kStamp, 0xFFFFFFFF, 0, mode::kIfExists},
      {"if-exists-missing.txt", "new", kStamp, 0xFFFFFFFF, 0, mode::kIfExists},
      {"if-missing.txt", "new", kStamp, 0xFFFFFFFF, 0, mode::kIfMissing},
      {"if-missing-new.txt", "new", kStamp, 0xFFFFFFFF, 0, mode::kIfMissing},
  };
  InstallSilently(recipe);
  EXPECT_EQ(ReadFile(Installed("always.txt")), "new");
  EXPECT_EQ(ReadFile(Installed("never.txt")), "old");
  EXPECT_EQ(ReadFile(Installed("if-exists.txt")), "new");
  EXPECT_FALSE(FileExists(Installed("if-exists-missing.txt")));
  EXPECT_EQ(ReadFile(Installed("if-missing.txt")), "old");
  EXPECT_EQ(ReadFile(Installed("if-missing-new.txt")), "new");
}

TEST_F(FilePhase, NamesThatWouldLeaveTheFolderAreRefusedAndTheRestInstalled) {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.files = {{"..\\..\\escaped.txt", "bad"},
                  {"good.txt", "good"},
                  {"renamed.txt", "bad", {}, 0xFFFFFFFF, 0, 0, u"..\\..\\escaped-too.txt"}};
  RunResult run = InstallSilently(recipe);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFile(Installed("good.txt")), "good");
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/escaped.txt"));
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/escaped-too.txt"));
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Program Files/escaped-too.txt"));
}

TEST_F(FilePhase, FolderTakenByAFileSkipsOnlyTheFilesBelowIt) {
  std::filesystem::create_directories(Installed(""));
  WriteBytes(Installed("data"), Bytes{'x'});
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.files = {{"data\\inside.txt", "blocked"}, {"other.txt", "fine"}};
  RunResult run = InstallSilently(recipe);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadFile(Installed("data")), "x");
  EXPECT_EQ(ReadFile(Installed("other.txt")), "fine");
}

struct VersionCase {
  const char* name;     // of the copy of the versioned DLL already in place
  const char* version;  // the record's version text
  const char* logged;   // after the file's path
  bool replaced;
};

// The DLL in place says " 2,5,0,7 " in its version resource, which reads
// as 2.5.0.7; the records are dated far ahead, so the version decides.
TEST_F(FilePhase, VersionCheckedFileMeetsTheVersionResourceOfTheFileInPlace) {
  const VersionCase cases[] = {
      {"older.dll", "2.4", " was not installed because its version (2.4) is not newer than 2.5.0.7\r\n", false},
      {"same.dll", "2.5.0.7", " was not installed because its version (2.5.0.7) is not newer than 2.5.0.7\r\n", false},
      {"newer.dll", "2.5.0.10",
       " needs replacement because its version (2.5.0.10) is newer than 2.5.0.7 and its date (2099/01/02 03:04:05) is "
       "newer than ",
       true},
  };
  std::filesystem::create_directories(Installed("lib"));
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.productFlagsLow |= format::product_flags_low::kKeepInstallLog;
  for (const VersionCase& c : cases) {
    CopyFile(WindowsTestProgram("versioned.dll"), Installed(std::string("lib/") + c.name));
    recipe.files.push_back({std::string("lib\\") + c.name, "new contents", {2099, 1, 2, 3, 4, 5}, 0xFFFFFFFF,
                            format::destination_kind::kVersionChecked, mode::kAlways, u"", c.version});
  }
  InstallSilently(recipe);
  std::string log = ReadFile(Installed("Install.log"));
  std::string original = ReadFile(WindowsTestProgram("versioned.dll"));
  for (const VersionCase& c : cases) {
    std::string path = std::string("C:\\Program Files\\Palisade Test Product\\lib\\") + c.name;
    EXPECT_NE(log.find(path + c.logged), std::string::npos) << c.name << "\n" << log;
    EXPECT_EQ(ReadFile(Installed(std::string("lib/") + c.name)), c.replaced ? "new contents" : original) << c.name;
  }
}

TEST_F(FilePhase, FileInUseIsReplacedAtTheNextRestart) {
  std::filesystem::create_directories(Installed(""));
  WriteBytes(Installed("busy.dll"), Bytes{'o', 'l', 'd'});
  Started holder = prefix_->Start({WindowsTestProgram("engine_probe.exe"), "hold-file",
                                   "C:\\Program Files\\Palisade Test Product\\busy.dll"});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Probe"}).exitCode, 0);
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.productFlagsLow |= format::product_flags_low::kKeepInstallLog;
  // The restart that the run then asks for is declined: a restart would
  // put the file in place at once.
  recipe.script.productFlagsHigh |= format::product_flags_high::kAskRestartInAutomaticMode;
  recipe.script.messages[20][0] = u"Acme Restart";
  recipe.files = {{"busy.dll", "new contents", kStamp}};
  std::filesystem::create_directories(prefix_->DriveC() + "/cases");
  WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
  Started run = prefix_->Start({"C:\\cases\\setup.exe", "/a"});
  EXPECT_EQ(prefix_->WindowHelper({"press", "7", "--caption", "Acme Restart"}).exitCode, 0);
  prefix_->Wait(run);
  prefix_->WindowHelper({"press", "1", "--caption", "Probe"});
  prefix_->Wait(holder);

  EXPECT_EQ(ReadFile(Installed("busy.dll")), "old");
  std::string log = ReadFile(Installed("Install.log"));
  EXPECT_NE(log.find("\"C:\\Program Files\\Palisade Test Product\\busy.dll\" was successfully registered for "
                     "replacement.\r\nTemporary file is \"C:\\Program Files\\Palisade Test Product\\TST"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("FAILURE SUMMARY"), std::string::npos) << log;
  std::string pending =
      prefix_->Run({"reg", "query", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "/v",
                    "PendingFileRenameOperations"})
          .out;
  EXPECT_NE(pending.find("Palisade Test Product\\busy.dll"), std::string::npos) << pending;
}

}  // namespace
}  // namespace palisade::testing
