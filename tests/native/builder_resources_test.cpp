// The setup executable's own resources: the product's icon and version
// resource written into the engine, read back by hand-assembled layouts and
// by icoutils' wrestool and icotool; and the version read from a product's
// executable.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap_file.h"
#include "builder/pe_resources.h"
#include "builder/setup_resources.h"
#include "builder/version_resource.h"
#include "builder_test_support.h"
#include "byte_assembly.h"
#include "format/byte_order.h"
#include "icon_file.h"
#include "pe32_plus_image.h"
#include "test_bytes.h"

namespace palisade::builder {
namespace {

using format::test_bytes::Assembly;
using format::test_bytes::BitmapFile;
using format::test_bytes::BitmapShape;
using format::test_bytes::FirstDifference;
using format::test_bytes::IconFile;
using format::test_bytes::PackedDib;
using test_support::BuilderTest;
using test_support::CommandResult;

// The stand-in engine's fourth section: where the fixtures put their
// resource directory.
constexpr uint32_t kResourceAddress = 0x4000;
constexpr std::size_t kResourceRaw = 0xA00;
constexpr std::size_t kResourceDirectoryEntry = 0x80 + 24 + 96 + 2 * 8;

constexpr std::size_t kResourceSectionEntry = 0x80 + 24 + 224 + 3 * 40;

// The stand-in engine with `section` as its fourth section's data, named
// as linkers name it and grown to hold it, and the resource directory
// pointing at it.
std::vector<uint8_t> WithResourceSection(std::vector<uint8_t> image, const Assembly& section) {
  uint32_t rawSize = static_cast<uint32_t>((section.size() + 0x1FF) / 0x200 * 0x200);
  image.resize(kResourceRaw + rawSize, 0);
  std::copy(section.bytes().begin(), section.bytes().end(), image.begin() + kResourceRaw);
  std::memcpy(image.data() + kResourceSectionEntry, ".rsrc", 5);
  test_support::Put32(image, kResourceSectionEntry + 8, rawSize);   // virtual size
  test_support::Put32(image, kResourceSectionEntry + 16, rawSize);  // raw size
  test_support::Put32(image, kResourceDirectoryEntry, kResourceAddress);
  test_support::Put32(image, kResourceDirectoryEntry + 4, static_cast<uint32_t>(section.size()));
  return image;
}

// A resource directory of three resources: an icon image, the icon group
// "MAINICON" that lists it, and a manifest.
Assembly EngineResources() {
  Assembly a;
  a.U32(0).U32(0).U16(0).U16(0)         // root table: characteristics, time, version
      .U16(0).U16(3)                    // no named entries, three numbered
      .U32(3).U32(0x80000028)           // type 3 (icon): table at 0x28
      .U32(14).U32(0x80000040)          // type 14 (icon group): table at 0x40
      .U32(24).U32(0x80000058);         // type 24 (manifest): table at 0x58
  a.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1)  // 0x28: the icons
      .U32(1).U32(0x80000070);                  // icon 1: table at 0x70
  a.U32(0).U32(0).U16(0).U16(0).U16(1).U16(0)  // 0x40: the icon groups
      .U32(0x800000B8).U32(0x80000088);         // "MAINICON" (text at 0xB8): table at 0x88
  a.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1)  // 0x58: the manifests
      .U32(1).U32(0x800000A0);                  // manifest 1: table at 0xA0
  a.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1)  // 0x70: icon 1's languages
      .U32(0x409).U32(0xCC);                    // US English: data entry at 0xCC
  a.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1)  // 0x88: "MAINICON"'s languages
      .U32(0x409).U32(0xDC);                    // data entry at 0xDC
  a.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1)  // 0xA0: manifest 1's languages
      .U32(0x409).U32(0xEC);                    // data entry at 0xEC
  a.U16(8).Raw(format::test_bytes::Utf16Le(u"MAINICON")).AlignTo(4);  // 0xB8: length, then UTF-16
  a.U32(kResourceAddress + 0x100).U32(8).U32(0).U32(0);   // 0xCC: icon data: address, size, code page
  a.U32(kResourceAddress + 0x108).U32(20).U32(0).U32(0);  // 0xDC: group data
  a.U32(kResourceAddress + 0x120).U32(11).U32(0).U32(0);  // 0xEC: manifest data
  a.AlignTo(0x100).Raw("ICONDATA");  // 0x100: the icon image
  a.U16(0).U16(1).U16(1)             // 0x108: group header: reserved, type icon, one image
      .U8(16).U8(16).U8(0).U8(0)     // 16 x 16, no palette
      .U16(1).U16(32).U32(8)         // planes, bits per pixel, image size
      .U16(1);                       // image number 1
  a.AlignTo(8).Raw("<assembly/>");   // 0x120: the manifest
  return a;
}

