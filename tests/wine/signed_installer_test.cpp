// A signed installer, built by palisade from the demo project with a
// throwaway certificate, installs and uninstalls like an unsigned one, and
// the uninstaller it copies out of itself is a well-formed unsigned program.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "builder/prefix_snapshot.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

using builder::PrefixSnapshot;
using builder::RegistrySnapshot;
using builder::SnapshotChanges;
using builder::TakeSnapshot;

constexpr char kPassword[] = "throwaway";
constexpr char kUninstaller[] = "C:\\Program Files\\Palisade Demo\\uninstall\\Uninstall Palisade Demo.exe";

TEST(SignedInstaller, InstallsAndLeavesAnUnsignedUninstallerThatRemovesTheProduct) {
  WinePrefix prefix;
  std::string keys = prefix.Path() + "/keys";
  ASSERT_EQ(CommandOutput(SourcePath("tests/make-signing-keys") + " '" + keys + "' '" + kPassword + "' 2>&1"), "");
  std::string setup = prefix.DriveC() + "/DemoSetup.exe";
  ASSERT_EQ(CommandOutput(std::string(PALISADE_BIN_DIR) + "/palisade build '" + SourcePath("examples/demo/palisade.toml") +
                          "' -o '" + setup + "' --quiet --sign-pkcs12 '" + keys + "/signer.p12' --sign-password-file '" +
                          keys + "/password.txt' 2>&1"),
            "");
  std::string verify = "osslsigncode verify -CAfile '" + keys + "/ca.pem' -in ";
  ASSERT_EQ(std::system((verify + "'" + setup + "' >/dev/null 2>&1").c_str()), 0);
  PrefixSnapshot before = TakeSnapshot(prefix.Path());

  RunResult install = prefix.Run({"C:\\DemoSetup.exe", "/silent"});
  ASSERT_EQ(install.exitCode, 1) << install.err;
  std::string uninstaller = prefix.DriveC() + "/Program Files/Palisade Demo/uninstall/Uninstall Palisade Demo.exe";
  ASSERT_TRUE(std::filesystem::exists(uninstaller));
  // No certificate table: osslsigncode finds no signature to check, where a
  // dangling one would make it report a damaged file.
  std::string unsignedCheck = CommandOutput(verify + "'" + uninstaller + "' 2>&1");
  EXPECT_NE(unsignedCheck.find("No signature found"), std::string::npos) << unsignedCheck;
  // objdump writes the entry's address in the width of the image's words.
  std::string directory = CommandOutput("objdump -p '" + uninstaller + "' 2>&1 | grep 'Security Directory'");
  EXPECT_TRUE(std::regex_search(directory, std::regex("Entry 4 (00000000){1,2} 00000000 Security Directory")))
      << directory;

  RunResult uninstall = prefix.Run({kUninstaller, "/u:\"Palisade Demo\"", "/silent"});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_EQ(SnapshotChanges(before, TakeSnapshot(prefix.Path())), std::vector<std::string>());
}

}  // namespace
}  // namespace palisade::testing
