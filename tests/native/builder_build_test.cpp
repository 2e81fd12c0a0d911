// Installers written by `palisade build`, read back by `inspect` and
// `extract`, and checked as executables.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "builder/installer_reader.h"
#include "builder/setup_resources.h"
#include "builder_test_support.h"
#include "format/checksum.h"
#include "format/payload_header.h"
#include "format/pe_image.h"
#include "pe32_plus_image.h"
#include "test_bytes.h"

namespace palisade::builder {
namespace {

using test_support::BuilderTest;
using test_support::CommandResult;
using test_support::kMinimalProject;

// Files that cross 1 KiB chunks, an empty one and a name beyond ASCII.
class BuildTest : public BuilderTest {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    WriteBytes("app/noise.bin", format::test_bytes::Noise(5000, 7));
    WriteText("app/empty.txt", "");
    WriteText("app/three.txt", "abc");
    WriteText("app/Données/café ✓.txt", "non-ASCII name\n");
  }

  std::string Project(std::string_view extra) const {
    return std::string(kMinimalProject) + "[compression]\nchunk-size-kib = 1\n" + std::string(extra);
  }

  void ExpectExtractedCopy(const std::string& folder) {
    for (const char* name : {"noise.bin", "empty.txt", "three.txt", "Données/café ✓.txt"}) {
      EXPECT_EQ(test_support::ReadText(Path(folder) / name), test_support::ReadText(Path("app") / name)) << name;
      struct stat original {
      }, extracted{};
      ASSERT_EQ(stat((Path("app") / name).c_str(), &original), 0);
      ASSERT_EQ(stat((Path(folder) / name).c_str(), &extracted), 0);
      EXPECT_EQ(extracted.st_mtime, std::min<time_t>(original.st_mtime, 1700000000)) << name;
    }
  }
};

std::vector<uint8_t> Stripped(std::span<const uint8_t> image, const format::SectionLocation& section) {
  return format::StripPayloadSection(image.first(section.rawOffset), image.subspan(section.rawOffset + section.rawSize),
                                     section);
}

// The engine as the minimal project's installer carries it, with the
// product's version resource.
std::vector<uint8_t> DressedEngine(const std::vector<uint8_t>& engine) {
  std::vector<uint8_t> dressed;
  std::string problem;
  SetupIdentity identity{"Acme Notes", "2.1.0", "", "", {}, {}, {}};
  EXPECT_TRUE(DressEngine(engine, identity, dressed, problem)) << problem;
  return dressed;
}

struct Coding {
  const char* name;
  const char* settings;
};

const Coding kCodings[] = {
    {"Stored", "enabled = false\n"},
    {"Compressed", ""},
    {"EncipheredWithKey", "enabled = false\n[encryption]\nenabled = true\nkey = \"0011223344556677\"\n"},
    {"CompressedAndEncipheredWithDerivedKey", "[encryption]\nenabled = true\n"},
};

class RoundTripTest : public BuildTest, public ::testing::WithParamInterface<Coding> {};

TEST_P(RoundTripTest, ExtractGivesBackEveryFile) {
  CommandResult build = Build(Project(GetParam().settings));
  ASSERT_EQ(build.status, 0) << build.err;
  CommandResult extract = Run({"extract", Path("setup.exe").string(), "-o", Path("out").string()});
  ASSERT_EQ(extract.status, 0) << extract.err;
  ExpectExtractedCopy("out");
  CommandResult inspect = Run({"inspect", Path("setup.exe").string(), "--json"});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  EXPECT_NE(inspect.out.find("\"name\" : \"Données\\\\café ✓.txt\""), std::string::npos) << inspect.out;
}

// The component kinds' own fields are shown with the file.
TEST_F(BuildTest, InspectShowsTheComponentFields) {
  WriteText("redist/runtime.msi", "package");
  WriteText("panel/acme.cpl", "applet");
  CommandResult build = Build(Project(
      "[[files]]\nfrom = \"redist/runtime.msi\"\nkind = \"msi\"\nmsi = { ui-level = \"none\" }\n"
      "[[files]]\nfrom = \"panel/acme.cpl\"\nkind = \"control-panel\"\n"
      "applet = { class-id = \"{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}\", name = \"Acme Settings\" }\n"));
  ASSERT_EQ(build.status, 0) << build.err;
  CommandResult inspect = Run({"inspect", Path("setup.exe").string(), "--json"});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  EXPECT_NE(inspect.out.find("\"ui-level\" : \"none\""), std::string::npos) << inspect.out;
  EXPECT_NE(inspect.out.find("\"name\" : \"Acme Settings\""), std::string::npos) << inspect.out;
  EXPECT_NE(inspect.out.find("\"class-id\" : \"{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}\""), std::string::npos)
      << inspect.out;
}

INSTANTIATE_TEST_SUITE_P(Codings, RoundTripTest, ::testing::ValuesIn(kCodings),
                         [](const ::testing::TestParamInfo<Coding>& info) { return info.param.name; });

TEST_F(BuildTest, SameInputsGiveTheSameBytes) {
  for (const char* settings : {"", "[encryption]\nenabled = true\n"}) {
    ASSERT_EQ(Build(Project(settings), "one.exe", {"--jobs", "1"}).status, 0);
    ASSERT_EQ(Build(Project(settings), "two.exe", {"--jobs", "4"}).status, 0);
    EXPECT_EQ(ReadBytes("one.exe"), ReadBytes("two.exe")) << settings;
  }
}

// The two builds of the engine: the stand-in for the 32-bit one and a
// hand-assembled 64-bit one.
struct EngineBuild {
  const char* name;
  std::vector<uint8_t> (*image)();
  const char* inspected;  // what inspect says the installer carries
  bool builds32OnlyProducts;  // runs where a product for 32-bit Windows only can be installed
};

const EngineBuild kEngineBuilds[] = {
    {"X86", test_support::StandInEngine, "32-bit x86", true},
    {"X64", format::test_bytes::Pe32PlusImage, "64-bit x64", false},
};

class EngineBuildTest : public BuildTest, public ::testing::WithParamInterface<EngineBuild> {
 protected:
  void SetUp() override {
    BuildTest::SetUp();
    WriteBytes("engine.exe", GetParam().image());
  }
};

TEST_P(EngineBuildTest, TheExecutableStaysValid) {
  ASSERT_EQ(Build(Project("")).status, 0);
  std::vector<uint8_t> image = ReadBytes("setup.exe");
  std::vector<uint8_t> engine = DressedEngine(ReadBytes("engine.exe"));
  format::SectionSearch search = format::FindPayloadSection(image);
  ASSERT_EQ(search.error, format::Error::kNone);
  ASSERT_TRUE(search.found);
  EXPECT_EQ(search.section.rawOffset, (engine.size() + 4095) / 4096 * 4096) << "the dressed engine's end, on a page";
  EXPECT_EQ(search.section.rawOffset + search.section.rawSize, image.size());
  uint32_t checksumAt = format::PeChecksumOffset(search.section.peHeader);
  EXPECT_EQ(format::PeChecksum(image, search.section.peHeader), image[checksumAt] | image[checksumAt + 1] << 8 |
                                                                    image[checksumAt + 2] << 16 |
                                                                    static_cast<uint32_t>(image[checksumAt + 3]) << 24);

  // Without its payload the installer is the engine with the product's
  // resources again, down to the image size and the section table; only the
  // PE checksum differs.
  std::vector<uint8_t> stripped = Stripped(image, search.section);
  ASSERT_EQ(stripped.size(), engine.size());
  for (std::size_t i = checksumAt; i < checksumAt + 4; ++i) stripped[i] = engine[i];
  EXPECT_EQ(stripped, engine);
}

TEST_P(EngineBuildTest, InspectNamesTheEngineAndExtractReadsIt) {
  ASSERT_EQ(Build(Project("")).status, 0);
  CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  EXPECT_NE(inspect.out.find("engine = '" + std::string(GetParam().inspected) + "'\n"), std::string::npos)
      << inspect.out;
  ASSERT_EQ(Run({"extract", Path("setup.exe").string(), "-o", Path("out").string()}).status, 0);
  ExpectExtractedCopy("out");
}

// The 64-bit engine runs on 64-bit Windows only, which refuses such a
// product: the build says so instead of writing an installer that cannot
// install anything.
TEST_P(EngineBuildTest, AProductFor32BitWindowsOnlyNeedsThe32BitEngine) {
  std::string project = Project("");
  const std::string version = "version = \"2.1.0\"\n";
  project.replace(project.find(version), version.size(), version + "bitness = \"32-only\"\n");
  CommandResult build = Build(project);
  if (GetParam().builds32OnlyProducts) {
    EXPECT_EQ(build.status, 0) << build.err;
  } else {
    EXPECT_EQ(build.status, 1);
    EXPECT_NE(build.err.find("bitness = \"32-only\" cannot be built on the 64-bit engine"), std::string::npos)
        << build.err;
    EXPECT_FALSE(std::filesystem::exists(Path("setup.exe")));
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineBuildTest, ::testing::ValuesIn(kEngineBuilds),
                         [](const ::testing::TestParamInfo<EngineBuild>& info) { return info.param.name; });

TEST_F(BuildTest, HeaderDescribesThePayload) {
  ASSERT_EQ(Build(Project("")).status, 0);
  OpenedInstaller installer;
  std::string problem;
  ASSERT_TRUE(OpenInstaller(Path("setup.exe"), installer, problem)) << problem;
  EXPECT_EQ(installer.header.entrySizes, (std::vector<int32_t>{15, 0, 5000, 3}));
  EXPECT_EQ(static_cast<std::size_t>(installer.header.archiveEnd),
            format::ArchiveStart(installer.header) + static_cast<std::size_t>(installer.header.archiveLength));
  EXPECT_TRUE(installer.stubMatches);
  EXPECT_EQ(installer.script.productName, "Acme Notes");
}

TEST_F(BuildTest, EmptyArchiveBuilds) {
  CommandResult build = Build("[product]\nname = \"Empty\"\nversion = \"1\"\n");
  ASSERT_EQ(build.status, 0) << build.err;
  CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
  EXPECT_EQ(inspect.status, 0) << inspect.err;
  EXPECT_NE(inspect.out.find("file-count = 0"), std::string::npos) << inspect.out;
}

TEST_F(BuildTest, InspectShowsAssociationsAndFirewallLines) {
  CommandResult build = Build(
      "[product]\nname = \"Acme\"\nversion = \"1\"\n"
      "[[associations]]\nextension = \".acmenote\"\nprog-id = \"Acme.Note\"\ndescription = \"Acme note\"\n"
      "verb-label = \"&Open\"\ncommand = 'acme.exe \"%1\"'\nicon = 'acme.exe,1'\n"
      "[[firewall]]\nport = 8080\nprotocols = [\"tcp\", \"udp\"]\nkeep = true\n");
  ASSERT_EQ(build.status, 0) << build.err;
  CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  for (const char* shown : {"description = 'Acme note'", "verb-label = '&Open'", "icon = 'acme.exe,1'",
                            "command = 'acme.exe \"%1\"'", "port = 8080",
                            "protocols = [ 'tcp', 'udp' ]"}) {
    EXPECT_NE(inspect.out.find(shown), std::string::npos) << shown << "\n" << inspect.out;
  }
}

struct Damage {
  const char* name;
  // Offset within the section of the byte to flip, from the header.
  std::function<std::size_t(const format::PayloadHeader&)> where;
  bool fixArchiveChecksum;  // so that the damage reaches the chunk checks
  const char* error;
};

const Damage kDamages[] = {
    {"Magic", [](const format::PayloadHeader&) { return std::size_t{0}; }, false,
     "corrupt installer: error 20 (the payload does not start with its magic number)"},
    {"ScriptBlock", [](const format::PayloadHeader& h) { return format::HeaderSize(h) + 20; }, false,
     "corrupt installer: error 47 (the setup script does not decipher or decompress)"},
    {"Archive", [](const format::PayloadHeader& h) { return format::ArchiveStart(h) + 40; }, false,
     "corrupt installer: error 55 (the archive does not match its checksum)"},
    {"Chunk", [](const format::PayloadHeader& h) { return format::ArchiveStart(h) + 40; }, true,
     "corrupt installer: error 62 (a chunk's stored bytes do not match its checksum)"},
};

class DamageTest : public BuildTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamageTest, InspectAndExtractReportTheEnginesError) {
  ASSERT_EQ(Build(Project("")).status, 0);
  std::vector<uint8_t> image = ReadBytes("setup.exe");
  format::SectionLocation section = format::FindPayloadSection(image).section;
  std::span<uint8_t> payload(image.data() + section.rawOffset, section.rawSize);
  format::PayloadHeader header;
  ASSERT_TRUE(format::ReadPayloadHeader(payload, header).ok());
  payload[GetParam().where(header)] ^= 0x55;
  if (GetParam().fixArchiveChecksum) {
    std::span<const uint8_t> archive;
    ASSERT_EQ(format::ArchiveInSection(payload, header, archive), format::Error::kNone);
    header.archiveChecksum = format::Checksum(archive);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(format::WritePayloadHeader(header, bytes));
    std::copy(bytes.begin(), bytes.end(), payload.begin());
  }
  WriteBytes("damaged.exe", image);
  std::string expected = "palisade: " + Path("damaged.exe").string() + ": " + GetParam().error + "\n";
  CommandResult inspect = Run({"inspect", Path("damaged.exe").string()});
  EXPECT_EQ(inspect.status, 1);
  EXPECT_EQ(inspect.err, expected);
  CommandResult extract = Run({"extract", Path("damaged.exe").string(), "-o", Path("out").string()});
  EXPECT_EQ(extract.status, 1);
  EXPECT_EQ(extract.err, expected);
}

INSTANTIATE_TEST_SUITE_P(Damages, DamageTest, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) { return info.param.name; });

