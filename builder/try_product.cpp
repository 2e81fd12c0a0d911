#include "builder/try_product.h"

#include <toml++/toml.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "builder/child_process.h"
#include "builder/machine_support.h"
#include "builder/mapped_file.h"
#include "builder/prefix_snapshot.h"
#include "format/pe_image.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

constexpr char kSetupFolder[] = "palisade-try";
constexpr char kUninstallKeys[] = "software\\\\microsoft\\\\windows\\\\currentversion\\\\uninstall\\\\";
constexpr char kUninstallKeys32[] = "software\\\\wow6432node\\\\microsoft\\\\windows\\\\currentversion\\\\uninstall\\\\";
constexpr char kUninstallValue[] = "\"UninstallString\"=\"";

constexpr int kNotTried = 2;
constexpr int kCannotRunHere = 3;
constexpr char kNo32BitHint[] =
    "this machine cannot run 32-bit Windows programs; build the installer with --engine x64 (the 64-bit "
    "engine, palisade-engine-x64.exe) to try it here, or try it on a machine with 32-bit support; see docs/ci.md";
constexpr char kNoWineHint[] =
    "this machine has no Wine; install it (Debian: apt-get install wine wine64) to try installers here; "
    "see docs/ci.md";
// Debian's `wine` starts its 32-bit loader whenever wine32 is installed, for
// 64-bit programs too; the shell that execs it reports the refusal.
constexpr char kRefusedFormat[] = "Exec format error";
constexpr char kWineRefusedHint[] =
    "this machine cannot start Wine (Exec format error): the kernel runs no 32-bit code, which Wine's 32-bit "
    "loader needs; remove wine32 (apt-get remove wine32:i386) and build the installer with --engine x64 to try "
    "it here; see docs/ci.md";


// A scratch prefix and the environment that runs Wine in it; the folder
// goes when the try is over, unless it is to be kept.
struct ScratchPrefix {
  fs::path folder;
  fs::path prefix;
  std::vector<std::string> environment;
  bool keep = false;

