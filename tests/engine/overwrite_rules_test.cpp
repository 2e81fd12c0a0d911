#include <gtest/gtest.h>

#include "actions/overwrite_rules.h"
#include "format/file_record.h"

namespace palisade {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

format::TimeStamp At(int year, int month, int day, int hour, int minute, int second) {
  return {year, month, day, hour, minute, second};
}

struct StampCase {
  format::TimeStamp a;
  format::TimeStamp b;
  int order;
};

TEST(CompareTimeStamps, DatesThenTimesWithOneSecondTolerance) {
  const StampCase cases[] = {
      {At(2026, 1, 2, 10, 0, 0), At(2026, 1, 2, 10, 0, 1), 0},
      {At(2026, 1, 2, 10, 0, 0), At(2026, 1, 2, 10, 0, 2), -1},
      {At(2026, 1, 2, 10, 0, 3), At(2026, 1, 2, 10, 0, 1), 1},
      {At(2026, 1, 2, 23, 59, 59), At(2026, 1, 3, 0, 0, 0), -1},
      {At(2025, 12, 31, 0, 0, 0), At(2026, 1, 1, 0, 0, 0), -1},
      {At(2026, 1, 2, -1, 0, 0), At(2026, 1, 2, 10, 0, 0), 1},
      {At(2026, 1, 2, -1, 0, 0), At(2026, 1, 2, -1, 5, 5), 0},
      {At(0, 0, 0, 10, 0, 0), At(2026, 1, 2, 10, 0, 0), 1},
      {At(0, 0, 0, 10, 0, 0), At(0, 0, 0, 10, 0, 1), 0},
  };
  for (const StampCase& c : cases) {
    EXPECT_EQ(Sign(CompareTimeStamps(c.a, c.b)), c.order) << TimeStampText(c.a) << " vs " << TimeStampText(c.b);
    EXPECT_EQ(Sign(CompareTimeStamps(c.b, c.a)), -c.order) << "reversed";
  }
}

namespace kind = format::destination_kind;
namespace mode = format::overwrite_mode;

const format::TimeStamp kOld = At(2025, 3, 4, 5, 6, 7);
const format::TimeStamp kNew = At(2026, 12, 7, 9, 5, 3);
const format::TimeStamp kNewPlusOne = At(2026, 12, 7, 9, 5, 4);

struct OverwriteCase {
  const char* name;
  uint32_t kind;
  uint32_t mode;
  format::TimeStamp recordTime;
  const wchar_t* recordVersion;
  ExistingFile existing;
  FileAction action;
  const char* log;
};

TEST(DecideOverwrite, ModesKindsVersionsAndDates) {
  const ExistingFile missing;
  const ExistingFile olderFile{true, true, kOld, L""};
  const ExistingFile newerFile{true, true, kNew, L""};
  const OverwriteCase cases[] = {
      {"never", kind::kInstallFolder, mode::kNever, kNew, L"", olderFile, FileAction::kSkipSilently, ""},
      {"never alias", kind::kInstallFolder, 0x14, kNew, L"", missing, FileAction::kSkipSilently, ""},
      {"always over an existing file", kind::kInstallFolder, mode::kAlways, kOld, L"", newerFile, FileAction::kWrite, ""},
      {"always alias", kind::kInstallFolder, 0x1C, kOld, L"", newerFile, FileAction::kWrite, ""},
      {"if exists, missing", kind::kInstallFolder, mode::kIfExists, kNew, L"", missing, FileAction::kSkip,
       "C:\\P\\f was not installed because it does not already exist.\r\n"},
      {"if exists, there", kind::kInstallFolder, mode::kIfExists, kNew, L"", olderFile, FileAction::kWrite, ""},
      {"if missing, there: still recorded", kind::kInstallFolder, mode::kIfMissing, kNew, L"", olderFile,
       FileAction::kSkipButRecord, "C:\\P\\f was not installed because it already exists.\r\n"},
      {"if missing, shared kind not recorded", kind::kSystemShared, mode::kIfMissing, kNew, L"", olderFile,
       FileAction::kSkip, "C:\\P\\f was not installed because it already exists.\r\n"},
      {"unless newer, existing newer", kind::kInstallFolder, mode::kUnlessNewer, kOld, L"", newerFile,
       FileAction::kSkipButRecord, "C:\\P\\f was not installed because the existing file is newer.\r\n"},
      {"unless newer, one second apart", kind::kInstallFolder, mode::kUnlessNewer, kNewPlusOne, L"", newerFile,
       FileAction::kWrite, ""},
      {"unless newer, existing older", kind::kInstallFolder, mode::kUnlessNewer, kNew, L"", olderFile,
       FileAction::kWrite, ""},
      {"shared folder up to date", kind::kSharedFolder, mode::kAlways, kOld, L"", newerFile, FileAction::kSkip,
       "C:\\P\\f is up to date.\r\n"},
      {"shared folder within a second", kind::kSharedFolder, mode::kAlways, kNewPlusOne, L"", newerFile,
       FileAction::kSkip, "C:\\P\\f is up to date.\r\n"},
      {"font out of date", kind::kFont, mode::kAlways, kNew, L"", olderFile, FileAction::kWrite,
       "C:\\P\\f is out of date and will be replaced.\r\n"},
      {"font without a record time", kind::kFont, mode::kAlways, At(0, 0, 0, -1, 0, 0), L"", newerFile,
       FileAction::kWrite, "C:\\P\\f is out of date and will be replaced.\r\n"},
      {"version not newer", kind::kSystemShared, mode::kAlways, kNew, L"1.2", {true, true, kOld, L"1.2.0"},
       FileAction::kSkip, "C:\\P\\f was not installed because its version (1.2) is not newer than 1.2.0\r\n"},
      {"version-checked kind records the skipped file", kind::kVersionChecked, mode::kAlways, kNew, L"1.0",
       {true, true, kOld, L"1.0"}, FileAction::kSkipButRecord,
       "C:\\P\\f was not installed because its version (1.0) is not newer than 1.0\r\n"},
      {"newer version, older date: the date decides", kind::kSystemCom, mode::kAlways, kOld, L"2.0",
       {true, true, kNew, L"1.0"}, FileAction::kSkip,
       "C:\\P\\f was not installed because its date (2025/03/04 05:06:07) is not newer than 2026/12/07 09:05:03.\r\n"},
      {"newer version, equal date", kind::kSystemTypeLibrary, mode::kAlways, kNew, L"2.0", {true, true, kNew, L"1.0"},
       FileAction::kSkip,
       "C:\\P\\f was not installed because its date (2026/12/07 09:05:03) is not newer than 2026/12/07 09:05:03.\r\n"},
      {"newer version and date", kind::kSystemShared, mode::kAlways, kNew, L"2.0", {true, true, kOld, L"1.0"},
       FileAction::kWrite,
       "C:\\P\\f needs replacement because its version (2.0) is newer than 1.0 and its date (2026/12/07 09:05:03) is "
       "newer than 2025/03/04 05:06:07\r\n"},
      {"no versions, newer date", kind::kSystemShared, mode::kAlways, kNew, L"", olderFile, FileAction::kWrite,
       "C:\\P\\f needs replacement because its date (2026/12/07 09:05:03) is newer than 2025/03/04 05:06:07\r\n"},
      {"newer version, unreadable date", kind::kSystemShared, mode::kAlways, kNew, L"2.0",
       {true, false, {}, L"1.0"}, FileAction::kWrite,
       "C:\\P\\f needs replacement because its version (2.0) is newer than 1.0\r\n"},
      {"versioned kind, nothing there", kind::kSystemShared, mode::kAlways, kNew, L"2.0", missing, FileAction::kWrite,
       ""},
  };
  for (const OverwriteCase& c : cases) {
    FileToInstall file;
    file.kind = c.kind;
    file.overwriteMode = c.mode;
    file.time = c.recordTime;
    file.version = c.recordVersion;
    file.destination = "C:\\P\\f";
    OverwriteDecision decision = DecideOverwrite(file, c.existing);
    EXPECT_EQ(decision.action, c.action) << c.name;
    EXPECT_EQ(decision.logLine, c.log) << c.name;
  }
}

// The file phase skips looking at the destination where the rules say it
// does not matter; a rule that does read it there would decide on a file
// that was never looked at.
TEST(DecideOverwrite, WhatDoesNotDependOnTheExistingFileDecidesAlikeForAnyFile) {
  const ExistingFile existing[] = {
      {}, {true, true, kOld, L""}, {true, true, kNew, L""}, {true, false, {}, L"9.9"}, {true, true, kOld, L"0.1"}};
  for (uint32_t m : {0x00u, 0x04u, 0x08u, 0x0Cu, 0x10u, 0x14u, 0x18u, 0x1Cu}) {
    for (uint32_t k = 0; k <= 12; ++k) {
      for (bool portable : {false, true}) {
        FileToInstall file;
        file.kind = k;
        file.overwriteMode = m;
        file.portable = portable;
        file.time = kNew;
        file.version = L"2.0";
        file.destination = "C:\\P\\f";
        if (DependsOnExistingFile(file)) continue;
        OverwriteDecision first = DecideOverwrite(file, existing[0]);
        for (const ExistingFile& there : existing) {
          OverwriteDecision decision = DecideOverwrite(file, there);
          EXPECT_EQ(decision.action, first.action) << "mode " << m << ", kind " << k;
          EXPECT_EQ(decision.logLine, first.logLine) << "mode " << m << ", kind " << k;
        }
      }
    }
  }
  FileToInstall plain;
  plain.destination = "C:\\P\\f";
  EXPECT_FALSE(DependsOnExistingFile(plain)) << "a plain file under the default mode is written without a look";
}

TEST(DecideOverwrite, PortableSharedFileUpToDateIsStillRecorded) {
  FileToInstall file;
  file.kind = kind::kSharedFolder;
  file.time = kOld;
  file.portable = true;
  file.destination = "E:\\S\\f";
  EXPECT_EQ(DecideOverwrite(file, {true, true, kNew, L""}).action, FileAction::kSkipButRecord);
  file.permanent = true;
  EXPECT_EQ(DecideOverwrite(file, {true, true, kNew, L""}).action, FileAction::kSkip);
}

}  // namespace
}  // namespace palisade
