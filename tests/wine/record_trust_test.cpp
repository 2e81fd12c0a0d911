// The record and the uninstaller lie in a folder that users may be able to
// write; the product's uninstall key in HKLM vouches for both with their
// SHA-256. Under Wine: one changed line of any kind, a changed uninstaller,
// an uninstaller that is not the registered one, and the uninstaller is
// refused before it removes anything; a partial run leaves a record that
// the key still vouches for.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/prefix_snapshot.h"
#include "format/file_record.h"
#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

using builder::PrefixSnapshot;
using builder::SnapshotChanges;
using builder::TakeSnapshot;

namespace kind = format::destination_kind;

constexpr char kKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Palisade Test Product";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";
constexpr char kCorrupt[] =
    "The uninstall information for Palisade Test Product is corrupt.\r\n\r\nThe uninstallation cannot be performed.\r\n";
constexpr int kSeconds = 180;

std::string Sha256Sum(const std::string& path) {
  return CommandOutput("sha256sum '" + path + "'").substr(0, 64);
}

// What the product puts in place, so that its record holds a line of every
// kind an installation writes: files and their folders, the registry value
// of the installation folder, a Windows Installer package, a file type, a
// close rule for the uninstaller, a firewall port, merge lines and a
// conditional deletion at uninstallation.
InstallerRecipe RecordedProduct() {
  InstallerRecipe recipe = ProductWithUninstaller();
  format::SetupScript& s = recipe.script;
  s.installFolderValue = "HKLM\\Software\\Palisade Trust\\Folder";
  recipe.productFlags2 |= format::product_flags2::kRemoveInstallFolderValue;
  s.productRegistry = "Palisade Trust\\Settings";
  s.registryMergeText =
      u"\\HKLM\\Software\\Palisade Trust\\Settings\r\n"
      u"\\HKLM\\Software\\Palisade Trust\\Settings,Mode,1,full,3\r\n";
  format::AssociationRecord association;
  association.mode = format::association_mode::kFull;
  association.extension = ".palisadetrust";
  association.progId = "Palisade.Trust";
  association.description = "Palisade trust document";
  association.verb = "open";
  association.verbLabel = "&Open";
  association.command = "\"%InstallDir%\\app.exe\" \"%1\"";
  association.icon = u"app.exe,0";
  s.associations = {association};
  s.closeRules = {{"AcmeLater", "", "Tray", format::close_action::kClose, format::close_when::kUninstall}};
  s.firewallText = "8080;Palisade Sync;3;0\r\n";
  s.conditionalDeletes = {{"%InstallDir%\\*.tmp", 0, "", 0x8}};
  TestFile package{"palisade_test.msi", ReadFile(WindowsTestProgram("palisade_test.msi"))};
  package.kind = kind::kMsiPackage;
  package.flags = format::record_flags::kRemoveMsiPackage;
  package.msiUiLevel = 3;
  recipe.files = {{"app.exe", "program"}, {"docs\\guide.txt", "guide"}, {"data\\deep\\state.dat", "state"}, package};
  return recipe;
}

class RecordTrust : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = std::make_unique<WinePrefix>(kWindowsBits); }

  std::string InProduct(const std::string& relative) const {
    return prefix_->DriveC() + "/" + EitherProductsProgramFiles(kWindowsBits) + "/Palisade Test Product/" + relative;
  }
  std::string Uninstaller() const {
    return "C:\\" + EitherProductsProgramFiles(kWindowsBits) + "\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
  }
  std::string RecordPath() const { return InProduct("uninstall/Uninstall.DAT"); }

  void Install(const InstallerRecipe& recipe) {
    std::string setup = PlaceInstaller(*prefix_, recipe, "setup");
    RunResult run = prefix_->Run({setup, "/silent"}, kSeconds);
    ASSERT_EQ(run.exitCode, 1) << run.err;
    ASSERT_EQ(run.err, "");
  }
  RunResult Uninstall(const std::string& program) {
    return prefix_->Run({program, kUninstallSwitch, "/silent"}, kSeconds);
  }
  std::string KeyValue(const char* name) {
    std::string out = prefix_->Run({"reg", "query", kKey, "/v", name, EngineRegistryView()}).out;
    size_t at = out.find("REG_SZ    ");
    return at == std::string::npos ? "" : out.substr(at + 10, out.find_first_of("\r\n", at) - at - 10);
  }
  void Write(const std::string& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }

  // Refused with the corrupt-record text, and the prefix just as before.
  void ExpectRefusedAndNothingChanged(const RunResult& run, const PrefixSnapshot& before, const std::string& what) {
    EXPECT_EQ(run.exitCode, 1) << what;
    EXPECT_EQ(run.err, kCorrupt) << what;
    EXPECT_EQ(SnapshotChanges(before, TakeSnapshot(prefix_->Path())), std::vector<std::string>{}) << what;
  }

  std::unique_ptr<WinePrefix> prefix_;
};