  ~ScratchPrefix() {
    if (folder.empty() || keep) return;
    RunChild({"wineserver", "-k"}, environment);
    RunChild({"wineserver", "-w"}, environment);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

// Wine links the user's Desktop, Documents and the like to the real home
// folder; plain folders keep whatever the product puts there in the prefix.
void UnlinkHomeFolders(const fs::path& prefix) {
  std::error_code error;
  for (const auto& user : fs::directory_iterator(prefix / "drive_c" / "users", error)) {
    for (const auto& entry : fs::directory_iterator(user.path(), error)) {
      if (!entry.is_symlink()) continue;
      fs::remove(entry.path(), error);
      fs::create_directory(entry.path(), error);
    }
  }
}

// 32 or 64 for an x86 Windows program, whose machine and optional header
// must agree; 0 for anything else.
int ProgramBits(std::span<const uint8_t> image) {
  format::ExecutableHeaders headers;
  std::string problem;
  return format::LocateHeaders(image, headers, problem) ? format::X86ProgramBits(headers) : 0;
}

bool InstallerBits(const fs::path& installer, int& bits, std::string& problem) {
  std::error_code error;
  if (!fs::is_regular_file(installer, error)) return problem = "\"" + installer.string() + "\" is not a file", false;
  MappedFile file;
  if (!file.Open(installer, problem)) return false;
  bits = ProgramBits(file.bytes());
  if (bits == 0) return problem = "\"" + installer.string() + "\" is not a 32- or 64-bit x86 Windows program", false;
  return true;
}

// Why `wine` cannot start here, as a hint; empty when it starts.
std::string WineStartHint() {
  ChildResult version = RunChild({"wine", "--version"});
  if (version.startError == ENOENT) return kNoWineHint;
  if (version.startError == ENOEXEC || version.output.find(kRefusedFormat) != std::string::npos) {
    return kWineRefusedHint;
  }
  if (version.startError != 0) {
    return std::string("this machine cannot start Wine: ") + std::strerror(version.startError) + "; see docs/ci.md";
  }
  return {};
}

// A copy of the pristine template of the installer's bitness that
// tools/wine-prefix makes beside the build's bin folder, when there is one;
// otherwise a new prefix of that bitness.
bool MakePrefix(const fs::path& selfPath, int bits, ScratchPrefix& scratch, std::string& problem) {
  std::string pattern = (fs::temp_directory_path() / "palisade-try-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return problem = "cannot make a scratch folder", false;
  scratch.folder = pattern;
  scratch.prefix = scratch.folder / "prefix";
  // Wine's recycle bin goes below the XDG folders: kept in the scratch
  // folder, so that nothing the product does reaches the user's desktop.
  // Wine's menu builder stays off: it would make host launchers beside the
  // product's desktop shortcuts, which it never removes again.
  scratch.environment = {"WINEPREFIX=" + scratch.prefix.string(), "WINEDEBUG=-all",
                         "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d",
                         "XDG_DATA_HOME=" + (scratch.folder / "xdg-data").string(),
                         "XDG_CONFIG_HOME=" + (scratch.folder / "xdg-config").string()};
  fs::path pristine = selfPath.parent_path() / ".." / "wine" / ("template" + std::to_string(bits));
  ChildResult made = fs::exists(pristine / ".ready")
                         ? RunChild({"cp", "-a", pristine.string(), scratch.prefix.string()})
                         : RunChild({"wineboot", "-i"}, [&] {
                             std::vector<std::string> environment = scratch.environment;
                             environment.push_back(bits == 64 ? "WINEARCH=win64" : "WINEARCH=win32");
                             return environment;
                           }());
  RunChild({"wineserver", "-w"}, scratch.environment);
  if (made.exitCode != 0 || !fs::exists(scratch.prefix / "drive_c")) {
    return problem = "cannot make a Wine prefix: " + made.output, false;
  }
  UnlinkHomeFolders(scratch.prefix);
  return true;
}

// The text of a string value as a hive file stores it: \\ and \" undone.
std::string HiveString(std::string_view stored) {
  std::string text;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '\\' && i + 1 < stored.size()) ++i;
    else if (stored[i] == '"') break;
    text += stored[i];
  }
  return text;
}

// The UninstallString of an uninstall entry that the installation made.
std::string NewUninstallCommand(const PrefixSnapshot& before, const PrefixSnapshot& after) {
  for (const auto& [key, values] : after.keys) {
    std::string path = key.substr(key.find(':') + 1);
    if (before.keys.count(key) || !(path.starts_with(kUninstallKeys) || path.starts_with(kUninstallKeys32))) continue;
    for (const std::string& line : values) {
      if (line.starts_with(kUninstallValue)) return HiveString(std::string_view(line).substr(sizeof kUninstallValue - 1));
    }
  }
  return {};
}

// A Windows command line split into the arguments a Windows program reads
// from it (quotes group, a backslash escapes a quote). `wine` takes
// arguments, not a command line: it quotes each again, so the program must
// get them unquoted (`/u:"Tally"` handed on whole would arrive as
// `/u:\"Tally\"`).
std::vector<std::string> UninstallArguments(const std::string& command) {
  std::vector<std::string> argv;
  std::string arg;
  bool inArg = false, quoted = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    std::size_t backslashes = 0;
    while (i < command.size() && command[i] == '\\') ++backslashes, ++i;
    if (i < command.size() && command[i] == '"') {
      arg.append(backslashes / 2, '\\');
      if (backslashes % 2) arg += '"';
      else quoted = !quoted;
      inArg = true;
      continue;
    }
    arg.append(backslashes, '\\');
    if (i == command.size()) break;
    if ((command[i] == ' ' || command[i] == '\t') && !quoted) {
      if (inArg) argv.push_back(arg);
      arg.clear();
      inArg = false;
      continue;
    }
    arg += command[i];
    inArg = true;
  }
  if (inArg || !arg.empty()) argv.push_back(arg);
  return argv;
}

// The difference of two snapshots, with the values of each new key listed
// after it, since the key alone does not say what the product stored.
std::vector<std::string> Differences(const PrefixSnapshot& before, const PrefixSnapshot& after) {
  std::vector<std::string> lines;
  for (const std::string& line : SnapshotChanges(before, after)) {
    lines.push_back(line);
    if (!line.starts_with("+key ")) continue;
    for (const std::string& value : after.keys.at(line.substr(5))) lines.push_back("+value " + line.substr(5) + ": " + value);
  }
  return lines;
}

struct Change {
  std::string kind;  // file, folder, shortcut, key, value
  std::string what;
  bool removed = false;  // the run took it away rather than adding it
};

std::string RegistryName(std::string hiveKey) {
  std::size_t colon = hiveKey.find(':');
  std::string hive = hiveKey.substr(0, colon);
  std::string root = hive == "system.reg" ? "HKLM" : hive == "user.reg" ? "HKCU" : "HKU\\.Default";
  std::string path = root + "\\" + hiveKey.substr(colon + 1);
  for (std::size_t at = 0; (at = path.find("\\\\", at)) != std::string::npos; ++at) path.erase(at, 1);
  return path;
}

// The snapshot's difference lines ("+key K", "-file F") as changes.
std::vector<Change> Changes(const std::vector<std::string>& lines) {
  std::vector<Change> changes;
  for (const std::string& line : lines) {
    Change change;
    change.removed = line[0] == '-';
    std::size_t space = line.find(' ');
    change.kind = line.substr(1, space - 1);
    change.what = line.substr(space + 1);
    if (change.kind == "file") {
      std::string lower = change.what;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower.ends_with("/")) change.kind = "folder";
      else if (lower.ends_with(".lnk")) change.kind = "shortcut";
      change.what = "C:/" + change.what;
    } else if (change.kind == "key") {
      change.what = RegistryName(change.what);
    } else {
      std::size_t split = change.what.find(": ");
      change.what = RegistryName(change.what.substr(0, split)) + ": " + change.what.substr(split + 2);
    }
    changes.push_back(change);
  }
  return changes;
}

