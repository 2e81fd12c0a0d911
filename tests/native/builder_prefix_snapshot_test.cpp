// The prefix snapshot reads hive files as Wine writes them: these are
// written out by hand in that form.
#include <gtest/gtest.h>

#include "builder/prefix_snapshot.h"

namespace palisade::builder {
namespace {

std::vector<std::string> Changes(const std::string& before, const std::string& after) {
  return SnapshotChanges(RegistrySnapshot({{"system.reg", before}}), RegistrySnapshot({{"system.reg", after}}));
}

constexpr char kHeader[] = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n";

TEST(PrefixSnapshot, TimeStampsOfKeysAreNoChange) {
  std::string before = std::string(kHeader) + "[Software\\\\Acme] 1700000000\n#time=1d9a\n\"A\"=\"1\"\n";
  std::string after = std::string(kHeader) + "[Software\\\\Acme] 1800000000\n#time=2e0b\n\"A\"=\"1\"\n";
  EXPECT_TRUE(Changes(before, after).empty());
}

TEST(PrefixSnapshot, KeysAndValuesThatCameAndWentAreListed) {
  std::string before = std::string(kHeader) + "[Software\\\\Acme] 1\n\"A\"=\"1\"\n\n[Software\\\\Old] 1\n";
  std::string after = std::string(kHeader) + "[Software\\\\Acme] 2\n\"A\"=\"2\"\n\n[Software\\\\New\\\\Sub] 2\n@=\"x\"\n";
  EXPECT_EQ(Changes(before, after), (std::vector<std::string>{
                                        "+value system.reg:software\\\\acme: \"A\"=\"2\"",
                                        "+key system.reg:software\\\\new\\\\sub",
                                        "-value system.reg:software\\\\acme: \"A\"=\"1\"",
                                        "-key system.reg:software\\\\old",
                                    }));
}

TEST(PrefixSnapshot, AnEmptyKeyThatGainedASubkeyIsStillThere) {
  std::string before = std::string(kHeader) + "[Software\\\\Acme] 1\n";
  std::string after = std::string(kHeader) + "[Software\\\\Acme\\\\Notes] 2\n\"A\"=\"1\"\n";
  EXPECT_EQ(Changes(before, after), (std::vector<std::string>{"+key system.reg:software\\\\acme\\\\notes"}));
}

TEST(PrefixSnapshot, ValueDataGoesOnOverContinuedLines) {
  std::string before = std::string(kHeader) + "[Software\\\\Acme] 1\n\"B\"=hex:01,02,\\\n  03,04\n";
  std::string after = std::string(kHeader) + "[Software\\\\Acme] 1\n\"B\"=hex:01,02,\\\n  03,05\n";
  EXPECT_EQ(Changes(before, after), (std::vector<std::string>{
                                        "+value system.reg:software\\\\acme: \"B\"=hex:01,02,  03,05",
                                        "-value system.reg:software\\\\acme: \"B\"=hex:01,02,  03,04",
                                    }));
}

TEST(PrefixSnapshot, WinesOwnChangesAreLeftOut) {
  std::string before = std::string(kHeader) +
                       "[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\{4d36e968-e325-11ce-bfc1-08002be10318}] 1\n"
                       "@=\"Display adapters\"\n\n"
                       "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Fonts] 1\n"
                       "\"DejaVu Sans (TrueType)\"=\"Z:\\\\usr\\\\share\\\\fonts\\\\DejaVuSans.ttf\"\n\n"
                       "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
                       "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n";
  std::string after = std::string(kHeader) +
                      "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Fonts] 2\n\n"
                      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 2\n"
                      "\"ProgramFilesCommonX64\"=str(2):\"%SystemDrive%\\\\Program Files\\\\Common Files\"\n"
                      "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n"
                      "[Software\\\\Classes\\\\Installer\\\\Products] 2\n\n"
                      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall] 2\n\n"
                      "[Software\\\\Wine\\\\MenuFiles] 2\n"
                      "\"\\\\\\\\?\\\\unix\\\\tmp\\\\Read me.desktop\"=\"C:\\\\ProgramData\\\\Read me.LNK\"\n";
  EXPECT_TRUE(Changes(before, after).empty()) << ::testing::PrintToString(Changes(before, after));
}

// Only the folder value that Wine's shell writes for itself is left out.
TEST(PrefixSnapshot, AProductsValueBesideWinesFolderValueCounts) {
  std::string before = std::string(kHeader) + "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n";
  std::string after = std::string(kHeader) + "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 2\n"
                                             "\"ProgramFilesCommonX64\"=\"C:\\\\Common\"\n"
                                             "\"AcmeCommonX64\"=\"C:\\\\Acme\"\n";
  EXPECT_EQ(Changes(before, after),
            (std::vector<std::string>{
                "+value system.reg:software\\\\microsoft\\\\windows\\\\currentversion: \"AcmeCommonX64\"=\"C:\\\\Acme\""}));
}

TEST(PrefixSnapshot, WhatTheSystemsContainersHoldStillCounts) {
  std::string before = std::string(kHeader);
  std::string after = std::string(kHeader) +
                      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\SharedDLLs] 2\n"
                      "\"C:\\\\windows\\\\system32\\\\acme.dll\"=dword:00000001\n\n"
                      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Acme] 2\n"
                      "\"DisplayName\"=\"Acme\"\n\n"
                      "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Fonts] 2\n"
                      "\"Acme Sans (TrueType)\"=\"acme.ttf\"\n";
  EXPECT_EQ(Changes(before, after),
            (std::vector<std::string>{
                "+key system.reg:software\\\\microsoft\\\\windows nt\\\\currentversion\\\\fonts",
                "+key system.reg:software\\\\microsoft\\\\windows\\\\currentversion\\\\shareddlls",
                "+key system.reg:software\\\\wow6432node\\\\microsoft\\\\windows\\\\currentversion\\\\uninstall\\\\acme"}));
}

}  // namespace
}  // namespace palisade::builder
