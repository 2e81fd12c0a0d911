// The fatal paths end the process, so each runs in a child process (a death
// test) whose exit code and standard error are checked. The test framework
// reads the child's standard error in text mode, so line breaks arrive as
// "\n"; the CR LF form is checked where the engine itself is run.
#include <gtest/gtest.h>

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "core/ts_core.h"
#include "core/ts_crash.h"

// Outside the unnamed namespace, so that the index error's type name is the
// one written here.
namespace shapes {
struct Point {
  int x, y;
};
}  // namespace shapes

namespace {

void WriteToStandardErrorBox(const char*) {}

// Without boxes a fatal error would wait for a click on a message box.
void QuietBoxes() {
  ts::SetFatalBox(WriteToStandardErrorBox);
}

TEST(FatalDeathTest, IndexPastTheEndNamesTypeIndexAndMaxIndex) {
  ts::Vector<int> numbers{1, 2, 3, 4, 5};
  EXPECT_EXIT((QuietBoxes(), numbers[5]), ::testing::ExitedWithCode(1), "Vector<int>\\[5\\]\nmax_index = 4");
}

TEST(FatalDeathTest, IndexErrorNamesAClassTypeWithItsNamespace) {
  ts::Vector<shapes::Point> points{{1, 2}, {3, 4}};
  EXPECT_EXIT((QuietBoxes(), points[2]), ::testing::ExitedWithCode(1), "Vector<shapes::Point>\\[2\\]\nmax_index = 1");
}

TEST(FatalDeathTest, NegativeIndexIsCaughtToo) {
  ts::Vector<ts::WText> names{L"a"};
  EXPECT_EXIT((QuietBoxes(), names[-1]), ::testing::ExitedWithCode(1), "\\[-1\\]\nmax_index = 0");
}

TEST(FatalDeathTest, InternalFatalErrorNamesModuleAndLine) {
  EXPECT_EXIT((QuietBoxes(), ts::InternalFatal("ts_thread", 464)), ::testing::ExitedWithCode(1),
              "Internal Fatal Error\nModule: ts_thread\nLine: 464");
}

int g_hookRuns = 0;
void CountingHook() { ++g_hookRuns; }
void ReportHookRunsBox(const char*) { ts::WriteStandardError(ts::Format(L"hooks ran %d", g_hookRuns)); }

TEST(FatalDeathTest, HooksRunBeforeTheBox) {
  auto run = [] {
    ts::AddFatalHook(CountingHook);
    ts::AddFatalHook(CountingHook);
    ts::SetFatalBox(ReportHookRunsBox);
    ts::Fatal("boom");
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), "boom\nhooks ran 2");
}

void SecondFatalBox(const char*) { ts::Fatal("second"); }

TEST(FatalDeathTest, ASecondReportShowsNoSecondBox) {
  auto run = [] {
    ts::SetFatalBox(SecondFatalBox);
    ts::Fatal("first");
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), "^first\n$");
}

TEST(FatalDeathTest, WideMessageReachesStandardErrorAsUtf8) {
  EXPECT_EXIT((QuietBoxes(), ts::Fatal(L"caf\u00E9 %d", 3)), ::testing::ExitedWithCode(1), "caf\xC3\xA9 3\n");
}

template <typename Thrown>
[[noreturn]] void Throw(Thrown thrown) {
  throw thrown;
}

// A misuse of the standard library ends the process as an uncaught throw
// does: the terminate handler's words on standard error, then abort(). The
// handler names a thrown type as the compiler mangles it. A throw out of a
// function that may not throw calls std::terminate with the exception still
// current (a test body's own throws the framework would catch).
TEST(TerminateDeathTest, MisusesAndUncaughtThrowsEndWithTheHandlersWordsAndAbort) {
  struct Case {
    const char* name;
    void (*end)();
    const char* words;
  };
  const Case cases[] = {
      {"position past a text's end", [] { (void)std::string("abc").substr(5); },
       "instance of 'std::out_of_range'\n  what\\(\\):  basic_string::substr: __pos \\(which is 5\\) > this->size\\(\\) "
       "\\(which is 3\\)\n"},
      {"index past an array's end", [] { (void)std::vector<int>(3).at(3); },
       "instance of 'std::out_of_range'\n  what\\(\\):  vector::_M_range_check: __n \\(which is 3\\) >= this->size\\(\\) "
       "\\(which is 3\\)\n"},
      {"length beyond the largest", [] { std::string().reserve(std::string().max_size() + 1); },
       "instance of 'std::length_error'\n  what\\(\\):  basic_string::_M_create\n"},
      {"an uncaught standard exception", []() noexcept { Throw(std::bad_alloc()); },
       "^terminate called after throwing an instance of 'St9bad_alloc'\n  what\\(\\):  std::bad_alloc\n$"},
      {"an uncaught value that is no standard exception", []() noexcept { Throw(7); },
       "^terminate called after throwing an instance of 'i'\n$"},
      {"std::terminate without an exception", [] { std::terminate(); },
       "^terminate called without an active exception\n$"},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT(c.end(), ::testing::ExitedWithCode(3), c.words) << c.name;
  }
}