// The root block of a version resource of `length` bytes: its fixed file
// information with the same file and product version, high and low words.
Assembly VersionRoot(uint16_t length, uint32_t versionHigh, uint32_t versionLow, uint32_t fileType) {
  Assembly a;
  a.U16(length).U16(52).U16(0).Wide(u"VS_VERSION_INFO").AlignTo(4);  // length, fixed info size, binary
  a.U32(0xFEEF04BD).U32(0x00010000)   // signature, structure version
      .U32(versionHigh).U32(versionLow)  // file version
      .U32(versionHigh).U32(versionLow)  // product version
      .U32(0x3F).U32(0)                  // flags mask, flags
      .U32(0x40004).U32(fileType).U32(0)  // NT Windows 32, application (1) or library (2), no subtype
      .U32(0).U32(0);                    // no date
  return a;
}

// The version resource of "Acme Notes" 2.1b by Acme Software.
std::vector<uint8_t> AcmeVersionResource() {
  Assembly a = VersionRoot(560, 0x00020001, 0, 1);  // 2.1.0.0, an application
  a.U16(398).U16(0).U16(1).Wide(u"StringFileInfo").AlignTo(4);
  a.U16(362).U16(0).U16(1).Wide(u"040904B0").AlignTo(4);          // US English, Unicode
  a.U16(60).U16(14).U16(1).Wide(u"CompanyName").AlignTo(4).Wide(u"Acme Software").AlignTo(4);
  a.U16(74).U16(17).U16(1).Wide(u"FileDescription").AlignTo(4).Wide(u"Acme Notes Setup").AlignTo(4);
  a.U16(42).U16(5).U16(1).Wide(u"FileVersion").AlignTo(4).Wide(u"2.1b").AlignTo(4);
  a.U16(54).U16(9).U16(1).Wide(u"LegalCopyright").AlignTo(4).Wide(u"(c) Acme").AlignTo(4);
  a.U16(54).U16(11).U16(1).Wide(u"ProductName").AlignTo(4).Wide(u"Acme Notes").AlignTo(4);
  a.U16(46).U16(5).U16(1).Wide(u"ProductVersion").AlignTo(4).Wide(u"2.1b");
  a.AlignTo(4).U16(68).U16(0).U16(1).Wide(u"VarFileInfo").AlignTo(4);
  a.U16(36).U16(4).U16(0).Wide(u"Translation").AlignTo(4).U16(0x409).U16(1200);  // US English, Unicode
  return a.bytes();
}

const SetupIdentity kAcme = {"Acme Notes", "2.1b", "Acme Software", "(c) Acme", {}, {}, {}};

const Resource* Find(const std::vector<Resource>& resources, const ResourceId& type, const ResourceId& name) {
  for (const Resource& resource : resources) {
    if (resource.type == type && resource.name == name) return &resource;
  }
  return nullptr;
}

