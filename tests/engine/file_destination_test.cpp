#include <gtest/gtest.h>

#include <set>

#include "actions/file_destination.h"
#include "actions/installed_file.h"
#include "format/file_record.h"

namespace palisade {
namespace {

namespace kind = format::destination_kind;

const DestinationFolders kFolders = {L"C:\\Program Files\\Acme", L"C:\\Program Files\\Common Files\\Acme",
                                     L"C:\\Program Files\\Acme\\uninstall", L"C:\\windows\\system32",
                                     L"C:\\windows\\Fonts"};

struct DestinationCase {
  const char* name;
  const wchar_t* file;
  uint32_t kind;
  uint32_t flags;
  const wchar_t* override;
  const wchar_t* path;  // nullptr: refused
  bool createFolder;
};

TEST(ResolveDestination, KindsFlagsAndOverrides) {
  const DestinationCase cases[] = {
      {"installation folder", L"bin\\app.exe", kind::kInstallFolder, 0, L"", L"C:\\Program Files\\Acme\\bin\\app.exe", true},
      {"forward slashes", L"bin/app.exe", kind::kVersionChecked, 0, L"", L"C:\\Program Files\\Acme\\bin\\app.exe", true},
      {"shared folder", L"acme.dll", kind::kSharedFolder, 0, L"", L"C:\\Program Files\\Common Files\\Acme\\acme.dll", true},
      {"system folder", L"acme.ocx", kind::kSystemCom, 0, L"", L"C:\\windows\\system32\\acme.ocx", false},
      {"font", L"acme.ttf", kind::kFont, 0, L"", L"C:\\windows\\Fonts\\acme.ttf", false},
      {"uninstall data folder", L"uninstall.ico", kind::kInstallFolder, format::record_flags::kToUninstallFolder, L"",
       L"C:\\Program Files\\Acme\\uninstall\\uninstall.ico", true},
      {"override renames", L"bin\\app.exe", kind::kInstallFolder, 0, L"notes.exe", L"C:\\Program Files\\Acme\\notes.exe",
       true},
      {"override folder keeps the name", L"bin\\app.exe", kind::kInstallFolder, 0, L"tools\\",
       L"C:\\Program Files\\Acme\\tools\\app.exe", true},
      {"relative override of a shared file", L"a.dll", kind::kSharedFolder, 0, L"sub\\b.dll",
       L"C:\\Program Files\\Common Files\\Acme\\sub\\b.dll", true},
      {"absolute override", L"a.dll", kind::kInstallFolder, 0, L"D:\\Tools\\a.dll", L"D:\\Tools\\a.dll", true},
      {"absolute override folder", L"x\\a.dll", kind::kInstallFolder, 0, L"D:\\Tools\\", L"D:\\Tools\\a.dll", true},
      {"name climbing out", L"..\\..\\windows\\evil.dll", kind::kInstallFolder, 0, L"", nullptr, false},
      {"absolute name", L"C:\\windows\\evil.dll", kind::kInstallFolder, 0, L"", nullptr, false},
      {"rooted name", L"\\windows\\evil.dll", kind::kInstallFolder, 0, L"", nullptr, false},
      {"device name", L"logs\\nul.txt", kind::kInstallFolder, 0, L"", nullptr, false},
      {"numbered device", L"COM3", kind::kInstallFolder, 0, L"", nullptr, false},
      {"stream name", L"readme.txt:hidden", kind::kInstallFolder, 0, L"", nullptr, false},
      {"override name climbing out", L"a.txt", kind::kInstallFolder, 0, L"..", nullptr, false},
      {"relative override climbing out", L"a.txt", kind::kInstallFolder, 0, L"..\\..\\x\\a.txt", nullptr, false},
      {"absolute override climbing", L"a.txt", kind::kInstallFolder, 0, L"D:\\Tools\\..\\..\\a.txt", nullptr, false},
      {"network override", L"a.txt", kind::kInstallFolder, 0, L"\\\\server\\share\\a.txt", nullptr, false},
      {"empty step", L"bin\\\\app.exe", kind::kInstallFolder, 0, L"", nullptr, false},
  };
  for (const DestinationCase& c : cases) {
    Destination destination = ResolveDestination(c.file, c.kind, c.flags, c.override, kFolders);
    if (!c.path) {
      EXPECT_FALSE(destination.refusal.empty()) << c.name;
      continue;
    }
    EXPECT_EQ(destination.refusal, L"") << c.name;
    EXPECT_EQ(destination.path, c.path) << c.name;
    EXPECT_EQ(destination.createFolder, c.createFolder) << c.name;
  }
}

TEST(ResolveDestination, UnknownKindIsReportedUnlessSomethingNamesTheFolder) {
  for (uint32_t unknown : {2u, 3u, 13u, 99u}) {
    EXPECT_TRUE(ResolveDestination(L"a.txt", unknown, 0, L"", kFolders).unknownKind) << unknown;
    EXPECT_FALSE(ResolveDestination(L"a.txt", unknown, format::record_flags::kToUninstallFolder, L"", kFolders).unknownKind);
    EXPECT_FALSE(ResolveDestination(L"a.txt", unknown, 0, L"sub\\a.txt", kFolders).unknownKind);
  }
}

TEST(ResolveDestination, RefusalNamesTheOffendingText) {
  EXPECT_EQ(ResolveDestination(L"..\\x.dll", kind::kInstallFolder, 0, L"", kFolders).refusal,
            L"The file name \"..\\x.dll\" would leave its folder.");
}

}  // namespace
}  // namespace palisade

