// Shortcuts under Wine: real links on the desktop, in the product's desktop
// folder, the start-menu folder, Startup, a further folder and a portable
// drive's root, read back through the shell's link object, and taken away
// again by the uninstaller; the taskbar pin as far as the system lets it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

constexpr char kInstall[] = "C:\\Program Files\\Palisade Test Product";
constexpr char kUninstallSwitch[] = "/u:\"Palisade Test Product\"";

std::string UserFolder() { return "C:\\users\\" + UserName(); }
std::string Programs() { return UserFolder() + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"; }

using Fields = std::map<std::string, std::string>;

InstallerRecipe LinkedProduct() {
  InstallerRecipe recipe = ProductWithUninstaller();
  format::SetupScript& s = recipe.script;
  s.shortcutMode = 0;
  s.startMenuFolder = "Acme Test";
  s.productFlagsLow |= low::kUninstallerStartMenuShortcut | low::kLogEveryFile;
  s.productFlagsHigh |= high::kLogShortcut;
  s.messages[33][0] = u"Uninstall Acme";
  s.messages[38][0] = u"Run %s";
  s.messages[86][0] = u"Acme log";
  recipe.files = {{"notes.exe", "notes"}, {"help.txt", "help"}, {"bin\\tool.txt", "tool"}};
  TestFile viewer{"viewer.exe", "viewer"};
  viewer.flags = format::record_flags::kDesktopShortcut | format::record_flags::kStartMenuShortcut;
  TestFile startup{"starter.exe", "starter"};
  startup.kind = format::destination_kind::kStartup;
  startup.textA = "Acme Starter";
  recipe.files.push_back(viewer);
  recipe.files.push_back(startup);
  s.shortcuts = {
      {"notes.exe", "Acme Notes", "notes.ico", "--x %InstallDir%", "%InstallDir%\\bin", 1, 1, 0, "%InstallDir%\\links",
       0, 2},
      {"help.txt", "Help\\Acme Help", "", "", "C:\\missing", 0, 1, 1, "", 0, 1},
      {"notes.exe", "Kept", "", "", "", 1, 0, 0, "", 1, 0},
  };
  return recipe;
}

class Shortcuts : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = std::make_unique<WinePrefix>();
  }

  RunResult Install(const InstallerRecipe& recipe, const std::vector<std::string>& options = {"/silent"}) {
    return RunInstaller(*prefix_, recipe, options);
  }
  RunResult Uninstall(const std::string& installFolder = kInstall) {
    return prefix_->Run({installFolder + "\\uninstall\\Uninstall Test.exe", kUninstallSwitch, "/silent"}, 90);
  }

  // What the shell reads from a link; empty when it is not a link.
  Fields ReadLink(const std::string& windowsPath) {
    RunResult read = prefix_->Run({WindowsTestProgram("lnkread.exe"), windowsPath});
    Fields fields;
    for (size_t start = 0; start < read.out.size();) {
      size_t end = read.out.find('\n', start);
      std::string line = read.out.substr(start, end - start);
      size_t tab = line.find('\t');
      if (tab != std::string::npos) fields[line.substr(0, tab)] = line.substr(tab + 1);
      start = end == std::string::npos ? read.out.size() : end + 1;
    }
    return fields;
  }
  // The Linux path of a Windows path on drive C:.
  std::string OnDisk(const std::string& windowsPath) {
    std::string path = prefix_->DriveC() + windowsPath.substr(2);
    for (char& c : path) c = c == '\\' ? '/' : c;
    return path;
  }
  std::string Log(const std::string& installFolder = kInstall) {
    return ReadFile(OnDisk(installFolder) + "/uninstall/Install.log");
  }

  std::unique_ptr<WinePrefix> prefix_;
};

