#pragma once
// Runs Windows programs under Wine in a scratch prefix that lives as long as
// the object. Programs see the prefix's C: drive; Linux paths are reachable
// through Z:, which is how the built programs are started in place.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <utility>
#include <string>
#include <vector>

namespace palisade::testing {

struct RunResult {
  int exitCode = -1;  // -1 when the program was killed at its time limit
  std::string out;
  std::string err;
};

// A program started in the background; Wait() collects it.
struct Started {
  pid_t pid = -1;
  int outPipe = -1;
  int errPipe = -1;
};

// 32 where this machine's Wine runs 32-bit Windows programs, else 64. The
// suite runs the engine and the test programs of that bitness, and a prefix
// of it unless a test asks for another (tools/windows-bits).
inline constexpr int kWindowsBits = PALISADE_WINDOWS_BITS;
inline constexpr int kEngineBits = kWindowsBits;

// Ends the test as skipped, with the reason in the list that `make test`
// prints, where this machine's Wine runs no 32-bit code.
#define SKIP_WITHOUT_32BIT_CODE(why)                                                      \
  if (::palisade::testing::kWindowsBits == 64) GTEST_SKIP() << "needs a Wine that runs 32-bit code: " << why

// The same for a test of a system of `bits`: a 32-bit Windows system.
#define SKIP_UNLESS_SYSTEM_RUNS(bits) \
  if ((bits) == 32) SKIP_WITHOUT_32BIT_CODE("a 32-bit Windows system")

// The registry view in which the engine under test writes the keys it
// opens without a view of its own ("/reg:32" or "/reg:64" for reg.exe).
inline const char* EngineRegistryView() { return kEngineBits == 64 ? "/reg:64" : "/reg:32"; }

// The program-files folder, below C:, that takes a product for either
// system on a system of `systemBits`: the 32-bit engine installs it as a
// 32-bit product, the 64-bit engine as a 64-bit one.
inline std::string EitherProductsProgramFiles(int systemBits) {
  return systemBits == 64 && kEngineBits == 32 ? "Program Files (x86)" : "Program Files";
}

class WinePrefix {
 public:
  explicit WinePrefix(int bits = kWindowsBits);
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  // Runs `wine program arguments...`; extraEnvironment holds NAME=VALUE pairs
  // (WINEDEBUG and WINEDLLOVERRIDES replace the quiet defaults).
  RunResult Run(const std::vector<std::string>& command, int timeoutSeconds = 60,
                const std::vector<std::string>& extraEnvironment = {});
  Started Start(const std::vector<std::string>& command, const std::vector<std::string>& extraEnvironment = {});
  RunResult Wait(Started& started, int timeoutSeconds = 60);

  // Runs the window helper (wait, texts, press, gone, list) in this prefix.
  RunResult WindowHelper(const std::vector<std::string>& arguments);

  // Drive `letter` becomes a removable disk whose root is a new folder of
  // the prefix, which makes every installation on it portable; returns
  // that folder. Wine reads its drive types when its server starts.
  std::string MakeRemovableDrive(char letter);

  const std::string& Path() const { return path_; }
  std::string DriveC() const { return path_ + "/drive_c"; }

 private:
  std::string path_;
};

// A prefix shared by the tests of one suite, made before the first and
// removed after the last.
class SharedPrefixTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  static WinePrefix* prefix_;
};

// The user Wine runs as: the Linux user, whose folders are C:\users\NAME.
std::string UserName();

// Where the build put things.
std::string EnginePath();
std::string WindowsTestProgram(const std::string& name);
std::string SourcePath(const std::string& relative);

std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Waits for a file or folder to disappear; false when it is still there
// after the given time.
bool WaitUntilGone(const std::string& path, int seconds);
void CopyFile(const std::string& from, const std::string& to);

// The lines that the engine wrote to the debugger output ("Palisade: ..."),
// from the standard error of a run with kDebugOutput in its environment.
inline constexpr char kDebugOutput[] = "WINEDEBUG=-all,+debugstr";
std::vector<std::string> EngineTrace(const std::string& standardError);

// A text as the window helper prints it: line breaks, tabs and backslashes
// escaped, so that each item stays on its line.
std::string Escaped(const std::string& text);

// A screen rectangle as the window helper's "rects" prints it.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int CentreX() const { return (left + right) / 2; }
  int CentreY() const { return (top + bottom) / 2; }
};

// The rectangles of "rects" output: "window" for the window itself, else
// each control's id.
std::map<std::string, Rect> WindowRects(const std::string& output);

// The key with its values and sub-keys as the registry editor exports it
// (in UTF-8), in the view given ("/reg:64" or none); empty when the key is
// not there.
std::string ExportKey(WinePrefix& prefix, const std::string& key, const std::string& view = "");

// Output of a Linux command (for tools such as the MinGW objdump).
std::string CommandOutput(const std::string& command);

// `palisade ARGS` (the builder of this build): its output and standard
// error together, and its exit status.
std::pair<std::string, int> Palisade(const std::string& args);

}  // namespace palisade::testing