TEST(PeResources, ReadsAHandAssembledDirectory) {
  std::vector<Resource> resources;
  std::string problem;
  ASSERT_TRUE(ReadResources(WithResourceSection(test_support::StandInEngine(), EngineResources()), resources, problem))
      << problem;
  ASSERT_EQ(resources.size(), 3u);
  EXPECT_EQ(resources[0].type, (ResourceId{3, {}}));
  EXPECT_EQ(resources[0].name, (ResourceId{1, {}}));
  EXPECT_EQ(resources[0].language, 0x409);
  EXPECT_EQ(std::string(resources[0].data.begin(), resources[0].data.end()), "ICONDATA");
  EXPECT_EQ(resources[1].name, (ResourceId{0, u"MAINICON"}));
  EXPECT_EQ(resources[1].data.size(), 20u);
  EXPECT_EQ(std::string(resources[2].data.begin(), resources[2].data.end()), "<assembly/>");
}

TEST(PeResources, ReadsTheDirectoryOfA64BitImage) {
  std::vector<Resource> resources;
  std::string problem;
  ASSERT_TRUE(ReadResources(format::test_bytes::Pe32PlusImage(), resources, problem)) << problem;
  ASSERT_EQ(resources.size(), 1u);
  EXPECT_EQ(resources[0].type, (ResourceId{10, {}}));
  EXPECT_EQ(resources[0].name, (ResourceId{7, {}}));
  EXPECT_EQ(resources[0].language, 0x809);
  EXPECT_EQ(resources[0].codePage, 1252u);
  EXPECT_EQ(std::string(resources[0].data.begin(), resources[0].data.end()), "x64 engine");
}

// The 64-bit engine's resources are rewritten where they stand, as the
// 32-bit engine's are: its relocations move behind them and the directory
// entries that PE32+ keeps 16 bytes further on follow.
TEST(SetupResources, A64BitEnginesResourceSectionIsRewrittenWhereItStands) {
  namespace plus = format::test_bytes::pe32_plus;
  std::vector<uint8_t> engine = format::test_bytes::Pe32PlusImage(), dressed;
  std::string problem;
  ASSERT_TRUE(DressEngine(engine, kAcme, dressed, problem)) << problem;
  const uint32_t pe = plus::kPeHeader;
  EXPECT_EQ(dressed[pe + 6], 4) << "no section added";
  const std::size_t resourceEntry = plus::kSectionTable + 2 * 40, relocationEntry = resourceEntry + 40;
  const uint32_t resourceSize = format::LoadLe32(dressed.data() + resourceEntry + 8);
  EXPECT_EQ(format::LoadLe32(dressed.data() + pe + plus::kResourceDirectoryField), plus::kResourceAddress);
  EXPECT_EQ(format::LoadLe32(dressed.data() + pe + plus::kResourceDirectoryField + 4), resourceSize);
  const uint32_t relocationAddress = format::LoadLe32(dressed.data() + relocationEntry + 12);
  EXPECT_EQ(relocationAddress, (plus::kResourceAddress + resourceSize + plus::kSectionAlignment - 1) /
                                   plus::kSectionAlignment * plus::kSectionAlignment);
  EXPECT_EQ(format::LoadLe32(dressed.data() + pe + plus::kRelocationDirectoryField),
            relocationAddress + plus::kRelocationDirectory - 0x8000);
  EXPECT_EQ(format::LoadLe32(dressed.data() + pe + 160), 0x4000u) << "the exception directory stays";
  std::vector<Resource> resources;
  ASSERT_TRUE(ReadResources(dressed, resources, problem)) << problem;
  const Resource* version = Find(resources, {16, {}}, {1, {}});
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->data, AcmeVersionResource());
  EXPECT_NE(Find(resources, {10, {}}, {7, {}}), nullptr) << "the engine's own resource stays";
}

