// The `palisade` command line: help for every command, options written
// either way, the version, the summary of a build, outputs that would
// destroy an input, and the first project file of `init`.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "builder/cli.h"
#include "builder_test_support.h"
#include "icon_file.h"
#include "format/pe_image.h"
#include "format/version.h"
#include "pe32_plus_image.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;
using test_support::BuilderTest;
using test_support::CommandResult;

class CliTest : public BuilderTest {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    WriteText("app/a.txt", "alpha");
    WriteText("palisade.toml", test_support::kMinimalProject);
  }

  // `palisade build palisade.toml` with the stand-in engine and `options`.
  CommandResult BuildWith(const std::vector<std::string>& options) {
    std::vector<std::string> args = {"build", Path("palisade.toml").string(), "--engine", Path("engine.exe").string()};
    args.insert(args.end(), options.begin(), options.end());
    return Run(args, "1700000000");
  }
};

TEST_F(CliTest, EveryCommandHasHelp) {
  for (const char* command : {"build", "inspect", "extract", "try", "init", "schema", "version", "help"}) {
    for (const char* option : {"--help", "-h"}) {
      CommandResult result = Run({command, option});
      EXPECT_EQ(result.status, 0) << command << ' ' << option << ": " << result.err;
      EXPECT_TRUE(result.out.starts_with(std::string("usage: palisade ") + command)) << result.out;
      EXPECT_EQ(result.err, "");
    }
  }
  CommandResult general = Run({"--help"});
  EXPECT_EQ(general.status, 0);
  EXPECT_NE(general.out.find("commands:"), std::string::npos) << general.out;
}

TEST_F(CliTest, OptionValuesFollowTheOptionOrJoinItWithAnEqualsSign) {
  ASSERT_EQ(BuildWith({"-o", Path("spaced.exe").string(), "--jobs", "2", "--quiet"}).status, 0);
  CommandResult joined = BuildWith({"--output=" + Path("joined.exe").string(), "--jobs=2", "--quiet"});
  ASSERT_EQ(joined.status, 0) << joined.err;
  EXPECT_EQ(ReadBytes("joined.exe"), ReadBytes("spaced.exe"));
  CommandResult extract = Run({"extract", Path("joined.exe").string(), "--output=" + Path("out").string()});
  EXPECT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(test_support::ReadText(Path("out/a.txt")), "alpha");
}

struct BadArguments {
  std::vector<std::string> args;
  const char* problem;  // the first line on standard error
};

TEST_F(CliTest, BadArgumentsAreUsageErrors) {
  const BadArguments cases[] = {
      {{"build", "palisade.toml", "-o", "x.exe", "--quiet=yes"}, "palisade: --quiet takes no value"},
      {{"build", "palisade.toml", "-o", "x.exe", "--json"}, "palisade: unknown option --json for build"},
      {{"inspect", "setup.exe", "--output=x"}, "palisade: unknown option --output for inspect"},
      {{"build", "palisade.toml", "-o"}, "palisade: -o needs a value"},
      {{"build", "palisade.toml", "-o", "x.exe", "--jobs=0"}, "palisade: --jobs takes a number from 1 to 256"},
      {{"version", "extra"}, "palisade: version takes no arguments"},
      {{"schema", "palisade.toml"}, "palisade: schema takes no arguments"},
      {{"try", "a.toml", "b.exe"}, "palisade: try takes one project file or installer"},
      {{"try", "setup.exe", "--keep-prefix=yes"}, "palisade: --keep-prefix takes no value"},
      {{"try", "absent.exe"}, "palisade: \"absent.exe\" is not a file"},
      {{"bulid"}, "palisade: unknown command \"bulid\""},
      {{"init", "Acme", "Notes"}, "palisade: init takes at most one product name"},
      {{"init", "Acme: Notes"},
       "palisade: the product name \"Acme: Notes\" cannot name the installation folder: \":\" is not allowed in a "
       "name; give another name: palisade init NAME"},
      {{"init", "--name=Acme"}, "palisade: unknown option --name for init"},
  };
  for (const BadArguments& c : cases) {
    CommandResult result = Run(c.args);
    EXPECT_EQ(result.status, 2) << c.problem;
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.problem);
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(CliTest, VersionNamesTheBuilderAndTheEngine) {
  std::string expected = std::string("palisade ") + kBuilderVersion + " (engine " + format::kEngineVersion + ")\n";
  for (const char* command : {"version", "--version"}) {
    CommandResult result = Run({command});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, expected) << command;
  }
  EXPECT_STRNE(kBuilderVersion, "");
}

