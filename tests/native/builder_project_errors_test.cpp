// A bad project file stops the build with one line per mistake, in the form
// editors understand, exit status 2, and no output file.
#include <gtest/gtest.h>

#include "builder_test_support.h"

namespace palisade::builder {
namespace {

using test_support::BuilderTest;

struct BadProject {
  const char* name;
  const char* project;  // line 1 is the first line of the text
  const char* error;    // what follows "FILE"
};

const BadProject kBadProjects[] = {
    {"MisspelledKey", "[product]\nname = \"A\"\nversion = \"1\"\ninstal-folder = \"A\"\n",
     ":4: unknown key \"instal-folder\" in [product]; did you mean \"install-folder\"?"},
    {"MisspelledTable", "[product]\nname = \"A\"\nversion = \"1\"\n[wizzard]\n",
     ":4: unknown key \"wizzard\" in the project file; did you mean \"wizard\"?"},
    {"MissingName", "[product]\nversion = \"1\"\n", ":1: missing key \"name\" in [product]; add name = \"Acme Notes\""},
    {"MissingProduct", "[wizard]\ngreeting = false\n",
     ": missing table [product]; add [product] with a name and a version"},
    {"BadWord", "[product]\nname = \"A\"\nversion = \"1\"\nbitness = \"63\"\n",
     ":4: bad value \"63\" for \"bitness\" in [product]; did you mean \"64\"?"},
    {"BadProgressPlacement", "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nprogress-placement = \"top\"\n",
     ":5: bad value \"top\" for \"progress-placement\" in [wizard]; expected one of \"center\", \"top-center\", "
     "\"bottom-center\", \"top-left\", \"top-right\", \"bottom-left\", \"bottom-right\""},
    {"WrongType", "[product]\nname = \"A\"\nversion = \"1\"\nsingle-instance = \"yes\"\n",
     ":4: \"single-instance\" in [product] must be true or false; found a text"},
    {"VersionAsNumber", "[product]\nname = \"A\"\nversion = 2.1\n",
     ":3: \"version\" in [product] must be a text; found a fractional number"},
    {"OutOfRange", "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nminimum-status-time = 10000\n",
     ":5: \"minimum-status-time\" in [wizard] is 10000, outside 0 to 9999; use a number from 0 to 9999"},
    {"BadColour", "[product]\nname = \"A\"\nversion = \"1\"\n[background]\ntitle-color = \"red\"\n",
     ":5: bad colour \"red\" for \"title-color\" in [background]; write a colour as \"#RRGGBB\", for example "
     "\"#1E3A5F\""},
    {"NoMatchingFile", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"missing/**\"\n",
     ":5: no file matches \"missing/**\"; patterns are relative to the project file's folder"},
    {"FileInstalledTwice",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\n[[files]]\nfrom = \"app/sub/b.txt\"\n"
     "rename = \"A.TXT\"\n",
     ":7: \"A.TXT\" is installed twice; the [[files]] entry at line 4 installs the same file"},
    {"FontWithoutFaceName",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"font\"\n",
     ":6: a font needs its face name; add font-name = \"Acme Sans\""},
    {"SystemFileInSubfolder",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/**/b.txt\"\nkind = \"system-shared\"\n",
     ":5: the file \"sub/b.txt\" lies in a subfolder, but files of this kind go into one folder; match the files "
     "without their folders, or use another kind"},
    {"MessageLosesItsArgument",
     "[product]\nname = \"A\"\nversion = \"1\"\n[messages.English]\n81 = \"Needs %s bits\"\n",
     ":5: message 81 is formatted with %d, but the text has %s; use %% for a percent sign"},
    {"MessageNumberOutOfRange", "[product]\nname = \"A\"\nversion = \"1\"\n[messages.English]\n10000 = \"x\"\n",
     ":5: bad message number \"10000\" in [messages.English]; message numbers are whole numbers from 0 to 9999"},
    {"UnlistedLanguage",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nlanguages = [\"English\", \"Deutsch\"]\n"
     "[messages.Deutch]\n42 = \"Fertig\"\n",
     ":6: unknown key \"Deutch\" in [messages]; did you mean \"Deutsch\"?"},
    {"BadRegistryRoot", "[product]\nname = \"A\"\nversion = \"1\"\n[[registry]]\nkey = 'HKXX\\Software'\n",
     ":5: bad registry key \"HKXX\\Software\"; start it with HKLM, HKCU, HKCR, HKU, HKCC, HKDD or HKAU and a "
     "backslash"},
    {"FirewallProgramAndPort",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[firewall]]\nprogram = \"a.exe\"\nport = 80\n",
     ":5: a [[firewall]] entry names either a program or a port; give exactly one of program = \"...\" and port = "
     "8080"},
    {"ShortKey", "[product]\nname = \"A\"\nversion = \"1\"\n[encryption]\nenabled = true\nkey = \"abc\"\n",
     ":6: bad \"key\" in [encryption]; write 8 bytes as 16 hexadecimal digits"},
    {"UnknownKeyInFileShortcut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nshortcut = { desktp = true }\n",
     ":6: unknown key \"desktp\" in the shortcut of [[files]]; did you mean \"desktop\"?"},
    {"ToClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = \"../../Windows\"\n",
     ":6: \"to\" = \"..\\..\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToOnADrive",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = 'C:\\Windows'\n",
     ":6: \"to\" = \"C:\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToOnANetworkPath",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '\\\\server\\share'\n",
     ":6: \"to\" = \"\\\\server\\share\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToFromTheRoot",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '\\Windows'\n",
     ":6: \"to\" = \"\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToClimbsOutOfItsVariable",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '%AppDataDir%\\..\\..\\Windows'\n",
     ":6: \"to\" = \"%AppDataDir%\\..\\..\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"SharedFileClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"shared-folder\"\nto = \"sub/../..\"\n",
     ":7: \"to\" = \"sub\\..\\..\" would leave the shared folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"RenameClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nrename = \"..\"\n",
     ":6: \"rename\" = \"..\" would leave the installation folder; give a plain file name, without \":\""},
    {"RenameOnADrive",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nrename = \"C:evil.txt\"\n",
     ":6: \"rename\" = \"C:evil.txt\" would leave the installation folder; give a plain file name, without \":\""},
    {"MatchedNameClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"odd/**\"\n",
     ":5: the file \"..\\..\\evil.txt\" would be installed outside the installation folder; rename the file, or "
     "leave it out with \"exclude\""},
    {"InstallFolderValueWithoutValueName",
     "[product]\nname = \"A\"\nversion = \"1\"\ninstall-folder-value = 'HKLM\\Software'\n",
     ":4: bad registry value \"HKLM\\Software\" for \"install-folder-value\" in [product]; write the root, the key "
     "and the value name, such as 'HKLM\\Software\\Acme\\InstallDir'"},
    {"InstallFolderValueWithUnknownRoot",
     "[product]\nname = \"A\"\nversion = \"1\"\ninstall-folder-value = 'HKXX\\Software\\Acme\\Dir'\n",
     ":4: bad registry value \"HKXX\\Software\\Acme\\Dir\" for \"install-folder-value\" in [product]; write the "
     "root, the key and the value name, such as 'HKLM\\Software\\Acme\\InstallDir'"},
    {"IconThatIsNoIcon", "[product]\nname = \"A\"\nversion = \"1\"\n[uninstaller]\nicon = \"app/a.txt\"\n",
     ":5: \"icon\" in [uninstaller] is not an icon file; save the icon as .ico"},
    {"VersionSettingOnTwoLines",
     "[product]\nname = \"A\"\nversion = \"1\"\n[upgrade]\nno-downgrade-below = \"2.0\\nRebootMarker=1\"\n",
     ":5: \"no-downgrade-below\" in [upgrade] holds a line break; write it on one line"},
    {"DesktopFolderIconNotAnIcon",
     "[product]\nname = \"A\"\nversion = \"1\"\ndesktop-folder = true\ndesktop-folder-icon = \"app/a.txt\"\n",
     ":5: \"desktop-folder-icon\" in [product] is not an icon file; save the icon as .ico"},
    {"DesktopFolderIconWithoutFolder",
     "[product]\nname = \"A\"\nversion = \"1\"\ndesktop-folder-icon = \"folder.ico\"\n",
     ":4: a desktop folder icon without a desktop folder; add desktop-folder = true or a folder name"},
    {"TomlSyntax", "[product]\nname = \"A\"\nversion =\n",
     ":3: Error while parsing key-value pair: expected value, saw '\\n'; the project file is TOML; check the syntax "
     "at column 10"},
};

class ProjectErrorTest : public BuilderTest, public ::testing::WithParamInterface<BadProject> {};

TEST_P(ProjectErrorTest, ReportsTheLineAndWritesNothing) {
  WriteText("app/a.txt", "a");
  WriteText("app/sub/b.txt", "b");
  // One file name that Windows reads as two steps up.
  WriteText("odd/..\\..\\evil.txt", "x");
  // One picture of one byte, right after the directory.
  WriteText("folder.ico", std::string("\0\0\1\0\1\0" "\x10\x10\0\0\1\0\x20\0" "\1\0\0\0" "\x16\0\0\0" "F", 23));
  test_support::CommandResult result = Build(GetParam().project);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, Path("palisade.toml").string() + GetParam().error + "\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find("setup.exe"), std::string::npos) << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(BadProjects, ProjectErrorTest, ::testing::ValuesIn(kBadProjects),
                         [](const ::testing::TestParamInfo<BadProject>& info) { return info.param.name; });

TEST_F(BuilderTest, EveryMistakeOfOneFileIsReported) {
  test_support::CommandResult result =
      Build("[product]\nname = \"A\"\nversion = \"1\"\nbitnes = \"64\"\n[wizard]\nstyle = \"fancy\"\n");
  EXPECT_EQ(result.status, 2);
  std::string file = Path("palisade.toml").string();
  EXPECT_EQ(result.err, file + ":4: unknown key \"bitnes\" in [product]; did you mean \"bitness\"?\n" + file +
                            ":6: bad value \"fancy\" for \"style\" in [wizard]; expected one of \"plain\", "
                            "\"side-picture\", \"banner\", \"white\"\n");
}

TEST_F(BuilderTest, UnwritableOutputFailsWithoutLeavingAFile) {
  WriteText("app/a.txt", "a");
  test_support::CommandResult result = Build(test_support::kMinimalProject, "missing-folder/setup.exe");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot create a file beside"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(Path("missing-folder")));
}

TEST_F(BuilderTest, MissingEngineIsNamed) {
  WriteText("app/a.txt", "a");
  WriteText("palisade.toml", test_support::kMinimalProject);
  test_support::CommandResult result = Run({"build", Path("palisade.toml").string(), "-o", Path("setup.exe").string(),
                                            "--engine", Path("nowhere.exe").string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("nowhere.exe"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(Path("setup.exe")));
}

TEST_F(BuilderTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> usages = {{},
                                                        {"frobnicate"},
                                                        {"build"},
                                                        {"build", "p.toml"},
                                                        {"build", "p.toml", "-o"},
                                                        {"build", "p.toml", "-o", "x", "--jobs", "0"},
                                                        {"inspect"},
                                                        {"extract", "setup.exe"},
                                                        {"inspect", "a.exe", "--colour"}};
  for (const std::vector<std::string>& args : usages) {
    test_support::CommandResult result = Run(args);
    EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(result.err.find("usage: palisade"), std::string::npos);
  }
}

}  // namespace
}  // namespace palisade::builder
