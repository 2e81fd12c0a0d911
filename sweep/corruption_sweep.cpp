// Damages a sound installer byte by byte and reads every damaged copy the
// way the engine reads its own file, each read in a child process with a
// time limit, and prints what the reads came to:
//
//   corruption_sweep [--short] [--timeout SECONDS] INSTALLER
//
// It fails when a read crashed, hung or handed over a file whose bytes are
// not the original ones, and prints each such case.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "sweep/installer_damage.h"

namespace palisade::sweep {
namespace {

constexpr Density kShortDensity{
    .header = 1, .scriptBlock = 13, .chunkHeads = 61, .chunkBytes = 4099, .recordStream = 1021};

struct Options {
  bool brief = false;
  unsigned timeoutSeconds = 10;
  std::string installer;
};

struct ChildReport {
  Verdict verdict = Verdict::kCorrupt;
  int code = 0;
};

// How one case ended, as the figures count it.
std::string OutcomeName(bool crashed, bool hung, const ChildReport& report) {
  if (hung) return "HANG";
  if (crashed) return "CRASH";
  if (report.verdict == Verdict::kCorrupt) return "error " + std::to_string(report.code);
  return VerdictName(report.verdict);
}

bool IsFault(bool crashed, bool hung, const ChildReport& report) {
  return crashed || hung || (report.verdict != Verdict::kCorrupt && report.verdict != Verdict::kVersionRefused &&
                             report.verdict != Verdict::kClean);
}

struct Tally {
  std::map<std::string, std::map<std::string, int>> byRegion;
  std::map<std::string, int> total;
  std::vector<std::string> faults;
  int cases = 0;
  int crashes = 0;
  int hangs = 0;
};

// The read runs in a child so that a crash or a hang ends that case alone;
// the child's alarm is the time limit.
void RunCase(const Bytes& installer, const InstallerLayout& layout, const std::vector<FileRead>& sound,
             const DamageCase& damage, unsigned timeoutSeconds, Tally& tally) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) {
    std::perror("pipe");
    std::exit(2);
  }
  pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    alarm(timeoutSeconds);
    ReadOutcome outcome = ReadDamaged(installer, layout, damage);
    ChildReport report{Judge(outcome, sound), format::ErrorCode(outcome.error)};
    _exit(write(pipeEnds[1], &report, sizeof report) == sizeof report ? 0 : 1);
  }
  close(pipeEnds[1]);
  ChildReport report;
  bool reported = read(pipeEnds[0], &report, sizeof report) == sizeof report;
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  bool hung = WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM;
  bool crashed = !hung && (!reported || !WIFEXITED(status) || WEXITSTATUS(status) != 0);
  std::string outcome = OutcomeName(crashed, hung, report);
  ++tally.cases;
  tally.crashes += crashed;
  tally.hangs += hung;
  ++tally.byRegion[std::string(RegionName(damage.region)) + ", " + ResealName(damage.reseal)][outcome];
  ++tally.total[outcome];
  if (IsFault(crashed, hung, report)) tally.faults.push_back(outcome + ": " + Describe(damage));
}

void PrintCounts(const std::map<std::string, int>& counts) {
  const char* separator = "";
  for (const auto& [outcome, count] : counts) {
    std::printf("%s%s x%d", separator, outcome.c_str(), count);
    separator = ", ";
  }
  std::printf("\n");
}

void PrintFigures(const Tally& tally) {
  for (const auto& [region, counts] : tally.byRegion) {
    int cases = 0;
    for (const auto& entry : counts) cases += entry.second;
    std::printf("  %s (%d): ", region.c_str(), cases);
    PrintCounts(counts);
  }
  std::printf("cases tried: %d\noutcomes: ", tally.cases);
  PrintCounts(tally.total);
  int unverified = tally.total.count(VerdictName(Verdict::kUnverifiedFile))
                       ? tally.total.at(VerdictName(Verdict::kUnverifiedFile))
                       : 0;
  std::printf("crashes: %d\nhangs: %d\nfiles from unverified bytes: %d\n", tally.crashes, tally.hangs, unverified);
  for (const std::string& fault : tally.faults) std::printf("FAULT %s\n", fault.c_str());
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--short") {
      options.brief = true;
    } else if (argument == "--timeout" && i + 1 < argc) {
      options.timeoutSeconds = static_cast<unsigned>(std::atoi(argv[++i]));
    } else if (options.installer.empty() && argument.rfind("--", 0) != 0) {
      options.installer = argument;
    } else {
      return false;
    }
  }
  return !options.installer.empty() && options.timeoutSeconds > 0;
}

int Sweep(const Options& options) {
  std::ifstream file(options.installer, std::ios::binary);
  Bytes installer((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  InstallerLayout layout;
  std::string problem;
  if (installer.empty() || !MapInstaller(installer, layout, problem)) {
    std::fprintf(stderr, "corruption_sweep: %s: %s\n", options.installer.c_str(),
                 installer.empty() ? "cannot be read" : problem.c_str());
    return 2;
  }
  ReadOutcome sound = ReadAsTheEngineDoes(installer);
  std::vector<DamageCase> cases = DamageCases(layout, options.brief ? kShortDensity : Density{});
  std::printf("corruption sweep of %s: header %zu bytes, script block %d bytes, %zu chunks, record stream %zu bytes, "
              "%zu files\n",
              options.installer.c_str(), layout.headerSize, layout.header.scriptBlockSize, layout.chunks.size(),
              layout.streamSize, sound.files.size());
  std::fflush(stdout);
  Tally tally;
  for (const DamageCase& damage : cases) RunCase(installer, layout, sound.files, damage, options.timeoutSeconds, tally);
  PrintFigures(tally);
  return tally.faults.empty() ? 0 : 1;
}

}  // namespace
}  // namespace palisade::sweep

int main(int argc, char** argv) {
  palisade::sweep::Options options;
  if (!palisade::sweep::ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: corruption_sweep [--short] [--timeout SECONDS] INSTALLER\n");
    return 2;
  }
  return palisade::sweep::Sweep(options);
}
