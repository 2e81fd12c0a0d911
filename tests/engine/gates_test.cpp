#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/gates.h"
#include "format/product_flags.h"

namespace palisade {
namespace {

struct BitnessCase {
  Bitness product;
  bool system64;
  int refused;
};

TEST(RefusedBitness, NamesTheBitnessTheProductNeeds) {
  const BitnessCase cases[] = {
      {Bitness::kEither, false, 0},     {Bitness::kEither, true, 0},     {Bitness::k64Bit, false, 64},
      {Bitness::k64Bit, true, 0},       {Bitness::k32BitOnly, false, 0}, {Bitness::k32BitOnly, true, 32},
  };
  for (const BitnessCase& c : cases) {
    EXPECT_EQ(RefusedBitness(c.product, c.system64), c.refused)
        << static_cast<int>(c.product) << (c.system64 ? " on 64-bit" : " on 32-bit");
  }
}

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;

std::vector<WizardPage> PagesShown(const PageFacts& facts) {
  std::vector<WizardPage> shown;
  for (WizardPage page : {WizardPage::kLanguage, WizardPage::kGreeting, WizardPage::kPassword,
                          WizardPage::kLicenseAndReadme, WizardPage::kInstallFolder, WizardPage::kStartMenu}) {
    if (ShowsPage(page, facts)) shown.push_back(page);
  }
  return shown;
}

struct PagesCase {
  const char* name;
  PageFacts facts;
  std::vector<WizardPage> shown;
};

TEST(ShowsPage, PagesOfAnInstallationInTheirOrder) {
  using P = WizardPage;
  const uint32_t folderPage = low::kFolderPage, startMenuPage = high::kStartMenuPage;
  const uint32_t portableWithout = format::product_flags2::kNoStartMenuPageWhenPortable;
  const PagesCase cases[] = {
      {"every page",
       {false, 2, folderPage, startMenuPage, 0, true, false, false},
       {P::kLanguage, P::kGreeting, P::kPassword, P::kLicenseAndReadme, P::kInstallFolder, P::kStartMenu}},
      {"one language, no password, no folder pages",
       {false, 1, 0, 0, 0, false, false, false},
       {P::kGreeting, P::kLicenseAndReadme}},
      {"greeting turned off", {false, 1, 0, high::kNoGreeting, 0, false, false, false}, {P::kLicenseAndReadme}},
      {"automatic: nothing", {true, 2, folderPage, startMenuPage, 0, false, false, false}, {}},
      {"automatic with the greeting asked for",
       {true, 2, low::kGreetingInAutomaticMode, high::kNoGreeting, 0, false, false, false},
       {P::kGreeting}},
      {"automatic still asks the password", {true, 1, 0, 0, 0, true, false, false}, {P::kPassword}},
      {"the master's folder is not chosen",
       {false, 1, folderPage, high::kNoGreeting, 0, false, true, false},
       {P::kLicenseAndReadme}},
      {"nor the folder an earlier installation decided",
       {false, 1, folderPage, high::kNoGreeting, 0, false, false, false, true},
       {P::kLicenseAndReadme}},
      {"portable without a start-menu page",
       {false, 1, 0, high::kNoGreeting | startMenuPage, portableWithout, false, false, true},
       {P::kLicenseAndReadme}},
      {"portable keeps it unless the script says",
       {false, 1, 0, high::kNoGreeting | startMenuPage, 0, false, false, true},
       {P::kLicenseAndReadme, P::kStartMenu}},
  };
  for (const PagesCase& c : cases) EXPECT_EQ(PagesShown(c.facts), c.shown) << c.name;
}

struct FolderCase {
  const wchar_t* folder;
  bool chosen;
};

TEST(IsChosenFolder, OnlyAWholePath) {
  const FolderCase cases[] = {
      {L"C:\\Program Files\\Acme", true},
      {L"d:\\", true},
      {L"\\\\server\\share\\Acme", true},
      {L"", false},
      {L"Acme", false},
      {L"C:Acme", false},
      {L"\\Acme", false},
      {L"\\\\\\Acme", false},
      {L"1:\\Acme", false},
      {L"\u00E9:\\Acme", false},
  };
  for (const FolderCase& c : cases) EXPECT_EQ(IsChosenFolder(c.folder), c.chosen) << c.folder;
}

TEST(SingleInstanceMutex, ASecondInstallerIsRefusedWhileTheFirstHoldsIt) {
  ASSERT_TRUE(AcquireSingleInstanceMutex());
  bool secondGotIt = true;
  // A mutex belongs to a thread: another thread stands in for another installer.
  std::thread second([&] { secondGotIt = AcquireSingleInstanceMutex(); });
  second.join();
  EXPECT_FALSE(secondGotIt);
}

}  // namespace
}  // namespace palisade
