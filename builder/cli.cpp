#include "builder/cli.h"

#include <charconv>
#include <thread>

#include "builder/extract.h"
#include "builder/inspect.h"
#include "builder/installer_writer.h"
#include "builder/progress_bar.h"
#include "builder/project.h"
#include "builder/time_stamps.h"
#include "format/version.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

constexpr char kUsageText[] =
    "usage: palisade COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  build PROJECT.toml -o SETUP.exe [--engine PATH] [--quiet] [--jobs N]\n"
    "                 write an installer from a project file\n"
    "  inspect SETUP.exe [--json]\n"
    "                 show what an installer carries and check it\n"
    "  extract SETUP.exe -o FOLDER\n"
    "                 write an installer's files into a folder\n"
    "  version        print the engine version this builder writes for\n"
    "  help           show this text\n";

constexpr char kEngineFileName[] = "palisade-engine.exe";

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output;
  std::optional<std::string> engine;
  std::optional<std::string> jobs;
  bool quiet = false;
  bool json = false;
};

// Options with a value take it from the next argument.
bool ParseArguments(const std::vector<std::string>& args, Arguments& parsed, std::string& problem) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::optional<std::string>* valued = arg == "-o" || arg == "--output" ? &parsed.output
                                         : arg == "--engine"              ? &parsed.engine
                                         : arg == "--jobs" || arg == "-j" ? &parsed.jobs
                                                                          : nullptr;
    if (valued != nullptr) {
      if (i + 1 == args.size()) return problem = arg + " needs a value", false;
      *valued = args[++i];
    } else if (arg == "--quiet" || arg == "-q") {
      parsed.quiet = true;
    } else if (arg == "--json") {
      parsed.json = true;
    } else if (arg.starts_with("-") && arg.size() > 1) {
      return problem = "unknown option " + arg, false;
    } else {
      parsed.positional.push_back(arg);
    }
  }
  return true;
}

int Usage(std::ostream& err, const std::string& problem) {
  err << "palisade: " << problem << "\n\n" << kUsageText;
  return kUsage;
}

std::optional<unsigned> JobCount(const std::optional<std::string>& text) {
  if (!text) return std::max(1u, std::thread::hardware_concurrency());
  unsigned jobs = 0;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), jobs);
  if (error != std::errc() || end != text->data() + text->size() || jobs == 0 || jobs > 256) return std::nullopt;
  return jobs;
}

uint64_t TotalSize(const Project& project) {
  uint64_t total = 0;
  for (const FileSource& file : project.files) total += file.size;
  return total;
}

int Build(const Arguments& args, const Environment& environment, std::ostream& err) {
  if (args.positional.size() != 1 || !args.output) return Usage(err, "build takes one project file and -o SETUP.exe");
  std::optional<unsigned> jobs = JobCount(args.jobs);
  if (!jobs) return Usage(err, "--jobs takes a number from 1 to 256");
  bool validEpoch = true;
  ReadOptions options{ParseSourceDateEpoch(environment.sourceDateEpoch.value_or(""), validEpoch)};
  if (!validEpoch) return Usage(err, "SOURCE_DATE_EPOCH must be a number of seconds");
  Project project;
  Diagnostics diagnostics(args.positional[0]);
  ReadProject(args.positional[0], options, project, diagnostics);
  if (!diagnostics.empty()) {
    diagnostics.Print(err);
    return kUsage;
  }
  ProgressBar progress(environment.terminal && !args.quiet, TotalSize(project));
  WriteOptions write{args.engine ? fs::path(*args.engine) : environment.selfPath.parent_path() / kEngineFileName,
                     *args.output, *jobs, [&](uint64_t bytes) { progress.Advance(bytes); }};
  std::string problem;
  bool written = WriteInstaller(project, write, problem);
  progress.Done();
  if (!written) {
    err << "palisade: " << problem << '\n';
    return kFailure;
  }
  return kSuccess;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
               std::ostream& err) {
  if (args.empty()) return Usage(err, "no command given");
  const std::string& command = args[0];
  if (command == "version" || command == "--version") {
    out << "palisade " << format::kEngineVersion << '\n';
    return kSuccess;
  }
  if (command == "help" || command == "--help" || command == "-h") {
    out << kUsageText;
    return kSuccess;
  }
  Arguments parsed;
  std::string problem;
  if (!ParseArguments(args, parsed, problem)) return Usage(err, problem);
  if (command == "build") return Build(parsed, environment, err);
  if (command == "inspect") {
    if (parsed.positional.size() != 1) return Usage(err, "inspect takes one installer");
    return Inspect(parsed.positional[0], parsed.json, out, err);
  }
  if (command == "extract") {
    if (parsed.positional.size() != 1 || !parsed.output) return Usage(err, "extract takes one installer and -o FOLDER");
    return Extract(parsed.positional[0], *parsed.output, err);
  }
  return Usage(err, "unknown command \"" + command + "\"");
}

}  // namespace palisade::builder
