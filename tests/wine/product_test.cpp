// A product from project file to removal: palisade builds it, the engine
// installs it silently under Wine, and every file, value, log line and record
// entry is checked before the uninstaller removes it all again.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <thread>

#include "bitmap_file.h"
#include "format/dib_layout.h"
#include "format/product_flags.h"
#include "hand_script.h"
#include "icon_file.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kProject[] = R"([product]
name = "Acme Notes"
version = "2.1.0"
publisher = "Acme Software"
copyright = "(c) Acme Software"
icon = "art/acme.ico"

[wizard]
side-picture = "art/side.bmp"
banner-picture = "art/banner.bmp"

[uninstaller]
file = "Uninstall Acme Notes.exe"
subfolder = "uninstall"

[log]
every-file = true

[[files]]
from = "app/**"

[[files]]
from = "flags/read-only.txt"
attributes = ["read-only"]

[[files]]
from = "flags/hidden.txt"
attributes = ["hidden"]

[[files]]
from = "lib/acme.dll"
to = "lib"
kind = "version-checked"
version = "2.1.0.5"
)";

// The wizard's pictures, in place of the engine's.
const format::test_bytes::BitmapShape kSidePicture{.width = 4, .height = 8};
const format::test_bytes::BitmapShape kBannerPicture{.bitsPerPixel = 32, .gap = 12, .width = 16, .height = 2};
constexpr uint8_t kSideColour[] = {0x90, 0xC0, 0x30};  // blue, green, red

// The side picture in one colour: 24 bits, rows of 12 bytes without padding.
Bytes OneColourSidePicture() {
  Bytes file = format::test_bytes::BitmapFile(kSidePicture);
  for (size_t pixel = 14 + kSidePicture.headerSize; pixel < file.size(); pixel += 3) {
    std::copy(std::begin(kSideColour), std::end(kSideColour), file.begin() + static_cast<std::ptrdiff_t>(pixel));
  }
  return file;
}

constexpr int64_t kFileTime = 1700000000;  // 2023-11-14 22:13:20 UTC
constexpr char kInstall[] = "/Program Files/Acme Notes";
constexpr char kKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Notes";

// The entries of the record a first installation writes, in order.
constexpr char kRecordEntries[] =
    "~C:\\Program Files\\Acme Notes\r\n"
    "~C:\\Program Files\\Acme Notes\\uninstall\r\n"
    "C:\\Program Files\\Acme Notes\\notes.exe\r\n"
    "~C:\\Program Files\\Acme Notes\\sub\r\n"
    "~C:\\Program Files\\Acme Notes\\sub\\deeper\r\n"
    "|C:\\Program Files\\Acme Notes\\sub\\deeper\\r\xC3\xA9sum\xC3\xA9.txt\r\n"
    "C:\\Program Files\\Acme Notes\\read-only.txt\r\n"
    "C:\\Program Files\\Acme Notes\\hidden.txt\r\n"
    "~C:\\Program Files\\Acme Notes\\lib\r\n"
    "C:\\Program Files\\Acme Notes\\lib\\acme.dll\r\n"
    // The project's icon, shown for the product in the list of installed programs.
    "C:\\Program Files\\Acme Notes\\uninstall\\product.ico\r\n";

constexpr char kLogLines[] =
    "notes.exe >>> C:\\Program Files\\Acme Notes\\notes.exe\r\n"
    "r\xC3\xA9sum\xC3\xA9.txt >>> C:\\Program Files\\Acme Notes\\sub\\deeper\\r\xC3\xA9sum\xC3\xA9.txt\r\n"
    "read-only.txt >>> C:\\Program Files\\Acme Notes\\read-only.txt\r\n"
    "hidden.txt >>> C:\\Program Files\\Acme Notes\\hidden.txt\r\n"
    "acme.dll >>> C:\\Program Files\\Acme Notes\\lib\\acme.dll\r\n";

