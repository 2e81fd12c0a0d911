// `palisade inspect` shows every setting an installer stores under the
// project file's own keys: a project that sets every key reads back, key
// by key, from the inspect output (which reads as TOML), and --json carries
// the same.
#include <gtest/gtest.h>

#include <set>

#include "bitmap_file.h"
#include "builder_test_support.h"
#include "icon_file.h"

namespace palisade::builder {
namespace {

using test_support::BuilderTest;
using test_support::CommandResult;

// Every key of docs/project-file.md, none at its default.
constexpr char kEveryKey[] = R"([product]
name = "Acme Notes"
version = "2.1.0"
publisher = "Acme Software"
copyright = "(c) Acme"
icon = "art/acme.ico"
description = "Notes that sync"
bitness = "64"
install-folder = "Acme\\Notes"
start-menu-folder = "Acme"
shared-folder = "Acme Shared"
registry-key = "Acme\\Notes"
install-folder-value = 'HKCU\Software\Acme\Notes\Folder'
excluded-systems = ["xp", "vista"]
shortcuts-for = "current-user"
desktop-folder = "Acme Tools"
desktop-folder-icon = "art/folder.ico"
add-to-path = "bin"
single-instance = true
everyone-full-access = true

[master-product]
registry-name = "Acme Suite"
display-name = "the Acme Suite"
minimum-version = "3.0"

[installer]
automatic-mode = "on"
show-errors-in-automatic-mode = true
restore-point = true
always-restart = true
restart-question-in-automatic-mode = true
verify-stub = true
verify-written-files = true
clear-attributes-in-the-way = true
replace-new-files-at-restart = true
archive-source = "file"
reboot-marker = true

[upgrade]
compare-versions = false
ask-installation-type = false
must-uninstall-first = true
warn-when-upgrading = true
no-downgrade-below = "1.5"
must-uninstall-below = "1.0"
upgrade-warning-below = "2.0"

[uninstaller]
enabled = true
file = "Remove Acme.exe"
subfolder = "uninstall"
registry-name = "AcmeNotes"
strip-payload = false
automatic = true
completion-message = false
delete-install-folder = true
ask-before-removing-fonts = true
ask-before-removing-shared-files = true
always-restart = true
start-menu-shortcut = true
desktop-shortcut = true
shortcut-in-uninstall-folder = true
shortcut-in-install-folder = true
remove-install-folder-value = true
support-offer = "https://acme.example/help"
icon = "art/remove.ico"

[log]
keep = false
every-file = true
start-menu-shortcut = true
keep-after-uninstall = true

[wizard]
languages = ["English", "Deutsch"]
style = "banner"
greeting = false
greeting-in-automatic-mode = true
greeting-link = "https://acme.example"
greeting-sound = "art/hello.wav"
password = "open sesame"
license = ["legal/LICENSE.txt"]
readme = ["docs/README.txt", "docs/CHANGES.rtf"]
choose-folder = false
choose-start-menu = true
show-disk-space = false
browse-from-computer = true
allow-cancel = false
progress-page = false
hide-file-names = true
product-icons = true
button-images = true
heading = "Acme Notes 2"
banner-text-color = "#102030"
side-picture-frame = "border"
minimum-status-time = 250
progress-placement = "top-left"
side-picture = "art/side.bmp"
banner-picture = "art/banner.bmp"

[wizard.page-styles]
greeting = "white"

[summary]
show = false
launch = '%InstallDir%\AcmeNotes.exe'
launch-checked = true
launch-directly = true
open = "manual.pdf"
open-checked = true
open-also = "https://acme.example/welcome"
open-also-checked = true
view-log = true

[background]
enabled = false
full-screen = true
title = "Acme Notes 2.1"
fixed-title = true
title-position = "bottom-center"
title-size = 1.5
title-color = "#AABBCC"
title-shadow = 40
title-font = ["Georgia", "Arial"]
gradient = ["#010203", "#040506"]
picture = "art/background.bmp"
picture-size = 60
picture-fit = "tile"
transparent-index = 7
keep-for-uninstaller = true
copyright = "(c) 2026 Acme"
copyright-position = "top-right"
copyright-color = "#123456"
copyright-size = 0.75
copyright-font = ["Verdana"]
taskbar-text = "Installing Acme"

[portable]
shared-folder = "shared"
registry = false
associations = false
firewall = false
start-menu-page = false

[portable.root-shortcut]
command = '"%InstallDir%\AcmeNotes.exe" --portable'
name = "Acme Notes"

[taskbar-pin]
command = '%InstallDir%\AcmeNotes.exe'
name = "Acme"

[[files]]
from = "app/AcmeNotes.exe"
overwrite = "unless-newer"
attributes = ["read-only", "archive"]
shortcut = { name = "Acme Notes", desktop = true, start-menu = true, icon = "notes.ico", arguments = "--fresh", working-folder = "%InstallDir%" }

[[files]]
from = "app/acmecore.dll"
kind = "system-com"
version = "3.2.0.1"
permanent = true

[[files]]
from = "fonts/AcmeSans.ttf"
kind = "font"
font-name = "Acme Sans"
timestamp = "none"

[[files]]
from = "app/setup.msi"
kind = "msi"
msi = { ui-level = "full", remove-at-uninstall = false }

[[files]]
from = "app/panel.cpl"
kind = "control-panel"
applet = { class-id = "{12345678-1234-1234-1234-123456789ABC}", name = "Acme Panel", arguments = "/x" }

[[files]]
from = "app/notes.txt"
to-uninstall-folder = true
overwrite = "if-missing"

[[shortcuts]]
target = "https://acme.example/notes"
name = "Acme on the Web"
arguments = "--web"
icon = "web.ico"
working-folder = "%Temp%"
desktop = true
start-menu = true
startup = true
folder = "%DocumentDir%"
window = "maximized"
permanent = true

[[registry]]
key = 'HKLM\Software\Acme\Notes'
value = "Folder"
type = "expandable-text"
data = "%InstallDir%"
action = "set-if-missing"

[registry-merge]
file = "registry/defaults.reg"

[[associations]]
extension = ".acmenote"
prog-id = "Acme.Note"
description = "Acme note"
verb = "edit"
verb-label = "&Edit with Acme"
command = '"%InstallDir%\AcmeNotes.exe" "%1"'
icon = '%InstallDir%\AcmeNotes.exe,1'
open-with-only = true

[[firewall]]
program = '%InstallDir%\AcmeSync.exe'
name = "Acme Sync"
keep = true

[[firewall]]
port = 8080
protocols = ["tcp", "udp"]
name = "Acme Port"

[[close]]
window-class = "AcmeNotesMain"
window-title = "Acme*"
app-name = "Acme Notes"
action = "ask"
when = ["install", "uninstall"]

[[conditional-delete]]
pattern = 'plugins\legacy*.dll'
condition = "version-at-most"
value = "1.9"
when = ["uninstall"]
restart = "if-locked"

[[uninstall-values]]
name = "HelpLink"
type = "expandable-text"
data = "%InstallDir%\\help.html"

[batches.pre-install]
commands = "echo pre"
hidden = true
log-output = true

[batches.upgrade]
commands = "echo upgrade"
hidden = true
log-output = true

[batches.reinstall]
commands = "echo reinstall"
hidden = true
log-output = true
only-same-version = true

[batches.post-install]
commands = "echo post"
hidden = true
log-output = true

[batches.exit]
commands = "echo exit"
hidden = true

[batches.uninstall-before]
commands = "echo before"
hidden = true

[batches.uninstall-after]
commands = "echo after"
hidden = true

[notify]
start = "https://acme.example/start"
begin-install = "https://acme.example/begin"
new-install = "https://acme.example/new"
upgrade = "https://acme.example/upgrade"
downgrade = "https://acme.example/downgrade"
reinstall = "https://acme.example/reinstall"
uninstall = "https://acme.example/uninstall"

[messages.English]
42 = "Acme Notes is ready."
license = "legal/LICENSE.txt"

[messages.Deutsch]
42 = "Acme Notes ist bereit."
readme = "docs/README.txt"

[compression]
enabled = false
level = 9
extreme = true
chunk-size-kib = 64

[encryption]
enabled = true
key = "0011223344556677"

[advanced]
option-byte = 7
text-31 = "t31"
text-52 = "t52"
text-53 = "t53"
text-54 = "t54"
greeting-page-text = "more greeting"
block-48 = "000102030405060708090a0b0c0d0e0f10111213"
optional-blob = "blocks/blob.bin"

[advanced.page-options]
first = 0x11
second = 0x22

[advanced.set-flags]
high = 0x40000000

[advanced.clear-flags]
low = 0x0
)";

// Keys whose value the installer does not keep as such: patterns and
// placements become file records, compression settings shape the archive,
// raw flag bits end in the named options, a language's licence becomes a
// message.
const std::set<std::string> kNotStored = {
    "files.from",        "files.to",        "files.rename",          "files.exclude",
    "files.timestamp",   "compression.level", "compression.extreme", "compression.chunk-size-kib",
    "compression.profile", "compression.dictionary-kib",
    "advanced.set-flags", "advanced.clear-flags",
    // Kept as messages 63 and 64, and checked as those.
    "messages.English.license", "messages.Deutsch.readme"};

// Keys that name a file of the project: the installer keeps its bytes,
// and inspect says how many.
const std::set<std::string> kFiles = {"product.icon",       "product.desktop-folder-icon", "uninstaller.icon",
                                      "wizard.greeting-sound", "wizard.license",              "wizard.readme",
                                      "wizard.side-picture",  "wizard.banner-picture",       "background.picture",
                                      "registry-merge.file",  "advanced.optional-blob"};

std::string Json(const toml::node& node) {
  std::ostringstream text;
  node.visit([&](const auto& value) { text << toml::json_formatter(value); });
  return text.str();
}

// The key path without array indices: "files.shortcut.name".
std::string Generic(const std::string& path) {
  std::string generic;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '[') {
      i = path.find(']', i);
    } else {
      generic += path[i];
    }
  }
  return generic;
}

