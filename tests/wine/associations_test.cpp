// File associations and firewall exceptions under Wine: a full association
// and an open-with entry over file types the machine already had, read back
// from the classes root and the record and gone again after uninstallation;
// firewall lines as far as Wine's firewall takes them, and a line of the
// wrong shape stopping the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kFolder[] = "C:\\Program Files\\Palisade Test Product";
constexpr char kUninstaller[] = "C:\\Program Files\\Palisade Test Product\\uninstall\\Uninstall Test.exe";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";
constexpr char kBackup[] = "\"Palisade Test Product Backup\"";

std::string Folder(const std::string& rest) { return std::string(kFolder) + rest; }

// A text as the registry editor's export and Wine's debug output write it:
// every backslash and double quote escaped with a backslash.
std::string Escaped(std::string text) {
  for (size_t at = 0; (at = text.find_first_of("\\\"", at)) != std::string::npos; at += 2) text.insert(at, "\\");
  return text;
}

class ProductTest : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = std::make_unique<WinePrefix>(); }

  RunResult Uninstall(const std::vector<std::string>& environment = {}) {
    return prefix_->Run({kUninstaller, kUninstallSwitch, "/silent"}, 90, environment);
  }
  std::string Log() { return ReadFile(UninstallFolder() + "/Install.log"); }
  std::string Record() { return ReadFile(UninstallFolder() + "/Uninstall.DAT"); }
  std::string UninstallFolder() { return prefix_->DriveC() + "/Program Files/Palisade Test Product/uninstall"; }
  std::string Export(const std::string& key) { return ExportKey(*prefix_, key); }
  void SetDefault(const std::string& key, const std::string& text) {
    ASSERT_EQ(prefix_->Run({"reg", "add", key, "/ve", "/d", text, "/f"}).exitCode, 0) << key;
  }

  std::unique_ptr<WinePrefix> prefix_;
};

using FileAssociations = ProductTest;

format::AssociationRecord Association(uint32_t mode, const char* extension, const char* progId, const char* command,
                                      const char16_t* icon) {
  format::AssociationRecord a;
  a.mode = mode;
  a.extension = extension;
  a.progId = progId;
  a.description = "Palisade document";
  a.verb = "open";
  a.verbLabel = "&Open with Palisade";
  a.command = command;
  a.icon = icon;
  return a;
}