TEST_F(CliTest, ABuildEndsWithOneSummaryLineUnlessQuiet) {
  WriteText("app/sub/zeros.bin", std::string(100000, '\0'));
  CommandResult build = BuildWith({"-o", Path("setup.exe").string()});
  ASSERT_EQ(build.status, 0) << build.err;
  std::smatch parts;
  std::regex line("wrote (.*): ([0-9.]+) KiB, 2 files of 97\\.7 KiB compressed to ([0-9]+)%, in [0-9]+\\.[0-9] s\n");
  ASSERT_TRUE(std::regex_match(build.out, parts, line)) << build.out;
  EXPECT_EQ(parts[1], Path("setup.exe").string());
  EXPECT_NEAR(std::stod(parts[2]) * 1024, static_cast<double>(std::filesystem::file_size(Path("setup.exe"))), 52);
  EXPECT_LT(std::stoi(parts[3]), 5);  // zeros compress to almost nothing
  EXPECT_EQ(build.err, "");
  CommandResult quiet = BuildWith({"-o", Path("quiet.exe").string(), "-q"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
}

TEST_F(CliTest, TheOutputsFoldersAreMadeAsNeeded) {
  CommandResult build = BuildWith({"-o", Path("dist/release/setup.exe").string(), "--depfile",
                                   Path("deps/setup.d").string(), "-q"});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_TRUE(fs::is_regular_file(Path("dist/release/setup.exe")));
  EXPECT_TRUE(fs::is_regular_file(Path("deps/setup.d")));
}

TEST_F(CliTest, AnOutputThatIsOneOfTheInputsIsRefused) {
  struct Case {
    const char* output;
    const char* what;
  };
  const Case cases[] = {{"palisade.toml", "the project file"},
                        {"engine.exe", "the engine"},
                        {"app/a.txt", "\"APP\", a file the project packs"}};
  for (const Case& c : cases) {
    std::vector<uint8_t> before = ReadBytes(c.output);
    CommandResult result = BuildWith({"-o", Path(c.output).string()});
    std::string what = std::regex_replace(c.what, std::regex("APP"), Path("app").string() + "/a.txt");
    EXPECT_EQ(result.status, 2) << c.output;
    EXPECT_EQ(result.err, "palisade: the output " + Path(c.output).string() + " is " + what +
                              "; write the installer elsewhere\n");
    EXPECT_EQ(ReadBytes(c.output), before) << c.output;
  }
}

struct InitCase {
  const char* name;  // the argument of init, or null
  std::vector<std::string> files;
  const char* product;
  const char* shortcutTarget;  // null: no shortcut
};

// The project of `init` builds at once without warnings, packs every file
// of the folder but itself, and names the folder's one program.
TEST_F(CliTest, InitWritesAProjectThatBuildsAtOnce) {
  const InitCase cases[] = {
      {nullptr, {"bin/tool.exe", "readme.txt"}, "Acme Tools", "%InstallDir%\\bin\\tool.exe"},
      {"Bob's \"Q\" Notes", {"Q.EXE", "data/notes.db"}, nullptr, nullptr},
      {"Acme Suite", {"one.exe", "two.exe"}, "Acme Suite", nullptr},
      {"Café", {"doc.txt"}, "Café", nullptr},
  };
  for (const InitCase& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(folder name)");
    workingFolder_ = Path("Acme Tools");
    fs::remove_all(workingFolder_);
    for (const std::string& file : c.files) WriteText("Acme Tools/" + file, "contents of " + file);
    std::vector<std::string> args = {"init"};
    if (c.name) args.push_back(c.name);
    CommandResult init = Run(args);
    if (c.product == nullptr) {  // a name Windows cannot give a folder
      EXPECT_EQ(init.status, 2);
      EXPECT_FALSE(fs::exists(workingFolder_ / "palisade.toml"));
      continue;
    }
    ASSERT_EQ(init.status, 0) << init.err;
    fs::path project = workingFolder_ / "palisade.toml";
    CommandResult build = Run({"build", project.string(), "-o", Path("setup.exe").string(), "--engine",
                               Path("engine.exe").string(), "--deny-warnings", "--quiet"});
    ASSERT_EQ(build.status, 0) << build.err << test_support::ReadText(project);
    CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
    ASSERT_EQ(inspect.status, 0) << inspect.err;
    toml::table installer = toml::parse(inspect.out);
    EXPECT_EQ(installer["product"]["name"].value<std::string>(), c.product);
    EXPECT_EQ(installer["product"]["version"].value<std::string>(), "1.0.0");
    std::vector<std::string> packed;
    for (const toml::node& file : *installer["files"].as_array()) {
      packed.push_back(*file.as_table()->get("name")->value<std::string>());
    }
    std::vector<std::string> expected = c.files;
    for (std::string& name : expected) std::replace(name.begin(), name.end(), '/', '\\');
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(packed, expected);
    const toml::array* shortcuts = installer["shortcuts"].as_array();
    if (c.shortcutTarget == nullptr) {
      EXPECT_TRUE(shortcuts == nullptr || shortcuts->empty()) << inspect.out;
    } else {
      ASSERT_TRUE(shortcuts != nullptr && shortcuts->size() == 1) << inspect.out;
      EXPECT_EQ((*shortcuts)[0].as_table()->get("target")->value<std::string>(), c.shortcutTarget);
    }
  }
}

TEST_F(CliTest, InitLeavesAnExistingProjectAlone) {
  workingFolder_ = dir_;
  std::vector<uint8_t> before = ReadBytes("palisade.toml");
  CommandResult init = Run({"init"});
  EXPECT_EQ(init.status, 2);
  EXPECT_EQ(init.err, "palisade: " + Path("palisade.toml").string() +
                          " exists already; edit it, or remove it to start again\n");
  EXPECT_EQ(ReadBytes("palisade.toml"), before);
}

struct EnginePlace {
  const char* beside;     // what lies in bin/ beside palisade: "engine", "junk" or null
  const char* installed;  // and in share/palisade/
  int status;
};

// Without --engine, an installed palisade (PREFIX/bin) takes the engine from
// PREFIX/share/palisade, and one in the build tree the engine beside it.
TEST_F(CliTest, TheEngineIsFoundBesideTheBuilderOrWhereItIsInstalled) {
  const EnginePlace cases[] = {
      {"engine", nullptr, 0},
      {nullptr, "engine", 0},
      {"engine", "junk", 0},
      {"junk", "engine", 1},
      {nullptr, nullptr, 1},
  };
  std::vector<uint8_t> engine = ReadBytes("engine.exe");
  selfPath_ = Path("prefix/bin/palisade");
  for (const EnginePlace& c : cases) {
    SCOPED_TRACE(std::string(c.beside ? c.beside : "-") + " / " + (c.installed ? c.installed : "-"));
    fs::remove_all(Path("prefix"));
    for (auto [place, what] : {std::pair{"prefix/bin/palisade-engine.exe", c.beside},
                               std::pair{"prefix/share/palisade/palisade-engine.exe", c.installed}}) {
      if (what != nullptr) WriteBytes(place, std::string(what) == "engine" ? engine : std::vector<uint8_t>(64, 'j'));
    }
    CommandResult build = Run({"build", Path("palisade.toml").string(), "-o", Path("setup.exe").string(), "-q"});
    EXPECT_EQ(build.status, c.status) << build.err;
  }
}

struct EngineChoice {
  std::vector<std::string> option;  // --engine and its value, or nothing
  const char* fromEnvironment;      // PALISADE_ENGINE, or null
  int bits;                         // of the engine the installer carries
};

// "x86" and "x64" name the engines that come with palisade; PALISADE_ENGINE
// stands in for a missing --engine, and a path is taken as it is.
TEST_F(CliTest, EnginesAreChosenByNameOrPath) {
  const EngineChoice cases[] = {
      {{}, nullptr, 32},
      {{"--engine", "x86"}, nullptr, 32},
      {{"--engine", "x64"}, nullptr, 64},
      {{}, "x64", 64},
      {{"--engine", "x86"}, "x64", 32},
      {{"--engine", "given-x64.exe"}, "x86", 64},
  };
  selfPath_ = Path("prefix/bin/palisade");
  WriteBytes("prefix/bin/palisade-engine.exe", ReadBytes("engine.exe"));
  WriteBytes("prefix/bin/palisade-engine-x64.exe", format::test_bytes::Pe32PlusImage());
  fs::copy_file(Path("prefix/bin/palisade-engine-x64.exe"), Path("given-x64.exe"));
  for (const EngineChoice& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.option) + " / " + (c.fromEnvironment ? c.fromEnvironment : "-"));
    variables_.erase("PALISADE_ENGINE");
    if (c.fromEnvironment) variables_["PALISADE_ENGINE"] = c.fromEnvironment;
    std::vector<std::string> args = {"build", Path("palisade.toml").string(), "-o", Path("setup.exe").string(), "-q"};
    for (const std::string& part : c.option) args.push_back(part == "given-x64.exe" ? Path(part).string() : part);
    CommandResult build = Run(args);
    ASSERT_EQ(build.status, 0) << build.err;
    format::ExecutableHeaders headers;
    std::string problem;
    ASSERT_TRUE(format::LocateHeaders(ReadBytes("setup.exe"), headers, problem)) << problem;
    EXPECT_EQ(format::X86ProgramBits(headers), c.bits);
    fs::remove(Path("setup.exe"));
  }
}