// Every key `project` sets appears in `shown` with the same value.
void ExpectShown(const toml::node& project, const toml::node* shown, const std::string& path) {
  std::string generic = Generic(path);
  if (kNotStored.count(generic) != 0) return;
  ASSERT_NE(shown, nullptr) << path << " is not shown";
  if (kFiles.count(generic) != 0) {
    std::string stored = Json(*shown);
    EXPECT_NE(stored.find("\"bytes\""), std::string::npos) << path << ": " << stored;
  } else if (const toml::table* table = project.as_table(); table != nullptr) {
    for (const auto& [key, value] : *table) {
      const toml::table* shownTable = shown->as_table();
      std::string child = (path.empty() ? "" : path + ".") + std::string(key.str());
      ExpectShown(value, shownTable ? shownTable->get(key.str()) : nullptr, child);
    }
  } else if (project.is_array_of_tables()) {
    const toml::array& entries = *project.as_array();
    const toml::array* shownEntries = shown->as_array();
    ASSERT_NE(shownEntries, nullptr) << path;
    ASSERT_EQ(shownEntries->size(), entries.size()) << path;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      ExpectShown(entries[i], shownEntries->get(i), path + "[" + std::to_string(i) + "]");
    }
  } else {
    EXPECT_EQ(Json(*shown), Json(project)) << path;
  }
}