TEST_F(FileAssociations, InstalledOverExistingTypesAndPutBackByTheUninstaller) {
  // The machine's own file types, each with a class and an open command.
  SetDefault("HKCR\\.palisadedoc", "Palisade.OldDoc");
  SetDefault("HKCR\\Palisade.OldDoc\\shell\\open\\command", "old.exe \"%1\"");
  SetDefault("HKCR\\.palisadeview", "Palisade.OldView");
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"note.exe", "note"}};
  recipe.script.associations = {
      Association(1, ".palisadedoc", "Palisade.Note", "\"%InstallDir%\\note.exe\" \"%1\"", u"note.exe,1"),
      Association(2, ".palisadeview", "Palisade.Viewer", "\"%InstallDir%\\note.exe\" /view \"%1\"", u""),
  };
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);

  const std::string command = "\"" + Folder("\\note.exe") + "\" \"%1\"";
  const std::string viewCommand = "\"" + Folder("\\note.exe") + "\" /view \"%1\"";
  std::string doc = Export("HKCR\\.palisadedoc");
  EXPECT_NE(doc.find("@=\"Palisade.Note\""), std::string::npos) << doc;
  EXPECT_NE(doc.find(std::string(kBackup) + "=\"Palisade.OldDoc\""), std::string::npos) << doc;
  EXPECT_NE(doc.find("[HKEY_CLASSES_ROOT\\.palisadedoc\\OpenWithProgids]\r\n\"Palisade.Note\"=\"\""), std::string::npos)
      << doc;
  std::string note = Export("HKCR\\Palisade.Note");
  for (const std::string& part :
       {std::string("[HKEY_CLASSES_ROOT\\Palisade.Note]\r\n@=\"Palisade document\""),
        "[HKEY_CLASSES_ROOT\\Palisade.Note\\DefaultIcon]\r\n@=\"" + Escaped(Folder("\\note.exe,1")) + "\"",
        std::string("[HKEY_CLASSES_ROOT\\Palisade.Note\\shell]\r\n@=\"open\""),
        std::string("[HKEY_CLASSES_ROOT\\Palisade.Note\\shell\\open]\r\n@=\"&Open with Palisade\""),
        "[HKEY_CLASSES_ROOT\\Palisade.Note\\shell\\open\\command]\r\n@=\"" + Escaped(command) + "\""}) {
    EXPECT_NE(note.find(part), std::string::npos) << part << "\n" << note;
  }
  std::string view = Export("HKCR\\.palisadeview");
  EXPECT_NE(view.find("@=\"Palisade.OldView\""), std::string::npos) << view;
  EXPECT_EQ(view.find(kBackup), std::string::npos) << view;
  EXPECT_NE(view.find("\"Palisade.Viewer\"=\"\""), std::string::npos) << view;
  std::string viewer = Export("HKCR\\Palisade.Viewer");
  EXPECT_NE(viewer.find("[HKEY_CLASSES_ROOT\\Palisade.Viewer\\shell]\r\n\r\n"), std::string::npos) << viewer;
  EXPECT_NE(viewer.find(Escaped(viewCommand)), std::string::npos) << viewer;

  std::string log = Log();
  for (const std::string& line : {".palisadedoc Open With " + command + "\r\n",
                                  "Associated .palisadedoc with " + command + "\r\n",
                                  ".palisadeview Open With " + viewCommand + "\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(log.find("Associated .palisadeview"), std::string::npos) << log;
  EXPECT_EQ(log.find("FAILURE SUMMARY"), std::string::npos) << log;
  EXPECT_NE(Record().find("[Associations]\r\n"
                          ".palisadedoc~!~Palisade.Note~!~open~!~" + Folder("\\note.exe,1") + "\r\n"
                          ".palisadeview~!~Palisade.Viewer~!~open~!~\r\n"),
            std::string::npos)
      << Record();

  ASSERT_EQ(Uninstall().exitCode, 0);
  doc = Export("HKCR\\.palisadedoc");
  EXPECT_NE(doc.find("@=\"Palisade.OldDoc\""), std::string::npos) << doc;
  EXPECT_NE(Export("HKCR\\Palisade.OldDoc").find("@=\"old.exe \\\"%1\\\"\""), std::string::npos);
  view = Export("HKCR\\.palisadeview");
  EXPECT_NE(view.find("@=\"Palisade.OldView\""), std::string::npos) << view;
  EXPECT_EQ((doc + view).find("OpenWithProgids"), std::string::npos) << doc << view;
  ASSERT_FALSE(Export("HKLM\\Software\\Classes").empty());
  for (const char* root : {"HKLM\\Software\\Classes", "HKCU\\Software\\Classes"}) {
    std::string classes = Export(root);
    for (const char* trace : {"Palisade.Note", "Palisade.Viewer", "Palisade Test Product"}) {
      size_t at = classes.find(trace);
      EXPECT_EQ(at, std::string::npos) << root << ": " << trace << " in "
                                       << (at == std::string::npos ? "" : classes.substr(at > 200 ? at - 200 : 0, 400));
    }
  }
}

using FirewallExceptions = ProductTest;

// Wine's firewall takes every program and port without storing them and
// can neither look up nor close a port: the log says what was added, the
// record keeps the lines to remove, and the uninstaller's trace shows what
// Wine answered.
TEST_F(FirewallExceptions, AddedLoggedRecordedAndRemovedAsFarAsWineAllows) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.files = {{"sync.exe", "sync"}};
  recipe.script.firewallText =
      "sync.exe;;0;0\r\n"              // a program below the installation folder
      "8080;Palisade Sync;3;0\r\n"     // a port for TCP and UDP
      "9090;;1;1\r\n"                  // kept at uninstallation: not recorded
      "%InstallDir%\\missing.exe;;0;0\r\n";  // no such file
  ASSERT_EQ(RunInstaller(*prefix_, recipe).exitCode, 1);
  std::string log = Log();
  for (const std::string& line :
       {"Added firewall exception: " + Folder("\\sync.exe") + "\r\n",
        std::string("Added firewall exception: TCP port 8080\r\n"),
        std::string("Added firewall exception: UDP port 8080\r\n"),
        std::string("Added firewall exception: TCP port 9090\r\n"),
        "Failed to add firewall exception for \"" + Folder("\\missing.exe") + "\": file does not exist\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(log.find("FAILURE SUMMARY"), std::string::npos) << log;
  std::string record = Record();
  EXPECT_NE(record.find("[Firewall]\r\nsync.exe;;0;0\r\n8080;Palisade Sync;3;0\r\n"), std::string::npos) << record;
  EXPECT_EQ(record.find("9090"), std::string::npos) << record;
  EXPECT_EQ(record.find("missing.exe"), std::string::npos) << record;

  RunResult uninstalled = Uninstall({kDebugOutput});
  ASSERT_EQ(uninstalled.exitCode, 0) << uninstalled.err;
  std::vector<std::string> trace = EngineTrace(uninstalled.err);
  auto traced = [&](const std::string& start) {
    return std::count_if(trace.begin(), trace.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  };
  EXPECT_EQ(traced("firewall exception removed: " + Escaped(Folder("\\sync.exe")) + ", 0x00000000"), 1)
      << uninstalled.err;
  // A port goes only while it carries the line's name, which Wine, that
  // cannot look a port up, never shows.
  EXPECT_EQ(traced("firewall exception left, not the product's: TCP port 8080"), 1) << uninstalled.err;
  EXPECT_EQ(traced("firewall exception left, not the product's: UDP port 8080"), 1) << uninstalled.err;
  EXPECT_EQ(traced("firewall exception removed: TCP port 9090"), 0) << uninstalled.err;
}

TEST_F(FirewallExceptions, LineWithoutFourFieldsIsADamagedInstaller) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.script.firewallText = "8080;Palisade Sync;1;0\r\n8081;Palisade Sync;1\r\n";
  RunResult run = RunInstaller(*prefix_, recipe);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Error code: 90\r\n"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace palisade::testing