TEST(PeResources, AnUnknownOptionalHeaderIsRefused) {
  std::vector<uint8_t> image = format::test_bytes::Pe32PlusImage();
  test_support::Put16(image, format::test_bytes::pe32_plus::kPeHeader + 24, 0x107);
  std::vector<Resource> resources;
  std::string problem;
  EXPECT_FALSE(ReadResources(image, resources, problem));
  EXPECT_EQ(problem, "the executable is neither PE32 nor PE32+ (optional-header magic 0x107)");
}

TEST(PeResources, ADamagedDirectoryIsRefused) {
  Assembly section = EngineResources();
  std::vector<uint8_t> image = WithResourceSection(test_support::StandInEngine(), section);
  test_support::Put32(image, kResourceRaw + 0x14, 0x800001F8);  // the icon type's table past the section's end
  std::vector<Resource> resources;
  std::string problem;
  EXPECT_FALSE(ReadResources(image, resources, problem));
  EXPECT_EQ(problem, "the executable's resources are damaged");
}

TEST(VersionResource, LaysOutTheBlocksOfTheProduct) {
  VersionInfo info;
  info.fileVersion = info.productVersion = VersionNumbers("2.1b");
  for (auto [key, text] : {std::pair{u"CompanyName", u"Acme Software"}, {u"FileDescription", u"Acme Notes Setup"},
                           {u"FileVersion", u"2.1b"}, {u"LegalCopyright", u"(c) Acme"},
                           {u"ProductName", u"Acme Notes"}, {u"ProductVersion", u"2.1b"}}) {
    info.strings.emplace_back(key, text);
  }
  std::vector<uint8_t> expected = AcmeVersionResource(), written = VersionResource(info);
  EXPECT_EQ(written, expected) << "first difference at " << FirstDifference(written, expected);
  EXPECT_EQ(FileVersionText(expected), "2.1b");
}

TEST(VersionResource, FileVersionAsTheEngineReadsIt) {
  EXPECT_EQ(FileVersionText(VersionRoot(92, 0x00030004, 0x00050006, 2).bytes()), "3.4.5.6");
  Assembly a = VersionRoot(210, 0x00030004, 0x00050006, 2);
  a.U16(118).U16(0).U16(1).Wide(u"StringFileInfo").AlignTo(4);
  a.U16(82).U16(0).U16(1).Wide(u"040904B0").AlignTo(4);
  a.U16(58).U16(13).U16(1).Wide(u"FileVersion").AlignTo(4).Wide(u" 3, 4, 5, 7 ");  // as resource compilers write it
  EXPECT_EQ(FileVersionText(a.bytes()), "3.4.5.7");
  EXPECT_EQ(FileVersionText(format::test_bytes::Bytes("not a version resource")), std::nullopt);
}

TEST(SetupResources, TheProductsIconTakesTheEnginesFirstIconGroup) {
  SetupIdentity identity = kAcme;
  identity.icon = IconFile();
  std::vector<uint8_t> engine = WithResourceSection(test_support::StandInEngine(), EngineResources()), dressed;
  std::string problem;
  ASSERT_TRUE(DressEngine(engine, identity, dressed, problem)) << problem;
  std::vector<Resource> resources;
  ASSERT_TRUE(ReadResources(dressed, resources, problem)) << problem;
  ASSERT_EQ(resources.size(), 4u);
  const Resource* image = Find(resources, {3, {}}, {1, {}});
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->data, std::vector<uint8_t>(identity.icon.begin() + 22, identity.icon.end()));
  const Resource* group = Find(resources, {14, {}}, {0, u"MAINICON"});
  ASSERT_NE(group, nullptr);
  Assembly expectedGroup;
  expectedGroup.U16(0).U16(1).U16(1)                        // reserved, type icon, one image
      .U8(16).U8(16).U8(0).U8(0).U16(1).U16(32)             // as the .ico file's entry
      .U32(static_cast<uint32_t>(identity.icon.size() - 22))  // image size
      .U16(1);                                              // image number 1, freed by the engine's icon
  EXPECT_EQ(group->data, expectedGroup.bytes());
  EXPECT_EQ(group->language, 0x409);
  const Resource* version = Find(resources, {16, {}}, {1, {}});
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->data, AcmeVersionResource());
  const Resource* manifest = Find(resources, {24, {}}, {1, {}});
  ASSERT_NE(manifest, nullptr);
  EXPECT_EQ(std::string(manifest->data.begin(), manifest->data.end()), "<assembly/>");
}

