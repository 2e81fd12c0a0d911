// The example products under examples/: each is made (its prepare script
// first, where it has one), installed and uninstalled by `palisade try`,
// and must install what its project file promises and leave nothing behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "wine_harness.h"

namespace palisade::testing {
namespace {

struct Example {
  const char* folder;
  // Paths of the report's "installed" list, as `palisade try` names them.
  std::vector<std::string> installs;
};

void PrintTo(const Example& example, std::ostream* out) { *out << example.folder; }

// An exact path as the JSON report quotes it.
std::string JsonPath(const std::string& path) {
  std::string quoted = "\"path\" : \"";
  for (char c : path) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

class Examples : public ::testing::TestWithParam<Example> {};

TEST_P(Examples, InstallWhatTheyPromiseAndLeaveNothingBehind) {
  const Example& example = GetParam();
  std::string folder = SourcePath(std::string("examples/") + example.folder);
  if (FileExists(folder + "/prepare")) {
    ASSERT_EQ(std::system(("'" + folder + "/prepare'").c_str()), 0) << "preparing " << example.folder;
  }

  std::string setup = ::testing::TempDir() + "palisade-example-" + example.folder + ".exe";
  auto [warnings, built] = Palisade("build --deny-warnings --quiet '" + folder + "/palisade.toml' -o '" + setup + "'");
  EXPECT_EQ(built, 0) << warnings;
  std::remove(setup.c_str());

  auto [report, status] = Palisade("try --json '" + folder + "/palisade.toml'");
  EXPECT_EQ(status, 0) << report;
  EXPECT_NE(report.find("\"uninstallExitCode\" : 0"), std::string::npos) << report;
  EXPECT_NE(report.find("\"leftBehind\" : []"), std::string::npos) << report;

  // The report's keys come in alphabetical order: "installed", then "installer".
  std::size_t begin = report.find("\"installed\"");
  ASSERT_NE(begin, std::string::npos) << report;
  std::string installed = report.substr(begin, report.find("\"installer\"") - begin);
  for (const std::string& path : example.installs) {
    EXPECT_NE(installed.find(JsonPath(path)), std::string::npos) << path << "\n" << report;
  }
}

const std::string kUninstallEntries = "HKLM\\software\\microsoft\\windows\\currentversion\\uninstall\\";
const std::string kUserPrograms = "C:/users/" + UserName() + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/";
const std::string kAllUsersPrograms = "C:/ProgramData/Microsoft/Windows/Start Menu/Programs/";
// The suite's runtime package is a 32-bit one: on a 64-bit system its
// entry, files and settings lie where 32-bit programs keep theirs.
const bool kSystem64 = kWindowsBits == 64;
const std::string kPackageEntries =
    kSystem64 ? "HKLM\\software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall\\" : kUninstallEntries;
const std::string kPackageFiles = kSystem64 ? "C:/Program Files (x86)/" : "C:/Program Files/";
const std::string kPackageSettings = kSystem64 ? "HKLM\\software\\wow6432node\\" : "HKLM\\software\\";

INSTANTIATE_TEST_SUITE_P(
    Each, Examples,
    ::testing::Values(
        Example{"tool", {"C:/Program Files/Tally/tally.exe", kUninstallEntries + "tally"}},
        Example{"notes",
                {// its files, and what its batch wrote
                 "C:/Program Files/Palisade Notes/notes.cmd", "C:/Program Files/Palisade Notes/docs/guide.txt",
                 "C:/Program Files/Palisade Notes/installed-on.txt",
                 // the shortcuts, the uninstaller's among them, in the current user's folders
                 "C:/users/" + UserName() + "/Desktop/Palisade Notes/Palisade Notes.LNK",
                 kUserPrograms + "Palisade/Notes/Palisade Notes.LNK",
                 kUserPrograms + "Palisade/Notes/Help/User Guide.LNK",
                 kUserPrograms + "Palisade/Notes/Uninstall Palisade Notes.LNK",
                 // the association
                 R"(HKLM\software\classes\.pnote: @="Palisade.Note")",
                 R"(HKLM\software\classes\palisade.note\shell\open\command: @="\"C:\\Program Files\\Palisade Notes\\notes.cmd\" \"%1\"")",
                 // the settings
                 R"(HKLM\software\palisade\notes: "InstallDir"="C:\\Program Files\\Palisade Notes")",
                 R"(HKCU\software\palisade\notes: "FirstRun"=dword:00000001)",
                 R"(HKCU\software\palisade\notes: "Theme"="light")",
                 R"(HKCU\software\palisade\notes\recent)"}},
        Example{"suite",
                {"C:/Program Files/Palisade Suite/writer.cmd", kAllUsersPrograms + "Palisade Suite/Palisade Writer.LNK",
                 kAllUsersPrograms + "Palisade Suite/Palisade Sheets.LNK",
                 // the shared dictionary and its count
                 "C:/Program Files/Common Files/Palisade/words.dic",
                 R"(HKLM\software\microsoft\windows\currentversion\shareddlls: "C:\\Program Files\\Common Files\\Palisade\\words.dic"=dword:00000001)",
                 // the font
                 "C:/windows/Fonts/PalisadeSuiteSans.ttf",
                 R"x(HKLM\software\microsoft\windows nt\currentversion\fonts: "Palisade Suite Sans (TrueType)"="PalisadeSuiteSans.ttf")x",
                 // the runtime package: its product entry, its file and its setting
                 kPackageEntries + "{a4dec04e-4280-4db1-b181-158223931ec9}",
                 kPackageFiles + "Palisade Runtime/runtime.txt",
                 kPackageSettings + R"(palisade\runtime: "Version"="1.2.0")"}}),
    [](const ::testing::TestParamInfo<Example>& info) { return std::string(info.param.folder); });

}  // namespace
}  // namespace palisade::testing
