#include "builder/cli.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <span>
#include <thread>

#include <unistd.h>

#include "builder/atomic_file.h"
#include "builder/compression_profiles.h"
#include "builder/extract.h"
#include "builder/init_project.h"
#include "builder/inspect.h"
#include "builder/installer_writer.h"
#include "builder/progress_bar.h"
#include "builder/project.h"
#include "builder/project_keys.h"
#include "builder/signing.h"
#include "builder/try_product.h"
#include "builder/time_stamps.h"
#include "builder/windows_names.h"
#include "format/product_flags.h"
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
    "  build PROJECT.toml -o SETUP.exe [--engine PATH|x86|x64] [--jobs N] [--compression NAME]\n"
    "        [--quiet] [--deny-warnings] [--sign ...]\n"
    "                 write an installer from a project file\n"
    "  inspect SETUP.exe [--json]\n"
    "                 show every setting an installer carries and check it\n"
    "  extract SETUP.exe -o FOLDER\n"
    "                 write an installer's files into a folder\n"
    "  try PROJECT.toml|SETUP.exe [--json] [--keep-prefix] [--engine PATH|x86|x64]\n"
    "                 install and uninstall under Wine; show what is left behind\n"
    "  init [NAME]    write a first palisade.toml for the files of this folder\n"
    "  schema         print the JSON Schema of project files, for editors\n"
    "  version        print the builder's version and the engine version it writes for\n"
    "  help           show this text\n"
    "\n"
    "`palisade COMMAND --help` describes a command's options. An option's value\n"
    "follows it (--jobs 2) or joins it with \"=\" (--jobs=2).\n";

constexpr char kEngineFileName[] = "palisade-engine.exe";
constexpr char kEngine64FileName[] = "palisade-engine-x64.exe";

struct OptionShape {
  std::string_view name;   // "--output"
  std::string_view alias;  // "-o", or empty
  bool takesValue;
};

constexpr OptionShape kHelp = {"--help", "-h", false};

struct CommandShape {
  std::string_view name;
  std::span<const OptionShape> options;
  const char* help;
};

constexpr OptionShape kBuildOptions[] = {{"--output", "-o", true}, {"--engine", "", true},
                                        {"--jobs", "-j", true},   {"--quiet", "-q", false},
                                        {"--compression", "", true},
                                        {"--deny-warnings", "", false}, {"--sign", "", false},
                                        {"--sign-pkcs12", "", true}, {"--sign-cert", "", true},
                                        {"--sign-key", "", true},    {"--sign-password-env", "", true},
                                        {"--sign-password-file", "", true}, {"--timestamp", "", true},
                                        {"--depfile", "", true}, kHelp};
constexpr OptionShape kInspectOptions[] = {{"--json", "", false}, kHelp};
constexpr OptionShape kExtractOptions[] = {{"--output", "-o", true}, kHelp};
constexpr OptionShape kTryOptions[] = {{"--json", "", false}, {"--keep-prefix", "", false}, {"--engine", "", true}, kHelp};
constexpr OptionShape kPlainOptions[] = {kHelp};