class Product : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = std::make_unique<WinePrefix>();
    project_ = prefix_->Path() + "/project";
    WriteFileAt("palisade.toml", kProject);
    WriteFileAt("app/notes.exe", "MZ not really a program");
    WriteFileAt("app/sub/deeper/r\xC3\xA9sum\xC3\xA9.txt", "accents");
    WriteFileAt("flags/read-only.txt", "locked");
    WriteFileAt("flags/hidden.txt", "hidden");
    WriteFileAt("lib/acme.dll", "library");
    Bytes icon = format::test_bytes::IconFile();
    WriteFileAt("art/acme.ico", std::string(icon.begin(), icon.end()));
    Bytes side = OneColourSidePicture(), banner = format::test_bytes::BitmapFile(kBannerPicture);
    WriteFileAt("art/side.bmp", std::string(side.begin(), side.end()));
    WriteFileAt("art/banner.bmp", std::string(banner.begin(), banner.end()));
    ASSERT_EQ(Build("palisade.toml", "AcmeSetup.exe"), "");
  }

  // What palisade says when it builds `project` into C:\`setup`.
  std::string Build(const std::string& project, const std::string& setup) {
    return CommandOutput(std::string(PALISADE_BIN_DIR) + "/palisade build '" + project_ + "/" + project + "' -o '" +
                         prefix_->DriveC() + "/" + setup + "' --quiet 2>&1");
  }

  void WriteFileAt(const std::string& relative, const std::string& text) {
    std::string path = project_ + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteBytes(path, Bytes(text.begin(), text.end()));
    timeval times[2] = {{kFileTime, 0}, {kFileTime, 0}};
    utimes(path.c_str(), times);
  }

  std::string Installed(const std::string& relative) { return prefix_->DriveC() + kInstall + "/" + relative; }

  std::string Attributes(const std::string& windowsPath) { return prefix_->Run({"cmd", "/c", "attrib", windowsPath}).out; }

  std::unique_ptr<WinePrefix> prefix_;
  std::string project_;
};

TEST_F(Product, InstallsEverythingItRecordsAndUninstallsWithoutATrace) {
  RunResult install = prefix_->Run({"C:\\AcmeSetup.exe", "/silent"});
  ASSERT_EQ(install.exitCode, 1);
  ASSERT_EQ(install.err, "");

  // The installer and the uninstaller it leaves show the product's icon and
  // name, not the engine's.
  for (std::string program : {prefix_->DriveC() + "/AcmeSetup.exe", Installed("uninstall/Uninstall Acme Notes.exe")}) {
    EXPECT_EQ(CommandOutput("wrestool -l '" + program + "' | grep -c 'type=group_icon\\|type=version'"), "2\n")
        << program;
    std::string version = CommandOutput("wrestool -x --raw --type=16 '" + program + "' | iconv -c -f UTF-16LE -t UTF-8 2>/dev/null | tr -c '[:print:]' ' '");
    EXPECT_NE(version.find("Acme Notes Setup"), std::string::npos) << version;
    EXPECT_NE(version.find("(c) Acme Software"), std::string::npos) << version;
    Bytes side = OneColourSidePicture();
    for (auto [number, packed] : {std::pair{2, Bytes(side.begin() + 14, side.end())},
                                  std::pair{3, format::test_bytes::PackedDib(kBannerPicture)}}) {
      std::string bitmap =
          CommandOutput("wrestool -x --raw --type=2 --name=" + std::to_string(number) + " '" + program + "'");
      EXPECT_EQ(Bytes(bitmap.begin(), bitmap.end()), packed) << program << ": bitmap " << number;
    }
  }

  struct FileCase {
    const char* path;
    const char* content;
  };
  for (const FileCase& f : {FileCase{"notes.exe", "MZ not really a program"},
                            FileCase{"sub/deeper/r\xC3\xA9sum\xC3\xA9.txt", "accents"},
                            FileCase{"read-only.txt", "locked"}, FileCase{"hidden.txt", "hidden"},
                            FileCase{"lib/acme.dll", "library"}}) {
    EXPECT_EQ(ReadFile(Installed(f.path)), f.content) << f.path;
    struct stat facts {};
    ASSERT_EQ(stat(Installed(f.path).c_str(), &facts), 0) << f.path;
    EXPECT_EQ(facts.st_mtime, kFileTime) << f.path;
  }
  EXPECT_NE(Attributes("C:\\Program Files\\Acme Notes\\read-only.txt").substr(0, 10).find('R'), std::string::npos);
  EXPECT_NE(Attributes("C:\\Program Files\\Acme Notes\\hidden.txt").substr(0, 10).find('H'), std::string::npos);

  std::string key = prefix_->Run({"reg", "query", kKey}).out;
  for (const char* value : {"DisplayName    REG_SZ    Acme Notes", "DisplayVersion    REG_SZ    2.1.0",
                            "Publisher    REG_SZ    Acme Software", "VersionMajor    REG_DWORD    0x2",
                            "VersionMinor    REG_DWORD    0x1",
                            "UninstallString    REG_SZ    \"C:\\Program Files\\Acme Notes\\uninstall\\Uninstall Acme "
                            "Notes.exe\" /u:\"Acme Notes\"",
                            "InstallLocation    REG_SZ    C:\\Program Files\\Acme Notes"}) {
    EXPECT_NE(key.find(value), std::string::npos) << value << "\n" << key;
  }

  std::string record = ReadFile(Installed("uninstall/Uninstall.DAT"));
  EXPECT_EQ(record.substr(0, record.find("\r\n\r\n") + 2), kRecordEntries);

  std::string log = ReadFile(Installed("uninstall/Install.log"));
  std::string header = std::regex_replace(log.substr(0, log.find("\r\n\r\n") + 4),
                                          std::regex("Install date: [0-9/: ]+"), "Install date: DATE");
  EXPECT_EQ(header.substr(header.find("Installation log")),
            "Installation log for: Acme Notes\r\nInstall date: DATE\r\nInstall type: New\r\n"
            "Install location: C:\\Program Files\\Acme Notes\r\nInstaller version: 39.0.1\r\n"
            "Product version: 2.1.0\r\nOperating system: " +
                header.substr(header.find("Operating system: ") + 18, header.find("\r\n\r\n") - header.find("Operating system: ") - 18) +
                "\r\n\r\n");
  EXPECT_NE(log.find(kLogLines), std::string::npos) << log;
  EXPECT_NE(log.find("Installation Complete"), std::string::npos) << log;

  RunResult uninstall =
      prefix_->Run({"C:\\Program Files\\Acme Notes\\uninstall\\Uninstall Acme Notes.exe", "/u:\"Acme Notes\"", "/silent"});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  for (const char* gone : {"notes.exe", "sub", "read-only.txt", "hidden.txt", "lib", "uninstall/Uninstall.DAT",
                           "uninstall/Install.log"}) {
    EXPECT_FALSE(FileExists(Installed(gone))) << gone;
  }
  EXPECT_NE(prefix_->Run({"reg", "query", kKey}).exitCode, 0);
  // The uninstaller leaves a batch behind that removes it and its folders
  // once it has ended.
  EXPECT_TRUE(WaitUntilGone(prefix_->DriveC() + kInstall, 20)) << "the installation folder stays";
}

