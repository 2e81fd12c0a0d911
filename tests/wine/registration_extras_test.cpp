// What the registration writes besides the uninstall key, when the script
// asks for it, under Wine: the product's icon and `DisplayIcon`, the
// uninstaller's icon as a file and as the stripped uninstaller's own, and
// the registry value that keeps the installation folder for a later
// installation; the uninstaller takes them away again.
#include <gtest/gtest.h>

#include <filesystem>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr char kValueKey[] = "HKLM\\Software\\Palisade Tests";
constexpr char kUninstaller[] = "C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr char kUninstallFolder[] = "/Program Files/Palisade Test Product/uninstall";

// An icon file of one picture whose bytes are `picture`.
Bytes Icon(const std::string& picture) {
  Bytes icon = {0, 0, 1, 0, 1, 0,               // reserved, type icon, one picture
                32, 32, 0, 0, 1, 0, 32, 0};     // 32x32, no palette, reserved, one plane, 32 bits
  uint32_t size = static_cast<uint32_t>(picture.size()), offset = 22;
  for (uint32_t field : {size, offset}) {
    for (int i = 0; i < 4; ++i) icon.push_back(static_cast<uint8_t>(field >> (8 * i)));
  }
  icon.insert(icon.end(), picture.begin(), picture.end());
  return icon;
}

class RegistrationExtras : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(prefix_.DriveC() + "/cases"); }

  RunResult Install(const InstallerRecipe& recipe, const std::vector<std::string>& options = {"/silent"}) {
    WriteBytes(prefix_.DriveC() + "/cases/setup.exe", BuildInstaller(recipe));
    std::vector<std::string> command = {"C:\\cases\\setup.exe"};
    command.insert(command.end(), options.begin(), options.end());
    return prefix_.Run(command);
  }
  RunResult Uninstall() { return prefix_.Run({kUninstaller, "/u:\"Palisade Test Product\"", "/silent"}); }
  std::string Query(const char* key, const char* value) { return prefix_.Run({"reg", "query", key, "/v", value}).out; }

  WinePrefix prefix_;
};

TEST_F(RegistrationExtras, IconsGoBesideTheUninstallerAndIntoItAndLeaveWithIt) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.productFlags2 |= format::product_flags2::kStripPayload;
  recipe.script.productIcon = Icon("PRODUCT-PICTURE");
  recipe.script.uninstallerIcon = Icon("UNINSTALLER-PICTURE-BYTES");
  recipe.files = {{"app.txt", "app"}};
  ASSERT_EQ(Install(recipe).exitCode, 1);

  const std::string folder = prefix_.DriveC() + kUninstallFolder;
  const Bytes& productIcon = recipe.script.productIcon;
  const Bytes& uninstallerIcon = recipe.script.uninstallerIcon;
  EXPECT_EQ(ReadFile(folder + "/product.ico"), std::string(productIcon.begin(), productIcon.end()));
  EXPECT_EQ(ReadFile(folder + "/uninstall.ico"), std::string(uninstallerIcon.begin(), uninstallerIcon.end()));
  EXPECT_NE(Query(kKey, "DisplayIcon").find(
                "REG_SZ    C:\\Program Files\\Palisade Test Product\\uninstall\\product.ico"),
            std::string::npos);
  EXPECT_NE(ReadFile(folder + "/Uninstall Test.exe").find("UNINSTALLER-PICTURE-BYTES"), std::string::npos);
  RunResult group = prefix_.Run({WindowsTestProgram("engine_probe.exe"), "icon-group", kUninstaller});
  EXPECT_EQ(group.out, "result 20\n") << "the group of one picture: a 6-byte head and one 14-byte entry";

  RunResult uninstall = Uninstall();
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_TRUE(WaitUntilGone(prefix_.DriveC() + "/Program Files/Palisade Test Product", 20));
}

TEST_F(RegistrationExtras, WithoutIconsThereIsNoDisplayIcon) {
  InstallerRecipe recipe = ProductWithUninstaller();
  ASSERT_EQ(Install(recipe).exitCode, 1);
  EXPECT_EQ(Query(kKey, "DisplayIcon").find("REG_SZ"), std::string::npos);
  EXPECT_FALSE(FileExists(prefix_.DriveC() + kUninstallFolder + "/product.ico"));
  EXPECT_FALSE(FileExists(prefix_.DriveC() + kUninstallFolder + "/uninstall.ico"));
}

// The value keeps the folder for a later installation, which finds it there
// when the product's registration does not name one.
TEST_F(RegistrationExtras, TheInstallationFolderValueIsWrittenReadAndRemovedWhenAsked) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.installFolderValue = "HKLM\\Software\\Palisade Tests\\Folder";
  recipe.productFlags2 |= format::product_flags2::kRemoveInstallFolderValue;
  recipe.files = {{"app.txt", "first"}};
  ASSERT_EQ(Install(recipe, {"/silent", "/d:C:\\Elsewhere"}).exitCode, 1);
  EXPECT_NE(Query(kValueKey, "Folder").find("REG_SZ    C:\\Elsewhere"), std::string::npos);

  prefix_.Run({"reg", "delete", kKey, "/v", "InstallLocation", "/f"});
  recipe.files = {{"app.txt", "second"}};
  ASSERT_EQ(Install(recipe).exitCode, 1);
  EXPECT_EQ(ReadFile(prefix_.DriveC() + "/Elsewhere/app.txt"), "second");
  EXPECT_FALSE(FileExists(prefix_.DriveC() + "/Program Files/Palisade Test Product"));

  RunResult uninstall = prefix_.Run({"C:\\Elsewhere\\uninstall\\Uninstall Test.exe", "/u:\"Palisade Test Product\"", "/silent"});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_EQ(Query(kValueKey, "Folder").find("REG_SZ"), std::string::npos) << "the value stays";
}

TEST_F(RegistrationExtras, TheInstallationFolderValueStaysUnlessTheUninstallerIsToRemoveIt) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.installFolderValue = "HKLM\\Software\\Palisade Tests\\Folder";
  ASSERT_EQ(Install(recipe).exitCode, 1);
  ASSERT_EQ(Uninstall().exitCode, 0);
  EXPECT_NE(Query(kValueKey, "Folder").find("REG_SZ    C:\\Program Files\\Palisade Test Product"), std::string::npos);
}

}  // namespace
}  // namespace palisade::testing
