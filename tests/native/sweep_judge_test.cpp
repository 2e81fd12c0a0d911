// The sweep's judgement of a read: a fault that it failed to call a fault
// would vanish from the figures, so each way a read can go wrong is a row.
#include <gtest/gtest.h>

#include "sweep/installer_damage.h"

namespace palisade::sweep {
namespace {

const std::vector<FileRead> kSound = {{"a.txt", {'a', 'b'}}, {"b.bin", {0x80, 0xFF}}};

struct JudgeCase {
  const char* name;
  ReadOutcome outcome;
  Verdict verdict;
};

TEST(SweepJudge, TellsSoundOutcomesFromFaults) {
  const JudgeCase cases[] = {
      {"every file, no error", {format::Error::kNone, false, false, kSound}, Verdict::kClean},
      {"a name changed, bytes the same", {format::Error::kNone, false, false, {{"x", {'a', 'b'}}, kSound[1]}},
       Verdict::kClean},
      {"an error before any file", {format::Error::kArchiveChecksum, false, false, {}}, Verdict::kCorrupt},
      {"an error after a sound file", {format::Error::kFileChecksum, false, false, {kSound[0]}}, Verdict::kCorrupt},
      {"the version refused", {format::Error::kNone, true, false, {}}, Verdict::kVersionRefused},
      {"no payload", {format::Error::kNone, false, true, {}}, Verdict::kNoPayload},
      {"a byte of a file changed", {format::Error::kNone, false, false, {kSound[0], {"b.bin", {0x80, 0xFE}}}},
       Verdict::kUnverifiedFile},
      {"a changed file before an error",
       {format::Error::kFileChecksum, false, false, {{"a.txt", {'a', 'c'}}}}, Verdict::kUnverifiedFile},
      {"a file cut short", {format::Error::kNone, false, false, {kSound[0], {"b.bin", {0x80}}}},
       Verdict::kUnverifiedFile},
      {"a file missing without an error", {format::Error::kNone, false, false, {kSound[0]}},
       Verdict::kUnverifiedFile},
      {"a file more than the installer holds",
       {format::Error::kRecordBytesLeft, false, false, {kSound[0], kSound[1], kSound[1]}}, Verdict::kUnverifiedFile},
  };
  for (const JudgeCase& c : cases) EXPECT_EQ(Judge(c.outcome, kSound), c.verdict) << c.name;
}

}  // namespace
}  // namespace palisade::sweep