constexpr CommandShape kCommands[] = {
    {"build", kBuildOptions,
     "usage: palisade build PROJECT.toml -o SETUP.exe [OPTIONS]\n"
     "\n"
     "Writes an installer from a project file (docs/project-file.md). Mistakes in\n"
     "the project are reported as FILE:LINE: message; hint, with status 2;\n"
     "warnings as FILE:LINE: warning: message; hint, and the build goes on.\n"
     "\n"
     "options:\n"
     "  -o, --output SETUP.exe  the installer to write (its folder is made when missing); never one of the build's inputs\n"
     "  --engine PATH|x86|x64   the engine to build on: a file, or x86 or x64 for\n"
     "                          palisade-engine.exe or palisade-engine-x64.exe beside\n"
     "                          palisade, else in ../share/palisade (default: x86, or\n"
     "                          $PALISADE_ENGINE when set)\n"
     "  -j, --jobs N            threads compressing the files, 1 to 256 (default: one\n"
     "                          per core); the output does not depend on it\n"
     "  --compression NAME      fastest, default or smallest; over the project's\n"
     "                          [compression] profile (docs/builder.md has figures)\n"
     "  -q, --quiet             no progress bar and no summary line\n"
     "  --deny-warnings         stop with status 2, writing nothing, when the project\n"
     "                          has a warning\n"
     "  --sign                  sign the installer (Authenticode, through osslsigncode)\n"
     "                          with the options below or the project's [signing]\n"
     "  --sign-pkcs12 FILE      the certificate and key in one PKCS#12 file, or\n"
     "  --sign-cert FILE        the certificate (PEM or DER) and\n"
     "  --sign-key FILE         its private key\n"
     "  --sign-password-env NAME  the environment variable holding the key's password\n"
     "  --sign-password-file FILE the file holding it (never on the command line)\n"
     "  --timestamp URL         an RFC 3161 time-stamp server\n"
     "  --depfile FILE          write the files the installer was built from as a\n"
     "                          make rule, for build systems (CMake, Ninja, make)\n"
     "  -h, --help              show this text\n"},
    {"inspect", kInspectOptions,
     "usage: palisade inspect SETUP.exe [--json]\n"
     "\n"
     "Shows every setting an installer carries under the project file's names,\n"
     "and its files, testing every checksum on the way.\n"
     "\n"
     "options:\n"
     "  --json      print one JSON object with the project file's key names\n"
     "  -h, --help  show this text\n"},
    {"extract", kExtractOptions,
     "usage: palisade extract SETUP.exe -o FOLDER\n"
     "\n"
     "Writes an installer's files into a folder, with their time stamps, without\n"
     "running anything.\n"
     "\n"
     "options:\n"
     "  -o, --output FOLDER  the folder to write (made when missing)\n"
     "  -h, --help           show this text\n"},
    {"try", kTryOptions,
     "usage: palisade try PROJECT.toml|SETUP.exe [--json] [--keep-prefix] [--engine PATH|x86|x64]\n"
     "\n"
     "Builds the project (when given one), installs the product silently in a\n"
     "throwaway Wine prefix, uninstalls it with its uninstall entry's\n"
     "UninstallString, and shows what the installation added and what the\n"
     "uninstallation left behind. Needs Wine (only this command does). Status 0:\n"
     "nothing left behind; 1: something is; 2: a usage or build error; 3: this\n"
     "machine cannot run the installer (no Wine, a Wine that cannot start, or a\n"
     "32-bit installer where the kernel runs no 32-bit code), with a hint on\n"
     "what to do.\n"
     "\n"
     "options:\n"
     "  --json         print one JSON object\n"
     "  --keep-prefix  keep the prefix and print where it is\n"
     "  --engine ...   for a project: the engine to build on, as for build\n"
     "  -h, --help     show this text\n"},
    {"init", kPlainOptions,
     "usage: palisade init [NAME]\n"
     "\n"
     "Writes palisade.toml in the current folder: the product NAME (default: the\n"
     "folder's name), version 1.0.0, every file of the folder, and a start-menu\n"
     "shortcut to the program when the folder holds exactly one .exe. It builds\n"
     "as it is; an existing palisade.toml is left alone.\n"
     "\n"
     "options:\n"
     "  -h, --help  show this text\n"},
    {"schema", kPlainOptions,
     "usage: palisade schema\n"
     "\n"
     "Prints the JSON Schema of project files (docs/palisade.schema.json), with\n"
     "which TOML editors check and complete palisade.toml.\n"},
    {"version", kPlainOptions,
     "usage: palisade version\n"
     "\n"
     "Prints the builder's version and the engine version its installers are for.\n"},
    {"help", kPlainOptions, "usage: palisade help\n\nLists the commands.\n"},
};

struct Arguments {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string_view, std::string>> values;  // option name, value
  std::vector<std::string_view> switches;

  std::optional<std::string> Value(std::string_view name) const {
    for (const auto& [option, value] : values) {
      if (option == name) return value;
    }
    return std::nullopt;
  }
  bool Has(std::string_view name) const { return std::find(switches.begin(), switches.end(), name) != switches.end(); }
};

const OptionShape* FindOption(const CommandShape& command, std::string_view name) {
  for (const OptionShape& option : command.options) {
    if (option.name == name || (!option.alias.empty() && option.alias == name)) return &option;
  }
  return nullptr;
}

// "--name value", "--name=value" and "-o value" are one option; a lone "-"
// is a positional argument (a file name).
bool ParseArguments(const CommandShape& command, const std::vector<std::string>& args, Arguments& parsed,
                    std::string& problem) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("-") || arg == "-") {
      parsed.positional.push_back(arg);
      continue;
    }
    std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    std::string name = arg.substr(0, equals);
    const OptionShape* option = FindOption(command, name);
    if (option == nullptr) {
      problem = "unknown option " + name + " for " + std::string(command.name);
      return false;
    }
    if (!option->takesValue) {
      if (equals != std::string::npos) return problem = std::string(option->name) + " takes no value", false;
      parsed.switches.push_back(option->name);
    } else if (equals != std::string::npos) {
      parsed.values.emplace_back(option->name, arg.substr(equals + 1));
    } else if (i + 1 < args.size()) {
      parsed.values.emplace_back(option->name, args[++i]);
    } else {
      return problem = name + " needs a value", false;
    }
  }
  return true;
}

