#include "builder/try_product.h"

#include <toml++/toml.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "builder/child_process.h"
#include "builder/prefix_snapshot.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

constexpr char kSetupFolder[] = "palisade-try";
constexpr char kUninstallKeys[] = "software\\\\microsoft\\\\windows\\\\currentversion\\\\uninstall\\\\";
constexpr char kUninstallKeys32[] = "software\\\\wow6432node\\\\microsoft\\\\windows\\\\currentversion\\\\uninstall\\\\";
constexpr char kUninstallValue[] = "\"UninstallString\"=\"";

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

// A copy of the pristine template that tools/wine-prefix makes beside the
// build's bin folder, when there is one; otherwise a new prefix.
bool MakePrefix(const fs::path& selfPath, ScratchPrefix& scratch, std::string& problem) {
  if (RunChild({"wine", "--version"}).startError != 0) {
    return problem = "palisade try needs Wine (Debian: apt-get install wine)", false;
  }
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
  fs::path template32 = selfPath.parent_path() / ".." / "wine" / "template32";
  ChildResult made = fs::exists(template32 / ".ready")
                         ? RunChild({"cp", "-a", template32.string(), scratch.prefix.string()})
                         : RunChild({"wineboot", "-i"}, [&] {
                             std::vector<std::string> environment = scratch.environment;
                             environment.push_back("WINEARCH=win32");
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

}  // namespace

int TryInstaller(const TryOptions& options, std::ostream& out, std::ostream& err) {
  std::error_code error;
  if (!fs::is_regular_file(options.installer, error)) {
    err << "palisade: \"" << options.installer.string() << "\" is not a file\n";
    return 2;
  }
  ScratchPrefix scratch;
  scratch.keep = options.keepPrefix;
  std::string problem;
  if (!MakePrefix(options.selfPath, scratch, problem)) {
    err << "palisade: " << problem << '\n';
    return 2;
  }
  fs::create_directories(scratch.prefix / "drive_c" / kSetupFolder, error);
  fs::copy_file(options.installer, scratch.prefix / "drive_c" / kSetupFolder / "setup.exe", error);
  if (error) {
    err << "palisade: cannot copy \"" << options.installer.string() << "\" into the prefix: " << error.message() << '\n';
    return 2;
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

}  // namespace palisade::builder