// A setup executable dressed again keeps one picture of each number: the
// second dressing replaces what the first put there.
TEST(SetupResources, ThePicturesTakeTheEnginesBitmaps) {
  SetupIdentity identity = kAcme;
  identity.sidePicture = PackedDib({.width = 2});
  identity.bannerPicture = PackedDib({.bitsPerPixel = 32, .width = 5});
  std::vector<uint8_t> engine = WithResourceSection(test_support::StandInEngine(), EngineResources()), once, twice;
  std::string problem;
  ASSERT_TRUE(DressEngine(engine, identity, once, problem)) << problem;
  SetupIdentity later = identity;
  later.sidePicture = PackedDib({.bitsPerPixel = 8, .colours = 2, .width = 4});
  later.bannerPicture.clear();
  ASSERT_TRUE(DressEngine(once, later, twice, problem)) << problem;
  EXPECT_EQ(twice[0x80 + 6], 4) << "the resource section is rewritten where it stands, not added again";
  std::vector<Resource> resources;
  ASSERT_TRUE(ReadResources(twice, resources, problem)) << problem;
  struct Picture {
    uint16_t number;
    std::vector<uint8_t> dib;
  };
  for (const Picture& picture : {Picture{2, later.sidePicture}, Picture{3, identity.bannerPicture}}) {
    auto isPicture = [&](const Resource& r) {
      return r.type == ResourceId{2, {}} && r.name == ResourceId{picture.number, {}};
    };
    EXPECT_EQ(std::count_if(resources.begin(), resources.end(), isPicture), 1) << picture.number;
    const Resource* bitmap = Find(resources, {2, {}}, {picture.number, {}});
    ASSERT_NE(bitmap, nullptr) << picture.number;
    EXPECT_EQ(bitmap->data, picture.dib) << picture.number;
    EXPECT_EQ(bitmap->language, 0x409) << picture.number;
  }
}

TEST(SetupResources, WhatIsNoIconFileIsRefused) {
  std::vector<uint8_t> cut = IconFile();
  cut.resize(500);  // the image runs past the end
  std::vector<uint8_t> engine = WithResourceSection(test_support::StandInEngine(), EngineResources()), dressed;
  for (const std::vector<uint8_t>& icon : {cut, format::test_bytes::Bytes("BM not an icon")}) {
    SetupIdentity identity = kAcme;
    identity.icon = icon;
    std::string problem;
    EXPECT_FALSE(DressEngine(engine, identity, dressed, problem));
    EXPECT_EQ(problem, "the product's icon is not an icon file");
  }
}

class BuiltResources : public BuilderTest {
 protected:
  // Runs a command of icoutils; its standard output.
  std::string Icoutils(const std::string& command) {
    std::string path = Path("icoutils.out").string();
    int status = std::system((command + " > '" + path + "' 2>/dev/null").c_str());
    EXPECT_EQ(status, 0) << command << " (icoutils comes with tools/bootstrap)";
    return test_support::ReadText(path);
  }
};