int Usage(std::ostream& err, const std::string& problem, const char* usage = kUsageText) {
  err << "palisade: " << problem << "\n\n" << usage;
  return kUsage;
}

std::optional<unsigned> JobCount(const std::optional<std::string>& text) {
  if (!text) return std::max(1u, std::thread::hardware_concurrency());
  unsigned jobs = 0;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), jobs);
  if (error != std::errc() || end != text->data() + text->size() || jobs == 0 || jobs > 256) return std::nullopt;
  return jobs;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

// Why writing `output` would destroy one of the build's own inputs; empty
// when it would not.
std::string OverwrittenInput(const fs::path& output, const fs::path& projectFile, const fs::path& engine,
                             const Project& project) {
  if (SameFile(output, projectFile)) return "the project file";
  if (SameFile(output, engine)) return "the engine";
  for (const FileSource& file : project.files) {
    if (SameFile(output, file.source)) return "\"" + file.source.string() + "\", a file the project packs";
  }
  return {};
}

std::string SizeText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  const char* units[] = {"KiB", "MiB", "GiB"};
  double size = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  for (; size >= 1024 && unit + 1 < std::size(units); ++unit) size /= 1024;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", size, units[unit]);
  return text;
}

// "wrote setup.exe: 1.2 MiB, 245 files of 32.1 MiB compressed to 38%, in 4.2 s"
std::string SummaryLine(const std::string& output, const WrittenInstaller& written, const Project& project,
                        double seconds) {
  uint64_t plain = PayloadBytes(project);
  std::size_t count = project.files.size();
  std::string line = "wrote " + output + ": " + SizeText(written.size) + ", " + std::to_string(count) +
                     (count == 1 ? " file" : " files");
  if (plain > 0) {
    line += " of " + SizeText(plain) + " compressed to " +
            std::to_string((written.archiveLength * 100 + plain / 2) / plain) + "%";
  }
  char time[32];
  std::snprintf(time, sizeof time, ", in %.1f s", seconds);
  return line + time;
}

// The signing settings given on the command line; `wanted` when any is.
SigningSettings SigningOptions(const Arguments& args, bool& wanted) {
  SigningSettings settings;
  settings.pkcs12 = args.Value("--sign-pkcs12").value_or("");
  settings.certificate = args.Value("--sign-cert").value_or("");
  settings.key = args.Value("--sign-key").value_or("");
  settings.passwordVariable = args.Value("--sign-password-env").value_or("");
  settings.passwordFile = args.Value("--sign-password-file").value_or("");
  settings.timestampUrl = args.Value("--timestamp").value_or("");
  wanted = args.Has("--sign") || std::any_of(args.values.begin(), args.values.end(), [](const auto& value) {
             return value.first.starts_with("--sign-") || value.first == "--timestamp";
           });
  return settings;
}

// The engines lie beside `palisade` in the build tree (build/bin) and under
// PREFIX/share/palisade once installed (PREFIX/bin/palisade); the one
// beside it wins, so that a build tree never picks up an installed engine.
fs::path ShippedEngine(const fs::path& selfPath, const char* fileName) {
  fs::path beside = selfPath.parent_path() / fileName;
  fs::path installed = selfPath.parent_path().parent_path() / "share" / "palisade" / fileName;
  std::error_code error;
  return !fs::exists(beside, error) && fs::exists(installed, error) ? installed : beside;
}

// `--engine` names a file, or "x86" or "x64" for the engines that come with
// palisade; PALISADE_ENGINE gives its default, so that a CI runner that can
// run only 64-bit Windows programs says "x64" once for every build.
fs::path ChosenEngine(const Arguments& args, const Environment& environment) {
  std::optional<std::string> fromEnvironment =
      environment.variables ? environment.variables("PALISADE_ENGINE") : std::nullopt;
  std::string choice = args.Value("--engine").value_or(fromEnvironment.value_or("x86"));
  if (choice == "x86") return ShippedEngine(environment.selfPath, kEngineFileName);
  if (choice == "x64") return ShippedEngine(environment.selfPath, kEngine64FileName);
  return choice;
}

// A path in a make rule: blanks, "#" and "$" would end or change it.
std::string MakePath(const fs::path& path) {
  std::string escaped;
  for (char c : path.string()) {
    if (c == ' ' || c == '#') escaped += '\\';
    escaped += c == '$' ? "$$" : std::string(1, c);
  }
  return escaped;
}

