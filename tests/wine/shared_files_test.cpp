// Two products sharing files under Wine: the system's count of users goes
// up with each product once, down with each uninstallation, and the last
// one deletes the file, never a permanent one.
#include <gtest/gtest.h>

#include <filesystem>

#include "format/file_record.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace kind = format::destination_kind;

constexpr char kCounts[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr char kShared[] = "C:\\Program Files\\Common Files\\Palisade Tests";
constexpr char kSharedFolder[] = "/Program Files/Common Files/Palisade Tests";

InstallerRecipe Product(const std::string& name) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.productName = name;
  recipe.files = {{"own.txt", name},
                  {"common.dll", "common", {}, 0xFFFFFFFF, kind::kSharedFolder},
                  {"keep.dll", "keep", {}, 0xFFFFFFFF, kind::kSharedFolder, format::record_flags::kPermanent}};
  return recipe;
}

class SharedFiles : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(prefix_.DriveC() + "/cases"); }

  void Install(const std::string& name) {
    WriteBytes(prefix_.DriveC() + "/cases/setup.exe", BuildInstaller(Product(name)));
    ASSERT_EQ(prefix_.Run({"C:\\cases\\setup.exe", "/silent"}).exitCode, 1) << name;
  }
  void Uninstall(const std::string& name) {
    RunResult run = prefix_.Run({"C:\\Program Files\\" + name + "\\uninstall\\Uninstall Test.exe", "/u:\"" + name + "\"",
                                 "/silent"});
    ASSERT_EQ(run.exitCode, 0) << name << run.err;
    WaitUntilGone(prefix_.DriveC() + "/Program Files/" + name, 20);
  }

  // The count as "reg" shows it, or "none" without a value.
  std::string Count(const std::string& file) {
    std::string out = prefix_.Run({"reg", "query", kCounts, "/v", std::string(kShared) + "\\" + file}).out;
    size_t at = out.find("REG_DWORD    ");
    return at == std::string::npos ? "none" : out.substr(at + 13, out.find_first_of("\r\n", at) - at - 13);
  }
  bool Present(const std::string& file) { return FileExists(prefix_.DriveC() + kSharedFolder + "/" + file); }
  std::string SharedFilesValue(const std::string& product) {
    return prefix_
        .Run({"reg", "query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product, "/v",
              "SharedFiles"})
        .out;
  }

  WinePrefix prefix_;
};

TEST_F(SharedFiles, TheCountFollowsTheProductsAndTheLastOneDeletesTheFile) {
  Install("Acme One");
  EXPECT_EQ(Count("common.dll"), "0x1");
  EXPECT_NE(SharedFilesValue("Acme One").find("\"" + std::string(kShared) + "\\common.dll\";\"" + kShared + "\\keep.dll \""),
            std::string::npos)
      << SharedFilesValue("Acme One");
  Install("Acme Two");
  EXPECT_EQ(Count("common.dll"), "0x2");
  Install("Acme One");
  EXPECT_EQ(Count("common.dll"), "0x2") << "a product counts once however often it is installed";
  EXPECT_EQ(Count("keep.dll"), "0x2");

  Uninstall("Acme One");
  EXPECT_EQ(Count("common.dll"), "0x1");
  EXPECT_TRUE(Present("common.dll"));
  Uninstall("Acme Two");
  EXPECT_EQ(Count("common.dll"), "none");
  EXPECT_FALSE(Present("common.dll"));
  EXPECT_EQ(Count("keep.dll"), "none");
  EXPECT_TRUE(Present("keep.dll")) << "a permanent shared file is never deleted";
}

}  // namespace
}  // namespace palisade::testing