// `line` inserted as the first line after `header`, or as the first entry
// when there is no header; a section the record lacks is added at its end.
std::string WithLine(const std::string& record, const std::string& header, const std::string& line) {
  if (header.empty()) return line + "\r\n" + record;
  size_t at = record.find("\r\n" + header + "\r\n");
  if (at == std::string::npos) return record + "\r\n\r\n" + header + "\r\n" + line + "\r\n";
  at += header.size() + 4;
  return record.substr(0, at) + line + "\r\n" + record.substr(at);
}

struct TamperCase {
  const char* name;
  const char* header;  // the section the line goes in; "" for an entry
  std::string line;
};

TEST_F(RecordTrust, AnyChangedLineOfTheRecordIsRefusedBeforeAnythingIsRemoved) {
  ASSERT_NO_FATAL_FAILURE(Install(RecordedProduct()));
  const std::string original = ReadFile(RecordPath());
  for (const char* header : {"[Strings]", "[AutoClose]", "[Associations]", "[Firewall]", "[MSI]", "[Registry2]",
                             "[ConditionalDelete]"}) {
    ASSERT_NE(original.find(std::string("\r\n") + header + "\r\n"), std::string::npos) << header << "\n" << original;
  }
  for (const char* entry : {"\\docs\\guide.txt\r\n", "~C:\\", "!\\HKLM\\Software\\Palisade Trust\\Folder\r\n"}) {
    ASSERT_NE(original.find(entry), std::string::npos) << entry << "\n" << original;
  }
  const TamperCase cases[] = {
      {"file", "", "C:\\windows\\win.ini"},
      {"folder", "", "~C:\\users\\Public"},
      {"registry value", "", "!\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir"},
      {"registry key", "", "^\\HKLM\\Software\\Microsoft\\Windows"},
      {"registry key in the 64-bit view", "", "*\\HKLM\\Software\\Classes\\exefile"},
      {"message", "[Strings]", "~53\r\nRemove it all?"},
      {"close rule that ends every process", "[AutoClose]", "*,,x,3"},
      {"association of programs", "[Associations]", ".exe~!~exefile~!~open~!~"},
      {"firewall line", "[Firewall]", "C:\\windows\\system32\\svchost.exe;Windows Services;3;0"},
      {"driver", "[INF]", "C:\\windows\\inf\\oem1.inf"},
      {"package of the user's", "[MSI]", "C:\\users\\Public\\evil.msi,2"},
      {"merge line", "[Registry2]", "\\HKLM\\Software\\Microsoft\\Windows"},
      {"conditional deletion", "[ConditionalDelete]", "C:\\windows\\*.ini,0,,8"},
  };
  const PrefixSnapshot installed = TakeSnapshot(prefix_->Path());
  for (const TamperCase& c : cases) {
    Write(RecordPath(), WithLine(original, c.header, c.line));
    ExpectRefusedAndNothingChanged(Uninstall(Uninstaller()), installed, c.name);
  }
  Write(RecordPath(), original);
  RunResult untouched = Uninstall(Uninstaller());
  EXPECT_EQ(untouched.exitCode, 0) << untouched.err;
}