// "OUTPUT: INPUT ...": what a build system must watch to build the installer
// again when it would come out different.
bool WriteDepfile(const fs::path& depfile, const fs::path& output, const std::vector<fs::path>& inputs,
                  std::string& problem) {
  std::string rule = MakePath(output) + ":";
  for (const fs::path& input : inputs) rule += " \\\n  " + MakePath(input);
  return WriteFileAtomically(depfile, rule + "\n", problem);
}

std::vector<fs::path> BuildInputs(const fs::path& projectFile, const fs::path& engine, const Project& project) {
  std::vector<fs::path> inputs = {projectFile, engine};
  for (const FileSource& file : project.files) inputs.push_back(file.source);
  inputs.insert(inputs.end(), project.readFiles.begin(), project.readFiles.end());
  return inputs;
}

int Build(const CommandShape& command, const Arguments& args, const Environment& environment, std::ostream& out,
          std::ostream& err) {
  std::optional<std::string> output = args.Value("--output");
  if (args.positional.size() != 1 || !output) {
    return Usage(err, "build takes one project file and -o SETUP.exe", command.help);
  }
  std::optional<unsigned> jobs = JobCount(args.Value("--jobs"));
  if (!jobs) return Usage(err, "--jobs takes a number from 1 to 256", command.help);
  bool validEpoch = true;
  ReadOptions options{ParseSourceDateEpoch(environment.sourceDateEpoch.value_or(""), validEpoch),
                      environment.variables, args.Value("--compression"),
                      args.Value("--sign-password-env").value_or("")};
  if (!validEpoch) return Usage(err, "SOURCE_DATE_EPOCH must be a number of seconds", command.help);
  if (options.compression && FindCompressionProfile(*options.compression) == nullptr) {
    return Usage(err, "--compression takes " + std::string(CompressionProfileNames()), command.help);
  }
  auto started = std::chrono::steady_clock::now();
  Project project;
  Diagnostics diagnostics(args.positional[0]);
  ReadProject(args.positional[0], options, project, diagnostics);
  diagnostics.Print(err);
  if (diagnostics.HasErrors() || (args.Has("--deny-warnings") && diagnostics.HasWarnings())) return kUsage;
  fs::path engine = ChosenEngine(args, environment);
  std::string overwritten = OverwrittenInput(*output, args.positional[0], engine, project);
  if (!overwritten.empty()) {
    err << "palisade: the output " << *output << " is " << overwritten << "; write the installer elsewhere\n";
    return kUsage;
  }
  bool sign = false;
  MergeSigningSettings(SigningOptions(args, sign), project.signing);
  if (std::string problem = SigningSettingsProblem(project.signing, environment.variables); sign && !problem.empty()) {
    err << "palisade: " << problem << '\n';
    return kUsage;
  }
  // The signature goes into the headers that the start-up check covers, so
  // a signed installer with the check would refuse to start.
  if (sign && (project.script.productFlagsHigh & format::product_flags_high::kVerifyStub) != 0) {
    err << "palisade: a signed installer cannot check its executable part at start-up; set [installer] "
           "verify-stub = false\n";
    return kUsage;
  }
  // A signed build writes beside the output and renames the signed file over
  // it, so that a failed signing leaves no unsigned or half-signed installer.
  std::string temporary = *output + ".tmp-" + std::to_string(getpid());
  TemporaryPath unsignedFile{sign ? temporary + "-unsigned" : ""};
  TemporaryPath signedFile{sign ? temporary + "-signed" : ""};
  bool quiet = args.Has("--quiet");
  ProgressBar progress(environment.terminal && !quiet, PayloadBytes(project));
  WriteOptions write{engine, sign ? unsignedFile.path : fs::path(*output), *jobs,
                     [&](uint64_t bytes) { progress.Advance(bytes); }};
  WrittenInstaller written;
  std::string problem;
  bool done = WriteInstaller(project, write, written, problem);
  progress.Done();
  if (!done) {
    err << "palisade: " << problem << '\n';
    return kFailure;
  }
  if (sign) {
    std::error_code error;
    if (!SignInstaller(project.signing, environment.variables, unsignedFile.path, signedFile.path, problem)) {
      err << "palisade: " << problem << '\n';
      return kUsage;
    }
    written.size = fs::file_size(signedFile.path, error);
    fs::rename(signedFile.path, *output, error);
    if (error) {
      err << "palisade: cannot write \"" << *output << "\": " << error.message() << '\n';
      return kFailure;
    }
  }
  std::optional<std::string> depfile = args.Value("--depfile");
  if (depfile && !WriteDepfile(*depfile, *output, BuildInputs(args.positional[0], engine, project), problem)) {
    err << "palisade: " << problem << '\n';
    return kFailure;
  }
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
  if (!quiet) out << SummaryLine(*output, written, project, seconds.count()) << '\n';
  return kSuccess;
}