// The pixels of a captured 24-bit screen within `area` that have the side
// picture's colour.
int SideColouredPixels(const std::string& capture, const Rect& area) {
  Bytes dib;
  format::DibLayout screen;
  if (!format::DibFromBitmapFile(Bytes(capture.begin(), capture.end()), dib) || !format::ReadDibLayout(dib, screen) ||
      screen.bitCount != 24) {
    return 0;
  }
  int count = 0;
  for (int y = std::max(area.top, 0); y < std::min(area.bottom, screen.height); ++y) {
    int row = screen.topDown ? y : screen.height - 1 - y;
    for (int x = std::max(area.left, 0); x < std::min(area.right, screen.width); ++x) {
      const uint8_t* pixel = &dib[screen.pixelOffset + static_cast<size_t>(row) * screen.stride + x * 3u];
      count += std::equal(std::begin(kSideColour), std::end(kSideColour), pixel);
    }
  }
  return count;
}

// An automatic run that shows its greeting: the page in the side-picture
// style paints the project's picture over its picture area, and Next
// installs.
TEST_F(Product, TheGreetingShowsTheProjectsSidePicture) {
  std::string project = ReadFile(project_ + "/palisade.toml");
  project.insert(project.find("[wizard]\n") + 9, "greeting-in-automatic-mode = true\n");
  WriteFileAt("greeting.toml", project);
  ASSERT_EQ(Build("greeting.toml", "AcmeGreeting.exe"), "");
  Started run = prefix_->Start({"C:\\AcmeGreeting.exe", "/a"});
  const std::string caption = "Acme Notes Setup";
  ASSERT_EQ(prefix_->WindowHelper({"wait", "--caption", caption}).exitCode, 0);
  Rect area = WindowRects(prefix_->WindowHelper({"rects", "--caption", caption}).out)["1021"];
  ASSERT_GT(area.Width(), 0);
  int pixels = (area.right - area.left) * (area.bottom - area.top), coloured = 0;
  // The page paints a moment after it shows.
  for (int attempt = 0; attempt < 40 && coloured < pixels / 2; ++attempt) {
    prefix_->WindowHelper({"capture", "C:\\screen.bmp"});
    coloured = SideColouredPixels(ReadFile(prefix_->DriveC() + "/screen.bmp"), area);
    if (coloured < pixels / 2) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EXPECT_GE(coloured, pixels / 2) << "of " << pixels << " pixels in the side picture's area";
  EXPECT_EQ(prefix_->WindowHelper({"press", "1001", "--caption", caption}).exitCode, 0);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
  EXPECT_EQ(ReadFile(Installed("notes.exe")), "MZ not really a program");
}

using format::test_bytes::Assembly;

// The hand-assembled script with the fields that would reach beyond the
// product replaced: no master product to look for, no registry merge, no
// notification or launch, no password, no firewall text, no conditional
// deletion, no shortcuts, no settings block; the folder is "Acme Notes"
// below Program Files. The rest stays as the fixture has it, texts in the
// "|" form and the long compact strings included.
Bytes HandBuiltProductScript() {
  namespace low = format::product_flags_low;
  format::test_bytes::HandScript s;
  s.Field(1) = Assembly()
                   .U32(low::kPreviousInstallation | low::kArchiveCompressed | low::kSingleInstance)  // ProductFlags low
                   .U32(0x04000805);                                                                 // ProductFlags high
  // The fixture's product is 32-bit only, which a 64-bit system refuses.
  if (kWindowsBits == 64) s.Field(13) = Assembly().U8(1);  // Bitness: 64-bit product
  s.Field(19) = Assembly().Compact("Acme Notes");  // installation folder rule
  s.Field(21) = Assembly().Blob("");               // registry merge text
  s.Field(22) = Assembly().Compact("");            // registry merge file text
  s.Field(43) = Assembly();                        // master product: not stored without its flag
  s.Field(51) = Assembly();                        // launch, open and notification texts
  for (int text = 0; text < 11; ++text) s.Field(51).Compact("");
  s.Field(54) = Assembly()
                    .Compact("")       // installation password
                    .Compact("t54")    // text
                    .Compact("")       // firewall exception text
                    .Compact("bin");   // AddToPathSubfolder
  s.Field(57) = Assembly().Narrow("~~THE END~~");  // conditional deletes: none
  s.Field(59) = Assembly().I32(0);                 // shortcuts: none
  s.Field(63) = Assembly().Blob("");               // settings block
  // Two languages, English the chosen one, every message written out.
  constexpr uint32_t kMessages = 200;
  s.Field(66) = Assembly().U32(kMessages);
  s.Field(68) = Assembly();
  for (uint32_t n = 0; n < kMessages; ++n) {
    const std::string digits = std::to_string(n);
    const std::u16string number(digits.begin(), digits.end());
    s.Field(68).Wide(u"Nachricht " + number).Wide(u"Message " + number);
  }
  return s.Bytes();
}

TEST(HandAssembledScript, ProductInstallsSilentlyAndUninstallsWithoutATrace) {
  WinePrefix prefix;
  InstallerRecipe recipe;
  recipe.scriptBytes = HandBuiltProductScript();
  recipe.files = {{"notes.txt", "hand-built"}, {"bin\\notes.dll", "library"}};
  WriteBytes(prefix.DriveC() + "/HandSetup.exe", BuildInstaller(recipe));
  const std::string folder = prefix.DriveC() + kInstall;
  const char kHandKey[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Notes 2";

  RunResult install = prefix.Run({"C:\\HandSetup.exe", "/silent"});
  ASSERT_EQ(install.exitCode, 1);
  EXPECT_EQ(install.err, "");
  EXPECT_EQ(ReadFile(folder + "/notes.txt"), "hand-built");
  EXPECT_EQ(ReadFile(folder + "/bin/notes.dll"), "library");
  std::string key = prefix.Run({"reg", "query", kHandKey}).out;
  for (const char* value : {"DisplayName    REG_SZ    Acme Notes", "Publisher    REG_SZ    Acme Software",
                            "HelpLink    REG_SZ    https://example.invalid/help"}) {
    EXPECT_NE(key.find(value), std::string::npos) << value << "\n" << key;
  }

  RunResult uninstall = prefix.Run(
      {"C:\\Program Files\\Acme Notes\\uninstall\\Uninstall Acme.exe", "/u:\"Acme Notes 2\"", "/silent"});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.err;
  EXPECT_EQ(uninstall.err, "");
  EXPECT_NE(prefix.Run({"reg", "query", kHandKey}).exitCode, 0);
  EXPECT_TRUE(WaitUntilGone(folder, 20)) << "the installation folder stays";
}

}  // namespace
}  // namespace palisade::testing