TEST_F(BuiltResources, WrestoolAndIcotoolReadBackTheIconAndVersion) {
  WriteText("app/a.txt", "alpha");
  WriteBytes("art/acme.ico", IconFile());
  CommandResult build = Build(R"([product]
name = "Acme Notes"
version = "2.1b"
publisher = "Acme Software"
copyright = "(c) Acme"
icon = "art/acme.ico"

[[files]]
from = "app/**"
)");
  ASSERT_EQ(build.status, 0) << build.err;
  std::string setup = "'" + Path("setup.exe").string() + "'";
  std::string version = Icoutils("wrestool -x --raw --type=16 " + setup);
  std::vector<uint8_t> expected = AcmeVersionResource();
  EXPECT_EQ(std::vector<uint8_t>(version.begin(), version.end()), expected);
  // wrestool follows the icon with zeros, as it does for the resource
  // compiler's own icons.
  std::string icon = Icoutils("wrestool -x --type=14 " + setup);
  std::vector<uint8_t> file = IconFile();
  ASSERT_GE(icon.size(), file.size());
  EXPECT_EQ(std::vector<uint8_t>(icon.begin(), icon.begin() + file.size()), file);
  EXPECT_EQ(icon.find_first_not_of('\0', file.size()), std::string::npos);
  WriteText("extracted.ico", icon);
  EXPECT_EQ(Icoutils("icotool -l '" + Path("extracted.ico").string() + "'"),
            "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n");
}

TEST_F(BuiltResources, WrestoolReadsBackTheWizardPictures) {
  WriteText("app/a.txt", "alpha");
  const BitmapShape side{.gap = 8, .height = 5}, banner{.headerSize = 124, .bitsPerPixel = 32, .width = 7};
  WriteBytes("art/side.bmp", BitmapFile(side));
  WriteBytes("art/banner.bmp", BitmapFile(banner));
  CommandResult build = Build(std::string(test_support::kMinimalProject) +
                              "[wizard]\nside-picture = \"art/side.bmp\"\nbanner-picture = \"art/banner.bmp\"\n");
  ASSERT_EQ(build.status, 0) << build.err;
  std::string setup = "'" + Path("setup.exe").string() + "'";
  for (auto [number, shape] : {std::pair{2, side}, std::pair{3, banner}}) {
    std::string bitmap = Icoutils("wrestool -x --raw --type=2 --name=" + std::to_string(number) + " " + setup);
    EXPECT_EQ(std::vector<uint8_t>(bitmap.begin(), bitmap.end()), PackedDib(shape)) << number;
  }
}

TEST_F(BuiltResources, TheVersionCanComeFromAnExecutable) {
  Assembly section;
  section.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1).U32(16).U32(0x80000018);  // root: type 16 at 0x18
  section.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1).U32(1).U32(0x80000030);   // 0x18: name 1 at 0x30
  section.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1).U32(0).U32(0x48);         // 0x30: language neutral, entry 0x48
  section.U32(kResourceAddress + 0x58).U32(560).U32(0).U32(0);               // 0x48: data address and size
  section.Raw(AcmeVersionResource());                                         // 0x58
  WriteBytes("dist/AcmeNotes.exe", WithResourceSection(test_support::StandInEngine(), section));
  CommandResult build = Build("[product]\nname = \"Acme Notes\"\nversion = { from = \"dist/AcmeNotes.exe\" }\n");
  ASSERT_EQ(build.status, 0) << build.err;
  CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  EXPECT_NE(inspect.out.find("version = '2.1b'"), std::string::npos) << inspect.out;
}

// The DLL that the MinGW tree's resource compiler gives a version resource,
// when that tree has been built.
TEST_F(BuiltResources, TheVersionOfAResourceCompilersExecutable) {
  std::filesystem::path dll = std::filesystem::path(PALISADE_WINDOWS_TESTS_DIR) / "versioned.dll";
  if (!std::filesystem::exists(dll)) GTEST_SKIP() << "no " << dll;
  std::filesystem::copy_file(dll, Path("versioned.dll"));
  CommandResult build = Build("[product]\nname = \"A\"\nversion = { from = \"versioned.dll\" }\n");
  ASSERT_EQ(build.status, 0) << build.err;
  CommandResult inspect = Run({"inspect", Path("setup.exe").string()});
  EXPECT_NE(inspect.out.find("version = '2.5.0.7'"), std::string::npos) << inspect.out;
}

}  // namespace
}  // namespace palisade::builder
