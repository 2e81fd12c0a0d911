// `palisade try` before it runs anything: the installer must be a 32- or
// 64-bit x86 Windows program that this machine's Wine can run, and when the
// machine cannot run it the command says why and what to do, with status 3,
// in text and in JSON. No case here gets as far as starting Wine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <toml++/toml.h>

#include "builder_test_support.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;
using test_support::BuilderTest;
using test_support::CommandResult;
using test_support::ScopedVariable;

constexpr char kNo32Bit[] = "this machine cannot run 32-bit Windows programs; ";
constexpr char kNoWine[] = "this machine has no Wine; ";
constexpr char kWineRefused[] = "this machine cannot start Wine (Exec format error): ";
constexpr char kNotAProgram[] = "\" is not a 32- or 64-bit x86 Windows program";

class TryTest : public BuilderTest {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    WriteText("app/a.txt", "alpha");
    ASSERT_EQ(Build(test_support::kMinimalProject, "setup32.exe").status, 0);
    WriteBytes("setup64.exe", Program(0x8664, 0x20B));
    fs::create_directories(Path("bin"));
  }

  // The stand-in engine under another machine and optional-header magic:
  // all that `try` reads before it starts anything.
  static std::vector<uint8_t> Program(uint16_t machine, uint16_t magic) {
    std::vector<uint8_t> image = test_support::StandInEngine();
    test_support::Put16(image, 0x80 + 4, machine);
    test_support::Put16(image, 0x80 + 24, magic);
    return image;
  }

  // A `wine` in the folder that stands for PATH.
  void WriteWine(std::string_view text, mode_t mode) {
    WriteText("bin/wine", text);
    chmod(Path("bin/wine").c_str(), mode);
  }

  CommandResult Try(const std::string& installer, bool json) {
    std::vector<std::string> args = {"try", Path(installer).string()};
    if (json) args.push_back("--json");
    return Run(args);
  }

  // Status 3, the hint as the one line on standard error, and with --json
  // a report that carries the same hint.
  void ExpectCannotRun(const std::string& installer, std::string_view hint) {
    for (bool json : {false, true}) {
      SCOPED_TRACE(json ? "--json" : "text");
      CommandResult result = Try(installer, json);
      EXPECT_EQ(result.status, 3) << result.err;
      EXPECT_TRUE(result.err.starts_with(hint)) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
      std::ostringstream report;
      report << toml::json_formatter(toml::table{{"installer", Path(installer).string()},
                                                 {"cannotRun", result.err.substr(0, result.err.size() - 1)}})
             << '\n';
      EXPECT_EQ(result.out, json ? report.str() : "");
    }
  }
};

struct BitnessCase {
  const char* installer;
  const char* machineBits;  // PALISADE_WINDOWS_BITS
  const char* hint;         // how the line on standard error starts
};

// Only a 32-bit installer on a machine without 32-bit support is refused
// for its bitness; the others go on to look for Wine, which PATH lacks.
TEST_F(TryTest, AMachineWithoutThirtyTwoBitSupportRefusesOnlyThirtyTwoBitInstallers) {
  const BitnessCase cases[] = {
      {"setup32.exe", "64", kNo32Bit},
      {"setup32.exe", "32", kNoWine},
      {"setup64.exe", "64", kNoWine},
      {"setup64.exe", "32", kNoWine},
  };
  ScopedVariable path("PATH", Path("bin").string());
  for (const BitnessCase& c : cases) {
    SCOPED_TRACE(std::string(c.installer) + " on a " + c.machineBits + "-bit machine");
    variables_["PALISADE_WINDOWS_BITS"] = c.machineBits;
    ExpectCannotRun(c.installer, c.hint);
  }
  variables_["PALISADE_WINDOWS_BITS"] = "64";
  std::string hint = Try("setup32.exe", false).err;
  EXPECT_NE(hint.find("--engine x64"), std::string::npos) << hint;
  EXPECT_NE(hint.find("palisade-engine-x64.exe"), std::string::npos) << hint;
  EXPECT_NE(hint.find("docs/ci.md"), std::string::npos) << hint;
}