// Tries an installer, or the one a project builds into a scratch folder.
int Try(const CommandShape& command, const Arguments& args, const Environment& environment, std::ostream& out,
        std::ostream& err) {
  if (args.positional.size() != 1) return Usage(err, "try takes one project file or installer", command.help);
  TryOptions options{args.positional[0], environment.selfPath, args.Has("--json"), args.Has("--keep-prefix"),
                     environment.variables};
  if (options.installer.extension() != ".toml") return TryInstaller(options, out, err);
  std::string folder = (fs::temp_directory_path() / "palisade-try-build-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return err << "palisade: cannot make a scratch folder\n", kUsage;
  TemporaryPath built{folder};
  options.installer = fs::path(folder) / "setup.exe";
  Arguments build{{args.positional[0]}, {{"--output", options.installer.string()}}, {"--quiet"}};
  if (std::optional<std::string> engine = args.Value("--engine")) build.values.emplace_back("--engine", *engine);
  int status = Build(kCommands[0], build, environment, out, err);
  if (status != kSuccess) return kUsage;
  int tried = TryInstaller(options, out, err);
  fs::remove_all(folder);
  return tried;
}

// A first project file for the current folder; never over an existing one.
int Init(const CommandShape& command, const Arguments& args, const Environment& environment, std::ostream& out,
         std::ostream& err) {
  if (args.positional.size() > 1) return Usage(err, "init takes at most one product name", command.help);
  const fs::path& folder = environment.workingFolder;
  std::string product = args.positional.empty() ? folder.filename().string() : args.positional[0];
  if (std::optional<std::string> problem = WindowsNameProblem(product); problem || product.empty()) {
    err << "palisade: the product name \"" << product << "\" cannot name the installation folder: "
        << problem.value_or("it is empty") << "; give another name: palisade init NAME\n";
    return kUsage;
  }
  fs::path project = folder / kProjectFileName;
  std::error_code error;
  if (fs::exists(project, error) || error) {
    err << "palisade: " << project.string() << " exists already; edit it, or remove it to start again\n";
    return kUsage;
  }
  std::string text, problem;
  if (!InitialProject(folder, product, text, problem) || !WriteFileAtomically(project, text, problem)) {
    err << "palisade: " << problem << '\n';
    return kFailure;
  }
  out << "wrote " << project.string() << "; build it with: palisade build " << kProjectFileName
      << " -o ../Setup.exe\n";
  return kSuccess;
}

int RunParsed(const CommandShape& command, const Arguments& args, const Environment& environment, std::ostream& out,
              std::ostream& err) {
  if (command.name == "build") return Build(command, args, environment, out, err);
  if (command.name == "try") return Try(command, args, environment, out, err);
  if (command.name == "init") return Init(command, args, environment, out, err);
  if (command.name == "inspect") {
    if (args.positional.size() != 1) return Usage(err, "inspect takes one installer", command.help);
    return Inspect(args.positional[0], args.Has("--json"), out, err);
  }
  if (command.name == "extract") {
    std::optional<std::string> folder = args.Value("--output");
    if (args.positional.size() != 1 || !folder) {
      return Usage(err, "extract takes one installer and -o FOLDER", command.help);
    }
    return Extract(args.positional[0], *folder, err);
  }
  if (!args.positional.empty()) return Usage(err, std::string(command.name) + " takes no arguments", command.help);
  if (command.name == "schema") {
    out << ProjectSchema();
  } else if (command.name == "version") {
    out << "palisade " << kBuilderVersion << " (engine " << format::kEngineVersion << ")\n";
  } else {
    out << kUsageText;
  }
  return kSuccess;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
               std::ostream& err) {
  if (args.empty()) return Usage(err, "no command given");
  std::string name = args[0];
  if (name == "--version") name = "version";
  if (name == "--help" || name == "-h") name = "help";
  auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                              [&](const CommandShape& shape) { return shape.name == name; });
  if (command == std::end(kCommands)) return Usage(err, "unknown command \"" + name + "\"");
  Arguments parsed;
  std::string problem;
  if (!ParseArguments(*command, args, parsed, problem)) return Usage(err, problem, command->help);
  if (parsed.Has("--help")) {
    out << command->help;
    return kSuccess;
  }
  return RunParsed(*command, parsed, environment, out, err);
}

}  // namespace palisade::builder
