// The decisions over an earlier installation: the kind of installation,
// the must-uninstall limit, the downgrade floor, the upgrade warning and
// the hand-over to the earlier uninstaller.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "uninstall/existing_install.h"

namespace palisade {
namespace {

struct TypeCase {
  const wchar_t* oldVersion;
  const wchar_t* newVersion;
  bool compare;
  InstallationType type;
};

TEST(InstallationType, FromTheVersions) {
  using enum InstallationType;
  const TypeCase cases[] = {
      {L"2.0", L"2.0", true, kReinstall},      {L"2.0", L"2.1", true, kUpgrade},
      {L"2.0", L"1.5", true, kDowngrade},      {L"2.0", L"2.0.1", true, kUpgrade},
      {L"2.0", L"2.1", false, kOverExisting},  {L"", L"2.1", true, kOverExisting},
      {L" \t\r\n", L"2.1", true, kOverExisting}, {L"2.0", L"  ", true, kOverExisting},
  };
  for (const TypeCase& c : cases) {
    EXPECT_EQ(InstallationTypeOf(c.oldVersion, c.newVersion, c.compare), c.type)
        << ts::Utf8FromWide(c.oldVersion) << " then " << ts::Utf8FromWide(c.newVersion);
  }
}

struct BatchCase {
  InstallationType type;
  uint32_t productFlags2;
  bool upgradeBatch;
  bool reinstallBatch;
};

TEST(InstallationType, SelectsTheBatchesBeforeTheFiles) {
  using enum InstallationType;
  constexpr uint32_t kOnlySameVersion = format::product_flags2::kReinstallBatchOnlySameVersion;
  const BatchCase cases[] = {
      {kFirst, 0, false, false},          {kReinstall, 0, false, true},    {kReinstall, kOnlySameVersion, false, true},
      {kUpgrade, 0, true, true},          {kUpgrade, kOnlySameVersion, true, false},
      {kDowngrade, 0, false, true},       {kDowngrade, kOnlySameVersion, false, false},
      {kOverExisting, 0, false, true},    {kOverExisting, kOnlySameVersion, false, false},
  };
  for (const BatchCase& c : cases) {
    EXPECT_EQ(RunsUpgradeBatch(c.type), c.upgradeBatch) << static_cast<int>(c.type) << " " << c.productFlags2;
    EXPECT_EQ(RunsReinstallBatch(c.type, c.productFlags2), c.reinstallBatch)
        << static_cast<int>(c.type) << " " << c.productFlags2;
  }
}

struct LimitCase {
  const wchar_t* version;
  const wchar_t* limit;
  bool below;
};

TEST(MustUninstallFirst, AnyVersionWithoutALimitElseThoseBelowIt) {
  const LimitCase cases[] = {{L"2.0", L"", true}, {L"1.4", L"1.5", true}, {L"1.5", L"1.5", false}, {L"2.0", L"1.5", false}};
  for (const LimitCase& c : cases) EXPECT_EQ(MustUninstallFirst(c.version, c.limit), c.below) << ts::Utf8FromWide(c.version);
}

TEST(DowngradeFloor, StopsVersionsBelowIt) {
  const LimitCase cases[] = {{L"2.9", L"3.0", true}, {L"3.0", L"3.0", false}, {L"3.1", L"3.0", false},
                             {L"0.1", L"", false},   {L"0.1", L" \t", false}};
  for (const LimitCase& c : cases) EXPECT_EQ(BelowDowngradeFloor(c.version, c.limit), c.below) << ts::Utf8FromWide(c.limit);
}

struct WarningCase {
  bool asked;
  const wchar_t* oldVersion;
  const wchar_t* limit;
  bool warns;
};

TEST(UpgradeWarning, ForKnownVersionsBelowTheLimit) {
  const WarningCase cases[] = {{false, L"1.0", L"", false}, {true, L"", L"", false},      {true, L"1.0", L"", true},
                               {true, L"1.0", L"1.5", true}, {true, L"1.5", L"1.5", false}, {true, L"1.0", L"  ", true}};
  for (const WarningCase& c : cases) {
    EXPECT_EQ(WarnsOfUpgrade(c.asked, c.oldVersion, c.limit), c.warns)
        << c.asked << " " << ts::Utf8FromWide(c.oldVersion) << " " << ts::Utf8FromWide(c.limit);
  }
}

// What the earlier uninstaller is given is what its command line reader
// turns back into this installer's own command line.
TEST(HandOver, TheUninstallerStartsThisInstallerAgainWithItsArguments) {
  const ts::WText own = L"\"C:\\Cases\\Acme Setup.exe\" /d:\"C:\\Acme Dir\" /n:\"Acme\"";
  ts::WText command = HandOverCommand(L"\"C:\\Acme Dir\\uninstall\\Uninstall.exe\" /a /u:\"Acme\"", own);
  EXPECT_EQ(command, L"\"C:\\Acme Dir\\uninstall\\Uninstall.exe\" /a /u:\"Acme\" "
                     L"/r:\"`C:\\Cases\\Acme Setup.exe` /d:`C:\\Acme Dir` /n:`Acme`\"");
  RunFlags flags;
  CommandLineValues values;
  ts::WText reason;
  ASSERT_TRUE(ParseCommandLine(command.c_str(), flags, values, reason)) << ts::Utf8FromWide(reason);
  EXPECT_TRUE(flags.uninstall);
  EXPECT_TRUE(flags.automatic);
  EXPECT_EQ(values.uninstallName, L"Acme");
  EXPECT_EQ(values.runAfterInstall, own);
}

}  // namespace
}  // namespace palisade
