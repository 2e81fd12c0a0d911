// The product's folders under Wine: one shared folder for the shared files,
// "%SharedDir%" and the registration, made before the files and removed when
// it stays empty; a portable product's below its installation folder on its
// removable drive; and the folders outside the installation folder that a
// reinstallation keeps in the record.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "format/file_record.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace kind = format::destination_kind;

constexpr char kUninstallKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr char kUninstallFolder[] = "/Program Files/Palisade Test Product/uninstall";

// The shared folder's variable is stored beside `SharedPath`.
InstallerRecipe Product() {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.registrationValues = {{"SharedDirVariable", 1, "%SharedDir%"}};
  recipe.files = {{"app.txt", "app"}};
  return recipe;
}

TestFile SharedFile(const std::string& name, std::u16string destinationOverride = u"") {
  return {name, "shared " + name, {}, 0xFFFFFFFF, kind::kSharedFolder, 0, std::move(destinationOverride)};
}

class ProductFolders : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = std::make_unique<WinePrefix>(); }

  RunResult Install(const InstallerRecipe& recipe, const std::vector<std::string>& options = {"/silent"}) {
    std::filesystem::create_directories(prefix_->DriveC() + "/cases");
    WriteBytes(prefix_->DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    std::vector<std::string> command = {"C:\\cases\\setup.exe"};
    command.insert(command.end(), options.begin(), options.end());
    return prefix_->Run(command);
  }

  std::string Key() { return prefix_->Run({"reg", "query", kUninstallKey}).out; }
  std::string Log() { return ReadFile(prefix_->DriveC() + kUninstallFolder + "/Install.log"); }
  std::string Record() { return ReadFile(prefix_->DriveC() + kUninstallFolder + "/Uninstall.DAT"); }

  std::unique_ptr<WinePrefix> prefix_;
};

// The folder made for the shared files is the product's once a file goes
// there.
TEST_F(ProductFolders, SharedFilesTheVariableAndTheRegistrationNameOneFolder) {
  InstallerRecipe recipe = Product();
  recipe.files.push_back(SharedFile("lib.dll"));
  Install(recipe);
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/Program Files/Common Files/Palisade Tests/lib.dll"), "shared lib.dll");
  std::string key = Key();
  for (const char* value : {"SharedPath    REG_SZ    C:\\Program Files\\Common Files\\Palisade Tests\r\n",
                            "SharedDirVariable    REG_SZ    C:\\Program Files\\Common Files\\Palisade Tests\r\n"}) {
    EXPECT_NE(key.find(value), std::string::npos) << value << key;
  }
  EXPECT_NE(Record().find("~C:\\Program Files\\Common Files\\Palisade Tests\r\n"), std::string::npos) << Record();
}

TEST_F(ProductFolders, SharedFolderThatCannotBeMadeIsLoggedBeforeTheFiles) {
  WriteBytes(prefix_->DriveC() + "/taken", Bytes{'x'});
  InstallerRecipe recipe = Product();
  recipe.script.sharedPath = "C:\\taken";
  Install(recipe);
  std::string log = Log();
  EXPECT_NE(log.find("Failed to create shared folder \"C:\\taken\": Cannot create directory because there is a file "
                     "with the same name.\r\n"),
            std::string::npos)
      << log;
}

// The shell's own files in it do not count.
TEST_F(ProductFolders, SharedFolderLeftEmptyIsRemovedAtTheEnd) {
  std::string shared = prefix_->DriveC() + "/Acme Shared";
  std::filesystem::create_directories(shared);
  WriteBytes(shared + "/thumbs.db", Bytes{'t'});
  WriteBytes(shared + "/desktop.ini", Bytes{'d'});
  InstallerRecipe recipe = Product();
  recipe.script.sharedPath = "C:\\Acme Shared";
  Install(recipe);
  EXPECT_TRUE(FileExists(prefix_->DriveC() + kUninstallFolder + "/Uninstall.DAT"));
  EXPECT_FALSE(FileExists(shared));
}

// Its shared files go with the product: below the installation folder, and
// recorded for removal rather than counted with other products'. An
// override that would lead elsewhere is dropped.
TEST_F(ProductFolders, PortableProductKeepsItsSharedFilesOnItsDrive) {
  std::string drive = prefix_->MakeRemovableDrive('e');
  InstallerRecipe recipe = Product();
  recipe.script.portableSharedFolder = "Shared";
  recipe.files.push_back(SharedFile("lib.dll"));
  recipe.files.push_back(SharedFile("away.dll", u"C:\\Outside\\"));
  recipe.files.push_back(SharedFile("deep.dll", u"sub\\"));
  Install(recipe, {"/silent", "/d:E:\\Acme"});
  EXPECT_EQ(ReadFile(drive + "/Acme/Shared/lib.dll"), "shared lib.dll");
  EXPECT_EQ(ReadFile(drive + "/Acme/Shared/away.dll"), "shared away.dll");
  EXPECT_EQ(ReadFile(drive + "/Acme/Shared/sub/deep.dll"), "shared deep.dll");
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Outside"));
  std::string key = Key();
  for (const char* value : {"SharedPath    REG_SZ    E:\\Acme\\Shared\r\n", "SharedDirVariable    REG_SZ    E:\\Acme\\Shared\r\n"}) {
    EXPECT_NE(key.find(value), std::string::npos) << value << key;
  }
  std::string record = ReadFile(drive + "/Acme/uninstall/Uninstall.DAT");
  EXPECT_NE(record.find("E:\\Acme\\Shared\\lib.dll\r\n"), std::string::npos) << record;
}

// The second installation makes none of the folders; it knows the product's
// own from the record it replaces. A folder that was there before the first
// installation is never the product's.
TEST_F(ProductFolders, ReinstallationKeepsTheFoldersOutsideThatTheProductMade) {
  std::filesystem::create_directories(prefix_->DriveC() + "/Existing");
  InstallerRecipe recipe = Product();
  recipe.files.push_back({"data.txt", "data", {}, 0xFFFFFFFF, kind::kInstallFolder, 0, u"C:\\Acme Data\\sub\\"});
  recipe.files.push_back({"kept.txt", "kept", {}, 0xFFFFFFFF, kind::kInstallFolder, 0, u"C:\\Existing\\"});
  Install(recipe);
  Install(recipe);
  std::string record = Record();
  EXPECT_NE(record.find("~C:\\Acme Data\r\n"), std::string::npos) << record;
  EXPECT_NE(record.find("~C:\\Acme Data\\sub\r\n"), std::string::npos) << record;
  EXPECT_EQ(record.find("~C:\\Existing"), std::string::npos) << record;

  RunResult uninstall = prefix_->Run({"C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe",
                                      "/u:\"Palisade Test Product\"", "/silent"});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Acme Data"));
  EXPECT_TRUE(FileExists(prefix_->DriveC() + "/Existing"));
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Existing/kept.txt"));
}

}  // namespace
}  // namespace palisade::testing