// The paths of a make rule "TARGET: PREREQUISITE ...", unescaped as make
// reads them.
std::vector<std::string> MakeRulePaths(const std::string& rule) {
  std::vector<std::string> paths(1);
  for (std::size_t i = 0; i < rule.size(); ++i) {
    char c = rule[i];
    if (c == '\\' && i + 1 < rule.size() && rule[i + 1] != '\n') {
      paths.back() += rule[++i];
    } else if (c == '$' && i + 1 < rule.size() && rule[i + 1] == '$') {
      paths.back() += rule[++i];
    } else if (c == ' ' || c == '\n' || c == '\\') {
      if (!paths.back().empty()) paths.emplace_back();
    } else {
      paths.back() += c;
    }
  }
  if (paths.back().empty()) paths.pop_back();
  return paths;
}

// A build system rebuilds the installer when any file it was made from
// changes: the project, the engine, each packed file and each file the
// project names.
TEST_F(CliTest, TheDepfileNamesEveryFileTheInstallerIsBuiltFrom) {
  WriteText("app/read me #1 $5.txt", "spaces and make's special characters");
  WriteBytes("art/acme.ico", format::test_bytes::IconFile());
  WriteText("legal/licence.txt", "terms");
  WriteText("palisade.toml", std::string(test_support::kMinimalProject) +
                                 "\n[wizard]\nlicense = \"legal/licence.txt\"\n" +
                                 "[uninstaller]\nicon = \"art/acme.ico\"\n");
  CommandResult build = BuildWith({"-o", Path("setup.exe").string(), "--depfile", Path("setup.d").string(), "-q"});
  ASSERT_EQ(build.status, 0) << build.err;
  std::vector<std::string> rule = MakeRulePaths(test_support::ReadText(Path("setup.d")));
  ASSERT_FALSE(rule.empty());
  EXPECT_EQ(rule[0], Path("setup.exe").string() + ":");
  std::vector<std::string> inputs(rule.begin() + 1, rule.end());
  std::vector<std::string> expected = {Path("palisade.toml").string(), Path("engine.exe").string(),
                                       Path("app/a.txt").string(), Path("app/read me #1 $5.txt").string(),
                                       Path("art/acme.ico").string(), Path("legal/licence.txt").string()};
  std::sort(inputs.begin(), inputs.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(inputs, expected);
}

}  // namespace
}  // namespace palisade::builder