TEST_F(Shortcuts, EveryPlaceReadBackAndRemovedByTheUninstaller) {
  ASSERT_EQ(Install(LinkedProduct()).exitCode, 1);
  const std::string install = kInstall;
  const std::string desktop = UserFolder() + "\\Desktop", group = Programs() + "\\Acme Test";
  const Fields notes = {{"target", install + "\\notes.exe"},
                        {"arguments", "--x " + install},
                        {"folder", install + "\\bin"},
                        {"icon", install + "\\uninstall\\notes.ico,0"},
                        {"show", "3"}};
  const Fields help = {{"target", install + "\\help.txt"},
                       {"arguments", ""},
                       {"folder", install},
                       {"icon", install + "\\help.txt,0"},
                       {"show", "7"}};
  const Fields viewer = {{"target", install + "\\viewer.exe"},
                         {"arguments", ""},
                         {"folder", install},
                         {"icon", install + "\\viewer.exe,0"},
                         {"show", "1"}};
  const Fields uninstaller = {{"target", install + "\\uninstall\\Uninstall Test.exe"},
                              {"arguments", "/u:\"Palisade Test Product\""},
                              {"folder", install},
                              {"icon", install + "\\uninstall\\uninstall.ico,0"},
                              {"show", "1"}};
  const std::map<std::string, Fields> links = {
      {desktop + "\\Acme Notes.LNK", notes},
      {group + "\\Acme Notes.LNK", notes},
      {install + "\\links\\Acme Notes.LNK", notes},
      {group + "\\Help\\Acme Help.LNK", help},
      {Programs() + "\\StartUp\\Help\\Acme Help.LNK", help},
      {desktop + "\\Run viewer.LNK", viewer},
      {group + "\\Run viewer.LNK", viewer},
      {group + "\\Uninstall Acme.LNK", uninstaller},
  };
  for (const auto& [path, fields] : links) {
    Fields read = ReadLink(path);
    for (const auto& [field, value] : fields) EXPECT_EQ(read[field], value) << path << " " << field;
  }
  EXPECT_EQ(ReadLink(Programs() + "\\StartUp\\Acme Starter.LNK")["target"], install + "\\starter.exe");
  EXPECT_EQ(ReadLink(group + "\\Acme log.LNK")["target"], install + "\\uninstall\\Install.log");
  EXPECT_EQ(ReadLink(desktop + "\\Kept.LNK")["target"], install + "\\notes.exe");

  std::string log = Log();
  for (const std::string line :
       {"Desktop Shortcut(Acme Notes) >>> " + desktop + "\\Acme Notes\r\n",
        "Start Menu Shortcut(Help\\Acme Help) >>> " + group + "\\Help\\Acme Help\r\n",
        "Startup Shortcut(Help\\Acme Help) >>> " + Programs() + "\\StartUp\\Help\\Acme Help\r\n",
        "Shortcut(Acme Notes) >>> " + install + "\\links\\Acme Notes\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
  }

  RunResult uninstall = Uninstall();
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  for (const auto& [path, fields] : links) EXPECT_FALSE(FileExists(OnDisk(path))) << path;
  for (const std::string gone : {group, Programs() + "\\StartUp\\Help", Programs() + "\\StartUp\\Acme Starter.LNK",
                                 install + "\\links"}) {
    EXPECT_FALSE(FileExists(OnDisk(gone))) << gone;
  }
  EXPECT_TRUE(FileExists(OnDisk(Programs() + "\\StartUp")));
  EXPECT_TRUE(FileExists(OnDisk(desktop + "\\Kept.LNK"))) << "a permanent shortcut stays";
}

// For all users, in the product's folder on the common desktop, whose
// "Desktop.ini" names the product's icon.
TEST_F(Shortcuts, DesktopFolderWithItsIcon) {
  InstallerRecipe recipe = LinkedProduct();
  recipe.script.shortcutMode = 1;
  recipe.script.desktopFolder = "Acme Folder";
  const format::Bytes icon = {0, 0, 1, 0, 'I', 'C', 'O'};
  recipe.script.desktopFolderIcon = icon;
  recipe.script.shortcuts.resize(1);
  ASSERT_EQ(Install(recipe).exitCode, 1);
  const std::string folder = "C:\\users\\Public\\Desktop\\Acme Folder";
  const std::string iconPath = std::string(kInstall) + "\\uninstall\\Desktop Icon.ico";
  EXPECT_EQ(ReadLink(folder + "\\Acme Notes.LNK")["target"], std::string(kInstall) + "\\notes.exe");
  EXPECT_EQ(ReadLink(folder + "\\Run viewer.LNK")["target"], std::string(kInstall) + "\\viewer.exe");
  std::string ini = ReadFile(OnDisk(folder + "\\Desktop.ini"));
  EXPECT_NE(ini.find("[.ShellClassInfo]\r\nIconFile=" + iconPath + "\r\nIconIndex=0\r\n"), std::string::npos) << ini;
  std::string written = ReadFile(OnDisk(iconPath));
  EXPECT_EQ(format::Bytes(written.begin(), written.end()), icon);
  EXPECT_NE(Log().find("Desktop Folder Shortcut(Acme Notes) >>> " + folder + "\\Acme Notes\r\n"), std::string::npos)
      << Log();

  RunResult uninstall = Uninstall();
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_FALSE(FileExists(OnDisk(folder)));
  EXPECT_FALSE(FileExists(OnDisk(iconPath)));
  EXPECT_TRUE(FileExists(OnDisk("C:\\users\\Public\\Desktop")));
}

TEST_F(Shortcuts, PortableDriveGetsARootShortcutAndNoPin) {
  prefix_->MakeRemovableDrive('e');
  InstallerRecipe recipe = LinkedProduct();
  recipe.script.shortcuts.clear();
  recipe.script.rootShortcutCommand = "\"%InstallDir%\\notes.exe\" --portable";
  recipe.script.rootShortcutName = "Acme Portable";
  recipe.script.pinCommand = u"%InstallDir%\\notes.exe";
  ASSERT_EQ(Install(recipe, {"/silent", "/d:E:\\Acme"}).exitCode, 1);
  Fields root = ReadLink("E:\\Acme Portable.lnk");
  EXPECT_EQ(root["target"], "E:\\Acme\\notes.exe");
  EXPECT_EQ(root["arguments"], "--portable");
  EXPECT_EQ(root["folder"], "E:\\Acme");
  std::string log = ReadFile(prefix_->Path() + "/removable-e/Acme/uninstall/Install.log");
  EXPECT_NE(log.find("Root Shortcut(Acme Portable) >>> E:\\Acme Portable.lnk\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Pin to taskbar"), std::string::npos) << log;
  RunResult uninstall = Uninstall("E:\\Acme");
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_FALSE(FileExists(prefix_->Path() + "/removable-e/Acme Portable.lnk"));
}

// Windows 7 to 8.1 let an installer pin; what the system refuses is logged.
// Later versions are not asked.
TEST_F(Shortcuts, TaskbarPinAskedForOnlyWhereTheSystemAllowsIt) {
  InstallerRecipe recipe = LinkedProduct();
  recipe.script.shortcuts.clear();
  recipe.script.pinCommand = u"\"%InstallDir%\\notes.exe\" --pinned";
  recipe.script.pinName = u"Acme Pin";
  ASSERT_EQ(Install(recipe).exitCode, 1);
  std::string log = Log();
  size_t pin = log.find("Pin to taskbar(" + std::string(kInstall) + "\\notes.exe): ");
  ASSERT_NE(pin, std::string::npos) << log;
  std::string pinned = UserFolder() + "\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User "
                                      "Pinned\\TaskBar\\Acme Pin.lnk\r\n";
  std::string record = ReadFile(OnDisk(std::string(kInstall) + "\\uninstall\\Uninstall.DAT"));
  EXPECT_NE(record.find(pinned), std::string::npos) << record;
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/users/" + UserName() + "/Temp/Acme Pin.lnk"));
  RunResult uninstall = Uninstall();
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;

  prefix_->Run({"reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", "win10", "/f"});
  ASSERT_EQ(Install(recipe).exitCode, 1);
  log = Log();
  EXPECT_EQ(log.find("Pin to taskbar"), std::string::npos) << log;
  EXPECT_EQ(ReadFile(OnDisk(std::string(kInstall) + "\\uninstall\\Uninstall.DAT")).find("User Pinned"),
            std::string::npos);
}

}  // namespace
}  // namespace palisade::testing