struct WineCase {
  const char* name;
  const char* wine;  // the text of `wine` on PATH; nullptr: none there
  mode_t mode;
  const char* hint;
};

// A missing Wine, one whose 32-bit loader the kernel refuses (Debian's
// `wine` script reports the refusal of the loader it execs; a `wine` that
// is itself of a format the kernel cannot run fails to start), and one that
// fails to start for another reason, which is named.
TEST_F(TryTest, AWineThatCannotStartIsNamedWithAHint) {
  const WineCase cases[] = {
      {"no wine", nullptr, 0, kNoWine},
      {"wine32 refused",
       "#!/bin/sh\necho \"/usr/bin/wine: 42: exec: /usr/lib/wine/wine: Exec format error\" >&2\nexit 2\n", 0700,
       kWineRefused},
      {"wine of no known format", "neither a script nor a program the kernel knows\n", 0700, kWineRefused},
      {"wine not executable", "#!/bin/sh\n", 0600, "this machine cannot start Wine: Permission denied; "},
  };
  ScopedVariable path("PATH", Path("bin").string());
  variables_["PALISADE_WINDOWS_BITS"] = "64";
  for (const WineCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Path("bin/wine"));
    if (c.wine != nullptr) WriteWine(c.wine, c.mode);
    ExpectCannotRun("setup64.exe", c.hint);
  }
}

struct ProgramCase {
  const char* name;
  std::vector<uint8_t> bytes;
};

// What is not an x86 Windows program is a mistake of the command line,
// found before the machine is asked anything.
TEST_F(TryTest, AnInstallerMustBeAnX86WindowsProgram) {
  std::vector<uint8_t> noSignature = Program(0x14C, 0x10B), cutShort = Program(0x14C, 0x10B);
  noSignature[0x80] = 'N';
  cutShort.resize(0x90);  // before the magic
  const ProgramCase cases[] = {
      {"32-bit machine, 64-bit magic", Program(0x14C, 0x20B)},
      {"64-bit machine, 32-bit magic", Program(0x8664, 0x10B)},
      {"ARM64", Program(0xAA64, 0x20B)},
      {"no PE signature", noSignature},
      {"headers cut short", cutShort},
      {"text", {'h', 'e', 'l', 'l', 'o'}},
      {"empty", {}},
  };
  variables_["PALISADE_WINDOWS_BITS"] = "32";
  for (const ProgramCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes("program.exe", c.bytes);
    CommandResult result = Try("program.exe", true);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "palisade: \"" + Path("program.exe").string() + kNotAProgram + "\n");
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(TryTest, TheMachinesBitsAreThirtyTwoOrSixtyFour) {
  for (const char* bits : {"48", "x64", "32 "}) {
    variables_["PALISADE_WINDOWS_BITS"] = bits;
    CommandResult result = Try("setup32.exe", false);
    EXPECT_EQ(result.status, 2) << bits;
    EXPECT_EQ(result.err, std::string("palisade: PALISADE_WINDOWS_BITS must be 32 or 64, not \"") + bits + "\"\n");
  }
}

// Without PALISADE_WINDOWS_BITS the machine is asked with a probe program
// written into TMPDIR, which goes again whatever the answer.
TEST_F(TryTest, TheProbeLeavesNothingInTheTemporaryFolder) {
  ScopedVariable path("PATH", Path("bin").string());
  fs::create_directories(Path("tmp"));
  {
    ScopedVariable tmp("TMPDIR", Path("tmp").string());
    CommandResult result = Try("setup32.exe", false);
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_TRUE(result.err.starts_with(kNo32Bit) || result.err.starts_with(kNoWine)) << result.err;
    EXPECT_TRUE(fs::is_empty(Path("tmp")));
  }
  ScopedVariable tmp("TMPDIR", Path("absent").string());
  CommandResult result = Try("setup32.exe", false);
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(result.err.starts_with("palisade: cannot write a probe into ")) << result.err;
}

}  // namespace
}  // namespace palisade::builder