void PrintChanges(const std::vector<Change>& changes, std::ostream& out) {
  for (const Change& change : changes) {
    out << "  " << (change.removed ? "- " : "+ ") << change.kind << std::string(9 - change.kind.size(), ' ')
        << change.what << '\n';
  }
}

toml::array JsonChanges(const std::vector<Change>& changes) {
  toml::array array;
  for (const Change& change : changes) {
    array.push_back(toml::table{{"kind", change.kind}, {"path", change.what}, {"removed", change.removed}});
  }
  return array;
}

struct TryRun {
  int installExitCode = -1;
  std::string uninstallCommand;
  int uninstallExitCode = -1;
  std::vector<Change> installed;
  std::vector<Change> left;
};

void Report(const TryOptions& options, const TryRun& run, const fs::path& prefix, std::ostream& out) {
  if (options.json) {
    toml::table report{{"installer", options.installer.string()},
                       {"installExitCode", run.installExitCode},
                       {"installed", JsonChanges(run.installed)},
                       {"uninstallCommand", run.uninstallCommand},
                       {"uninstallExitCode", run.uninstallExitCode},
                       {"leftBehind", JsonChanges(run.left)}};
    if (options.keepPrefix) report.insert("prefix", prefix.string());
    out << toml::json_formatter(report) << '\n';
    return;
  }
  out << "installed (exit code " << run.installExitCode << "):\n";
  PrintChanges(run.installed, out);
  if (run.uninstallCommand.empty()) {
    out << "no uninstall entry with an UninstallString\n";
  } else {
    out << "uninstalled with " << run.uninstallCommand << " /silent (exit code " << run.uninstallExitCode << ")\n";
  }
  if (run.left.empty()) {
    out << "nothing left behind\n";
  } else {
    out << "left behind:\n";
    PrintChanges(run.left, out);
  }
  if (options.keepPrefix) out << "the prefix is kept in " << prefix.string() << '\n';
}

// The hint on standard error and, for --json, a report that says the same.
int CannotRunHere(const TryOptions& options, const std::string& hint, std::ostream& out, std::ostream& err) {
  err << hint << '\n';
  if (options.json) {
    out << toml::json_formatter(toml::table{{"installer", options.installer.string()}, {"cannotRun", hint}}) << '\n';
  }
  return kCannotRunHere;
}

int RunInPrefix(const TryOptions& options, int bits, std::ostream& out, std::ostream& err) {
  ScratchPrefix scratch;
  scratch.keep = options.keepPrefix;
  std::string problem;
  if (!MakePrefix(options.selfPath, bits, scratch, problem)) {
    err << "palisade: " << problem << '\n';
    return kNotTried;
  }
  std::error_code error;
  fs::create_directories(scratch.prefix / "drive_c" / kSetupFolder, error);
  fs::copy_file(options.installer, scratch.prefix / "drive_c" / kSetupFolder / "setup.exe", error);
  if (error) {
    err << "palisade: cannot copy \"" << options.installer.string() << "\" into the prefix: " << error.message() << '\n';
    return kNotTried;
  }
  TryRun run;
  PrefixSnapshot before = TakeSnapshot(scratch.prefix);
  run.installExitCode =
      RunChild({"wine", std::string("C:\\") + kSetupFolder + "\\setup.exe", "/silent"}, scratch.environment).exitCode;
  PrefixSnapshot installed = TakeSnapshot(scratch.prefix);
  run.installed = Changes(Differences(before, installed));
  run.uninstallCommand = NewUninstallCommand(before, installed);
  if (!run.uninstallCommand.empty()) {
    std::vector<std::string> argv = {"wine"};
    for (std::string& arg : UninstallArguments(run.uninstallCommand)) argv.push_back(arg);
    argv.push_back("/silent");
    run.uninstallExitCode = RunChild(argv, scratch.environment).exitCode;
  }
  run.left = Changes(Differences(before, TakeSnapshot(scratch.prefix)));
  Report(options, run, scratch.prefix, out);
  return run.left.empty() ? 0 : 1;
}

}  // namespace

int TryInstaller(const TryOptions& options, std::ostream& out, std::ostream& err) {
  std::string problem;
  int bits = 0, machineBits = 0;
  if (!InstallerBits(options.installer, bits, problem) || !WindowsBits(options.variables, machineBits, problem)) {
    err << "palisade: " << problem << '\n';
    return kNotTried;
  }
  std::string hint = bits == 32 && machineBits == 64 ? kNo32BitHint : WineStartHint();
  if (!hint.empty()) return CannotRunHere(options, hint, out, err);
  return RunInPrefix(options, bits, out, err);
}

}  // namespace palisade::builder