// The file the key names is the one that runs; a copy changed by a single
// byte is not the registered uninstaller.
TEST_F(RecordTrust, ChangedUninstallerIsRefused) {
  ASSERT_NO_FATAL_FAILURE(Install(ProductWithUninstaller()));
  const std::string path = InProduct("uninstall/Uninstall Test.exe");
  Write(path, ReadFile(path) + "x");
  const PrefixSnapshot changed = TakeSnapshot(prefix_->Path());
  ExpectRefusedAndNothingChanged(Uninstall(Uninstaller()), changed, "one byte more");
}

// Moved with a record and an uninstaller that match the hashes, the
// installation folder no longer holds the uninstaller that the key names:
// neither the registered uninstaller nor the copy in the named folder runs.
TEST_F(RecordTrust, ChangedInstallLocationIsRefused) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", "app"}};
  recipe.script.productFlagsLow |= format::product_flags_low::kDeleteInstallFolderOnUninstall;
  ASSERT_NO_FATAL_FAILURE(Install(recipe));
  for (const char* name : {"Uninstall.DAT", "Uninstall Test.exe"}) {
    CopyFile(InProduct(std::string("uninstall/") + name), prefix_->DriveC() + "/Elsewhere/uninstall/" + name);
  }
  ASSERT_EQ(prefix_->Run({"reg", "add", kKey, "/v", "InstallLocation", "/d", "C:\\Elsewhere", "/f",
                          EngineRegistryView()})
                .exitCode,
            0);
  const PrefixSnapshot moved = TakeSnapshot(prefix_->Path());
  ExpectRefusedAndNothingChanged(Uninstall(Uninstaller()), moved, "the registered uninstaller");
  ExpectRefusedAndNothingChanged(Uninstall("C:\\Elsewhere\\uninstall\\Uninstall Test.exe"), moved,
                                 "the copy in the named folder");
}

// The key's values are the SHA-256 of the bytes on the disk, as sha256sum
// computes them, for the installer's own copy and for the stripped image
// with its icon.
TEST_F(RecordTrust, StoredHashesAreTheSha256OfTheRecordAndTheUninstaller) {
  for (bool stripped : {false, true}) {
    InstallerRecipe recipe = ProductWithUninstaller();
    recipe.files = {{"app.txt", "app"}};
    if (stripped) recipe.productFlags2 |= format::product_flags2::kStripPayload;
    ASSERT_NO_FATAL_FAILURE(Install(recipe));
    EXPECT_EQ(KeyValue("UninstallDataHash"), Sha256Sum(RecordPath())) << stripped;
    EXPECT_EQ(KeyValue("UninstallerHash"), Sha256Sum(InProduct("uninstall/Uninstall Test.exe"))) << stripped;
    RunResult run = Uninstall(Uninstaller());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(WaitUntilGone(InProduct(""), 20));
  }
}

// A run that leaves a file in use rewrites the record with what is left and
// has the key vouch for the new record, so that the second run finishes.
TEST_F(RecordTrust, PartialRunLeavesARecordThatTheKeyVouchesFor) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"app.txt", "app"}, {"bin\\tool.bin", "tool"}};
  ASSERT_NO_FATAL_FAILURE(Install(recipe));
  const std::string before = KeyValue("UninstallDataHash");
  Started holder = prefix_->Start(
      {WindowsTestProgram("engine_probe.exe"), "hold-file",
       "C:\\" + EitherProductsProgramFiles(kWindowsBits) + "\\Palisade Test Product\\bin\\tool.bin"});
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", "Probe"}).exitCode, 0);
  RunResult first = Uninstall(Uninstaller());
  EXPECT_EQ(first.exitCode, 1);
  EXPECT_NE(first.err.find("tool.bin"), std::string::npos) << first.err;
  EXPECT_NE(KeyValue("UninstallDataHash"), before) << "the record was rewritten";
  EXPECT_EQ(KeyValue("UninstallDataHash"), Sha256Sum(RecordPath()));
  prefix_->WindowHelper({"press", "1", "--caption", "Probe"});
  prefix_->Wait(holder);

  RunResult second = Uninstall(Uninstaller());
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(WaitUntilGone(InProduct(""), 20));
}

}  // namespace
}  // namespace palisade::testing