namespace palisade {
namespace {

TEST(KeepsPortableSharedOverride, OnlyARelativePathWithAFolderAndNoVariable) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"lib\\acme.dll", true},        {L"lib/acme.dll", true},    {L"lib\\", true},
      {L"acme2.dll", false},            {L"", false},               {L"C:\\Outside\\acme.dll", false},
      {L"\\\\server\\share\\", false}, {L"\\lib\\acme.dll", false}, {L"%CommonDir%\\Acme\\", false},
  };
  for (const auto& [override, kept] : cases) EXPECT_EQ(KeepsPortableSharedOverride(override), kept) << override;
}

struct OwnedCase {
  const char* name;
  ts::WText folder;
  std::vector<ts::WText> created;
  std::set<ts::WText> known;  // known to be the product's, ASCII lower-cased
  std::vector<ts::WText> owned;
};

TEST(OwnedFolders, CreatedStepsBelowTheInstallationFolderAndThoseKnownToBeTheProducts) {
  const ts::WText install = L"C:\\Program Files\\Acme";
  const OwnedCase cases[] = {
      {"below, made earlier", L"C:\\Program Files\\Acme\\a\\b", {}, {},
       {L"C:\\Program Files\\Acme\\a", L"C:\\Program Files\\Acme\\a\\b"}},
      {"below, other letter case", L"C:\\Program Files\\ACME\\a", {}, {}, {L"C:\\Program Files\\ACME\\a"}},
      {"the installation folder itself", install, {}, {}, {}},
      {"outside, created now", L"D:\\Tools\\Acme", {L"D:\\Tools\\Acme"}, {}, {L"D:\\Tools\\Acme"}},
      {"outside, already there", L"D:\\Tools", {}, {}, {}},
      {"a sibling with the same start", L"C:\\Program Files\\Acme Other", {}, {}, {}},
      {"outside, made by the first installation", L"D:\\Tools\\Acme\\bin", {}, {L"d:\\tools\\acme", L"d:\\tools\\acme\\bin"},
       {L"D:\\Tools\\Acme", L"D:\\Tools\\Acme\\bin"}},
      {"outside, there before the first installation", L"D:\\Tools\\Acme\\bin", {}, {L"d:\\tools\\acme\\bin"},
       {L"D:\\Tools\\Acme\\bin"}},
      {"the earlier record's folders off the path", L"D:\\Data", {}, {L"d:\\tools", L"c:\\program files\\acme"}, {}},
      {"the installation folder, recorded by the first installation", L"C:\\Program Files\\Acme\\a", {},
       {L"c:\\program files\\acme"}, {L"C:\\Program Files\\Acme", L"C:\\Program Files\\Acme\\a"}},
  };
  for (const OwnedCase& c : cases) EXPECT_EQ(OwnedFolders(c.folder, c.created, install, c.known), c.owned) << c.name;
}

}  // namespace
}  // namespace palisade