TEST(OutOfMemoryReport, LayoutWithMarkersAndEightWordsALine) {
  uint32_t stack[ts::kReportStackWords];
  for (int i = 0; i < ts::kReportStackWords; ++i) stack[i] = static_cast<uint32_t>(i);
  stack[0] = 0x11223344;
  stack[1] = 0x55667788;
  ts::Text report = ts::OutOfMemoryReport("Make sure the hard drive is not full.", 1000, stack);
  const ts::Text head =
      "Out Of Memory.\r\nAdvice: Make sure the hard drive is not full.\r\nRequested size = 1000 (0x000003E8)\r\n\r\n"
      "Stack contents:\r11223344 55667788 00000002 00000003 00000004 00000005 00000006 00000007\r00000008 ";
  EXPECT_EQ(report.substr(0, head.size()), head);
  EXPECT_EQ(report.size(), ts::Text("Out Of Memory.\r\nAdvice: Make sure the hard drive is not full.\r\n"
                                    "Requested size = 1000 (0x000003E8)\r\n\r\nStack contents:")
                                   .size() + 80 * 9);
  EXPECT_EQ(report.substr(report.size() - 9), " 0000004F");
}

class FreeOnce : public ts::MemoryReleaser {
 public:
  bool ReleaseMemory() override { return calls_++ == 0; }

 private:
  int calls_ = 0;
};

class NeverFrees : public ts::MemoryReleaser {
 public:
  bool ReleaseMemory() override { return true; }
};

// Larger than the process can ever get, so every attempt fails.
#if defined(__x86_64__)
constexpr size_t kImpossible = 0x7FFFFFFF00000000;
#define IMPOSSIBLE_SIZE_TEXT "9223372032559808512 \\(0x7FFFFFFF00000000\\)"
#else
constexpr size_t kImpossible = 0x7FFFFFF0;
#define IMPOSSIBLE_SIZE_TEXT "2147483632 \\(0x7FFFFFF0\\)"
#endif

TEST(OutOfMemoryDeathTest, ReportBeginsWithAdviceAndRequestedSize) {
  auto run = [] {
    QuietBoxes();
    ts::SetOutOfMemoryAdvice("Make sure the hard drive is not full.");
    ts::InstallOutOfMemoryHandler();
    char* volatile block = new char[kImpossible];
    block[0] = 1;
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
              "^Out Of Memory\\.\nAdvice: Make sure the hard drive is not full\\.\n"
              "Requested size = " IMPOSSIBLE_SIZE_TEXT "\n\nStack contents:\r11223344 55667788 ");
}

TEST(OutOfMemoryDeathTest, ReleaserThatFreedSomethingCausesARetry) {
  auto run = [] {
    QuietBoxes();
    static FreeOnce releaser;
    ts::AddMemoryReleaser(&releaser);
    ts::InstallOutOfMemoryHandler();
    if (ts::OutOfMemoryHandler(64) == 1) ts::Fatal("retried");
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), "^retried");
}

TEST(OutOfMemoryDeathTest, GivesUpAfter50000CallsEvenWhenReleasersReportSuccess) {
  auto run = [] {
    QuietBoxes();
    static NeverFrees releaser;
    ts::AddMemoryReleaser(&releaser);
    for (int i = 0; i < ts::kMaxOutOfMemoryRetries; ++i) {
      if (ts::OutOfMemoryHandler(64) != 1) ts::Fatal("gave up early at %d", i);
    }
    ts::OutOfMemoryHandler(64);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), "^Out Of Memory\\.");
}

// What the crash callback was handed, as one line on standard error ahead
// of the box's message, so that the death test sees both in their order.
LONG SummarizeToStandardError(const ts::CrashRecord& crash) {
  const ts::Text report = ts::BuildCrashReport(crash);
  auto has = [&](const char* text) { return report.find(text) != ts::Text::npos ? "yes" : "no"; };
  ts::WriteStandardError(ts::WideFromUtf8("report: " + report.substr(0, report.find("\r\n")) +
                                          "; earlier lack of memory: " +
                                          has("A previous out-of-memory condition occurred.") +
                                          "; registers: " + has("CPU Registers:")));
  return EXCEPTION_EXECUTE_HANDLER;
}

// An internal fatal error and running out of memory reach the crash
// callback with the fatal message before the box shows it. The report names
// an earlier lack of memory, but not when the message itself says so.
TEST(FatalCrashReportDeathTest, TheCallbackHearsFirstWithTheMessage) {
  const struct {
    const char* name;
    void (*run)();
    const char* expected;
  } cases[] = {
      {"internal", [] { ts::InternalFatal("ts_thread", 464); },
       "^report: Fatal error: Internal Fatal Error; earlier lack of memory: no; registers: no\n"
       "Internal Fatal Error\nModule: ts_thread\nLine: 464\n$"},
      {"internal after a lack of memory",
       [] {
         static FreeOnce releaser;
         ts::AddMemoryReleaser(&releaser);
         ts::OutOfMemoryHandler(64);
         ts::InternalFatal("ts_thread", 464);
       },
       "^report: Fatal error: Internal Fatal Error; earlier lack of memory: yes; registers: no\n"},
      {"out of memory",
       [] {
         ts::InstallOutOfMemoryHandler();
         char* volatile block = new char[kImpossible];
         block[0] = 1;
       },
       "^report: Fatal error: Out Of Memory\\.; earlier lack of memory: no; registers: no\nOut Of Memory\\.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto run = [&] {
      QuietBoxes();
      ts::SetCrashCallback(SummarizeToStandardError);
      c.run();
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), c.expected);
  }
}

}  // namespace
