// The installation folder under Wine: a link on its way or a folder that
// another account owns stops the installation before anything is made; a
// folder made below a drive root is the administrators' alone; the earlier
// installation's own folder and a product that gives its folder to everyone
// work as before.
//
// Wine 8 makes no junctions from Windows programs and keeps no owners or
// access lists of its own: a Linux symbolic link to a folder stands for a
// junction, the Linux owner of a file stands for its owner (one that is not
// the user running Wine reads as the anonymous account), and an access list
// is kept as the Unix mode, read back as entries for SYSTEM, the owner and
// Everyone.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "format/file_record.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr uid_t kNobody = 65534;

InstallerRecipe Product(const std::string& contents = "app") {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", contents}};
  return recipe;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    names.push_back(std::filesystem::relative(entry.path(), folder).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The entries of an access list in the system's text form: "(A;OICI;FA;;;SY)"
// gives {"A", "OICI", "FA", "SY"}.
struct AccessEntry {
  std::string type, flags, rights, who;
};
std::vector<AccessEntry> Entries(const std::string& descriptor) {
  std::vector<AccessEntry> entries;
  std::regex entry(R"(\(([^;]*);([^;]*);([^;]*);[^;]*;[^;]*;([^)]*)\))");
  for (std::sregex_iterator it(descriptor.begin(), descriptor.end(), entry), end; it != end; ++it) {
    entries.push_back({(*it)[1], (*it)[2], (*it)[3], (*it)[4]});
  }
  return entries;
}

class InstallFolder : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(prefix_.DriveC() + "/cases"); }

  RunResult Install(const InstallerRecipe& recipe, const std::string& folder) {
    WriteBytes(prefix_.DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    return prefix_.Run({"C:\\cases\\setup.exe", "/silent", "/d:" + folder});
  }

  bool KeyExists() { return prefix_.Run({"reg", "query", kKey, EngineRegistryView()}).exitCode == 0; }

  std::string AccessList(const std::string& path) {
    RunResult read = prefix_.Run({WindowsTestProgram("acl.exe"), path});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    return read.out;
  }

  void MakeVictim() {
    std::filesystem::create_directories(prefix_.DriveC() + "/victim");
    std::string text = "another vendor's";
    WriteBytes(prefix_.DriveC() + "/victim/service.txt", Bytes(text.begin(), text.end()));
  }

  WinePrefix prefix_;
};

TEST_F(InstallFolder, LinkOnTheWayIsRefusedAndWhatItPointsAtStaysAsItWas) {
  struct Case {
    const char* name;
    const char* folder;
    const char* link;  // below drive_c, pointing at the victim's folder
    const char* stepInText;
  };
  const Case cases[] = {
      {"the folder itself", "C:\\Acme", "Acme", "C:\\Acme"},
      {"a folder on the way", "C:\\Acme\\App", "Acme", "C:\\Acme"},
      {"deeper, below the program files", "C:\\Program Files\\Acme\\App", "Program Files/Acme",
       "C:\\Program Files\\Acme"},
  };
  MakeVictim();
  for (const Case& c : cases) {
    std::string link = prefix_.DriveC() + "/" + c.link;
    std::filesystem::create_directory_symlink(prefix_.DriveC() + "/victim", link);
    RunResult run = Install(Product(), c.folder);
    EXPECT_EQ(run.exitCode, 1) << c.name;
    std::string text = std::string("Installation path \"") + c.folder + "\" leads through the link \"" + c.stepInText +
                       "\".";
    EXPECT_NE(run.err.find(text), std::string::npos) << c.name << "\n" << run.err;
    EXPECT_EQ(Listing(prefix_.DriveC() + "/victim"), std::vector<std::string>{"service.txt"}) << c.name;
    EXPECT_EQ(ReadFile(prefix_.DriveC() + "/victim/service.txt"), "another vendor's") << c.name;
    EXPECT_FALSE(KeyExists()) << c.name;
    std::filesystem::remove(link);
  }
}

// The shared folder is made, not checked before the run: a link on its
// way fails the making, and the shared files with it.
TEST_F(InstallFolder, LinkOnTheWayToTheSharedFolderIsNotFollowed) {
  MakeVictim();
  std::filesystem::create_directory_symlink(prefix_.DriveC() + "/victim", prefix_.DriveC() + "/Acme Shared");
  InstallerRecipe recipe = Product();
  recipe.script.sharedPath = "C:\\Acme Shared\\Lib";
  recipe.files.push_back({"lib.dll", "shared", {}, 0xFFFFFFFF, format::destination_kind::kSharedFolder});
  Install(recipe, "C:\\Program Files\\Acme");
  EXPECT_EQ(Listing(prefix_.DriveC() + "/victim"), std::vector<std::string>{"service.txt"});
  std::string log = ReadFile(prefix_.DriveC() + "/Program Files/Acme/uninstall/Install.log");
  EXPECT_NE(log.find("Failed to create shared folder \"C:\\Acme Shared\\Lib\": Cannot create directory because "
                     "\"C:\\Acme Shared\" is a link to another place.\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(ReadFile(prefix_.DriveC() + "/Program Files/Acme/app.txt"), "app") << "the rest is installed";
}

TEST_F(InstallFolder, FolderOwnedByAnotherAccountIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another Linux user needs root";
  struct Case {
    const char* name;
    const char* folder;
    const char* ownedStep;
  };
  const Case cases[] = {
      {"the folder itself", "C:\\Acme", "C:\\Acme"},
      {"the folder it would be made in", "C:\\Acme\\App", "C:\\Acme"},
      {"an administrator's folder inside another's", "C:\\Acme\\Kept\\App", "C:\\Acme"},
  };
  std::string acme = prefix_.DriveC() + "/Acme";
  std::filesystem::create_directories(acme + "/Kept");
  ASSERT_EQ(chown(acme.c_str(), kNobody, kNobody), 0);
  for (const Case& c : cases) {
    RunResult run = Install(Product(), c.folder);
    EXPECT_EQ(run.exitCode, 1) << c.name;
    std::regex refusal("Installation path \"" + std::regex_replace(c.folder, std::regex(R"(\\)"), R"(\\)") +
                       "\": \"" + std::regex_replace(c.ownedStep, std::regex(R"(\\)"), R"(\\)") +
                       "\" belongs to [^\r\n]+, not to an administrator\\.");
    EXPECT_TRUE(std::regex_search(run.err, refusal)) << c.name << "\n" << run.err;
    EXPECT_EQ(Listing(acme), std::vector<std::string>{"Kept"}) << c.name;
    EXPECT_FALSE(KeyExists()) << c.name;
  }
}

// The product's own registration names the folder; only an administrator
// could have written it, so the folder is taken whoever owns it now.
TEST_F(InstallFolder, EarlierInstallationsOwnFolderIsTakenWhoeverOwnsIt) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another Linux user needs root";
  Install(Product("first"), "C:\\Acme");
  ASSERT_EQ(ReadFile(prefix_.DriveC() + "/Acme/app.txt"), "first");
  std::string acme = prefix_.DriveC() + "/Acme";
  ASSERT_EQ(chown(acme.c_str(), kNobody, kNobody), 0);
  RunResult again = Install(Product("second"), "C:\\Acme");
  EXPECT_EQ(ReadFile(acme + "/app.txt"), "second") << again.err;
  EXPECT_TRUE(KeyExists());
}

// An inherited list would give Everyone read access here (the Unix mode
// of a new folder), and on Windows Authenticated Users the right to write.
// Wine passes nothing on to what is made inside ("uninstall"), so only the
// folders made on the way are read back; the entries that Windows passes
// on are those of ProgramFolderDescriptor's test.
TEST_F(InstallFolder, FoldersMadeBelowADriveRootAreTheAdministratorsAlone) {
  Install(Product(), "C:\\Acme\\App");
  ASSERT_EQ(ReadFile(prefix_.DriveC() + "/Acme/App/app.txt"), "app");
  for (const char* folder : {"C:\\Acme", "C:\\Acme\\App"}) {
    std::string list = AccessList(folder);
    for (const AccessEntry& entry : Entries(list)) {
      if (entry.type != "A") continue;
      EXPECT_NE(entry.who, "WD") << folder << ": " << list;
      if (entry.who == "BU" || entry.who == "AU") {
        EXPECT_TRUE(entry.rights == "FR" || entry.rights == "0x1200a9") << folder << ": " << list;
      }
    }
  }
}

// No other user can enter the installing user's profile, and a product
// that the user runs must still be able to write its folder there.
TEST_F(InstallFolder, FolderMadeInTheUsersOwnProfileKeepsWhatItInherits) {
  std::string folder = "C:\\users\\" + UserName() + "\\Acme";
  Install(Product(), folder);
  ASSERT_EQ(ReadFile(prefix_.DriveC() + "/users/" + UserName() + "/Acme/app.txt"), "app");
  std::string list = AccessList(folder);
  std::vector<AccessEntry> entries = Entries(list);
  EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const AccessEntry& entry) { return entry.who == "WD"; }))
      << "the Unix mode of a new folder, as Wine reads it: " << list;
}

TEST_F(InstallFolder, EveryoneFullAccessStillGivesTheFolderToEveryone) {
  InstallerRecipe recipe = Product();
  recipe.script.productFlagsHigh |= format::product_flags_high::kEveryoneFullAccess;
  Install(recipe, "C:\\Acme");
  std::string list = AccessList("C:\\Acme");
  std::vector<AccessEntry> entries = Entries(list);
  // Wine reads a folder open to all as everything but the right to change
  // its owner and access list.
  constexpr unsigned long kEverythingWineKeeps = 0x1301ff;
  EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const AccessEntry& entry) {
    unsigned long rights = std::strtoul(entry.rights.c_str(), nullptr, 16);
    bool all = entry.rights == "FA" || (rights & kEverythingWineKeeps) == kEverythingWineKeeps;
    return entry.type == "A" && entry.who == "WD" && all && entry.flags == "OICI";
  })) << list;
  std::string log = ReadFile(prefix_.DriveC() + "/Acme/uninstall/Install.log");
  EXPECT_NE(log.find("Granting rights to directory \"C:\\Acme\"...OK\r\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace palisade::testing