TEST_F(BuildTest, TheBareEngineIsNotAnInstaller) {
  CommandResult inspect = Run({"inspect", Path("engine.exe").string()});
  EXPECT_EQ(inspect.status, 1);
  EXPECT_NE(inspect.err.find("carries no installation data"), std::string::npos) << inspect.err;
}

// The engines this tree builds, when they have been built: the payload
// must fit their section tables as well as the stand-ins'.
struct RealEngine {
  const char* name;
  const char* file;
};

class RealEngineTest : public BuildTest, public ::testing::WithParamInterface<RealEngine> {};

TEST_P(RealEngineTest, CarriesThePayload) {
  std::filesystem::path engine = std::filesystem::path(PALISADE_BIN_DIR) / GetParam().file;
  if (!std::filesystem::exists(engine)) GTEST_SKIP() << "no engine at " << engine;
  WriteText("palisade.toml", Project(""));
  CommandResult build =
      Run({"build", Path("palisade.toml").string(), "-o", Path("setup.exe").string(), "--engine", engine.string()},
          "1700000000");
  ASSERT_EQ(build.status, 0) << build.err;
  std::vector<uint8_t> image = ReadBytes("setup.exe");
  format::SectionSearch search = format::FindPayloadSection(image);
  ASSERT_TRUE(search.found);
  std::vector<uint8_t> stripped = Stripped(image, search.section);
  EXPECT_EQ(stripped.size(), DressedEngine(ReadBytes(engine.string())).size());
  EXPECT_EQ(Run({"extract", Path("setup.exe").string(), "-o", Path("out").string()}).status, 0);
  ExpectExtractedCopy("out");
}

const RealEngine kRealEngines[] = {{"X86", "palisade-engine.exe"}, {"X64", "palisade-engine-x64.exe"}};

INSTANTIATE_TEST_SUITE_P(Builds, RealEngineTest, ::testing::ValuesIn(kRealEngines),
                         [](const ::testing::TestParamInfo<RealEngine>& info) { return info.param.name; });

}  // namespace
}  // namespace palisade::builder