class InspectTest : public BuilderTest {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    for (const char* file : {"app/AcmeNotes.exe", "app/acmecore.dll", "fonts/AcmeSans.ttf", "app/setup.msi",
                             "app/panel.cpl", "app/notes.txt", "legal/LICENSE.txt", "docs/README.txt",
                             "blocks/blob.bin"}) {
      WriteText(file, std::string("contents of ") + file);
    }
    WriteText("docs/CHANGES.rtf", "{\\rtf1 changes}");
    WriteText("art/hello.wav", std::string("RIFF\x04\0\0\0WAVEfmt ", 16));
    for (const char* picture : {"art/background.bmp", "art/side.bmp", "art/banner.bmp"}) {
      WriteBytes(picture, format::test_bytes::BitmapFile({}));
    }
    WriteText("registry/defaults.reg", "Windows Registry Editor Version 5.00\r\n");
    std::vector<uint8_t> icon = format::test_bytes::IconFile();
    for (const char* file : {"art/acme.ico", "art/folder.ico", "art/remove.ico"}) WriteBytes(file, icon);
  }

  toml::table Inspected() {
    CommandResult build = Build(kEveryKey);
    EXPECT_EQ(build.status, 0) << build.err;
    CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
    EXPECT_EQ(inspect.status, 0) << inspect.err;
    try {
      return toml::parse(inspect.out);
    } catch (const toml::parse_error& error) {
      ADD_FAILURE() << "inspect's output is not TOML: " << error << "\n" << inspect.out;
      return {};
    }
  }
};

TEST_F(InspectTest, EveryKeyOfTheProjectReadsBackUnderItsOwnName) {
  toml::table shown = Inspected();
  ExpectShown(toml::parse(kEveryKey), &shown, "");
  // Values that the installer keeps in another form.
  EXPECT_EQ(shown["messages"]["English"]["63"].value_or<std::string>(""), "contents of legal/LICENSE.txt");
  EXPECT_EQ(shown["messages"]["Deutsch"]["64"].value_or<std::string>(""), "contents of docs/README.txt");
  EXPECT_EQ(shown["messages"]["Deutsch"]["43"].value_or<std::string>(""), "Installation abgeschlossen");
  EXPECT_EQ(shown["wizard"]["page-styles"]["greeting"].value_or<std::string>(""), "white");
  EXPECT_EQ(shown["product"]["icon"]["bytes"].value_or<int64_t>(0), 1150);
  EXPECT_EQ(shown["files"][1]["name"].value_or<std::string>(""), "acmecore.dll");
  EXPECT_EQ(shown["files"][5]["to-uninstall-folder"].value_or(false), true);
}

TEST_F(InspectTest, JsonCarriesTheSameSettings) {
  toml::table shown = Inspected();
  CommandResult json = Run({"inspect", Path("setup.exe").string(), "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  std::ostringstream expected;
  expected << toml::json_formatter(shown) << '\n';
  EXPECT_EQ(json.out, expected.str());
}

TEST_F(InspectTest, TheFileTableNamesAbsoluteDestinations) {
  WriteText("app/defaults.ini", "[x]");
  ASSERT_EQ(Build("[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/defaults.ini\"\n"
                  "to = '%AppDataAllDir%\\Acme'\n")
                .status,
            0);
  CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
  EXPECT_NE(inspect.out.find("install-folder   %AppDataAllDir%\\Acme\\defaults.ini\n"), std::string::npos)
      << inspect.out;
}

}  // namespace
}  // namespace palisade::builder
