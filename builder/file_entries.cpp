// The [[files]] entries: which files to pack, where each one goes and how
// the engine treats it, turned into file records.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>

#include "builder/glob.h"
#include "builder/project_context.h"
#include "builder/text_encoding.h"
#include "builder/time_stamps.h"
#include "builder/windows_names.h"
#include "builder/words.h"
#include "format/checks.h"
#include "format/narrow_text.h"
#include "format/xz.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;
namespace kind = format::destination_kind;

// Files from this size on are tried for compression, on a sample of this
// size, and warned of when it does not shrink below this per cent.
constexpr uint64_t kCompressionCheckSize = 1 << 20;
constexpr std::size_t kCompressionSample = 256 * 1024;
constexpr std::size_t kShrinkPercent = 98;

// The kinds whose folder is the system's: their files cannot go elsewhere
// and cannot lie in subfolders.
bool HasFixedFolder(uint32_t k) {
  return k == kind::kFont || k == kind::kSystemShared || k == kind::kSystemCom || k == kind::kSystemTypeLibrary;
}

bool IsBelowInstallFolder(uint32_t k) { return !HasFixedFolder(k) && k != kind::kSharedFolder; }

bool TakesVersion(uint32_t k) { return k >= kind::kSystemShared && k <= kind::kVersionChecked; }

bool TakesShortcut(uint32_t k) { return k == kind::kInstallFolder || k == kind::kStartup; }

// A destination that starts at a variable names its own place on the
// target machine ('%AppDataAllDir%\\Acme'); any other lies below the
// kind's folder.
bool StartsAtVariable(std::string_view to) { return to.starts_with("%"); }

std::string WindowsPath(std::string_view path) {
  std::string result(path);
  std::replace(result.begin(), result.end(), '/', '\\');
  while (result.starts_with(".\\")) result.erase(0, 2);
  while (result.ends_with("\\")) result.pop_back();
  return result == "." ? std::string() : result;
}

// A path (with backslashes) that the engine places below its folder: no
// step that is empty, "." or "..", no drive or stream (":"), so no absolute,
// network or root path either. The engine refuses any other at install time.
bool StaysBelowItsFolder(std::string_view path) {
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find('\\', start), path.size());
    std::string_view step = path.substr(start, end - start);
    if (step.empty() || step == "." || step == ".." || step.find(':') != std::string_view::npos) return false;
    start = end + 1;
  }
  return true;
}

// The `to` of a variable destination must not climb out of what the
// variable names either.
bool IsAcceptableTo(std::string_view to) {
  if (to.empty()) return true;
  if (!StartsAtVariable(to)) return StaysBelowItsFolder(to);
  size_t slash = to.find('\\');
  return slash == std::string_view::npos || StaysBelowItsFolder(to.substr(slash + 1));
}

// The folder names that `to` adds below its kind's folder or its variable.
std::optional<std::string> FolderNamesProblem(std::string_view to) {
  if (StartsAtVariable(to)) to = to.find('\\') == std::string_view::npos ? "" : to.substr(to.find('\\') + 1);
  return to.empty() ? std::nullopt : WindowsPathProblem(to, '\\');
}

// A variable destination that still lies in the product's own folders.
bool IsBelowTheInstallationFolder(std::string_view to) {
  std::string variable(to.substr(0, to.find('\\')));
  std::transform(variable.begin(), variable.end(), variable.begin(), [](unsigned char c) { return std::tolower(c); });
  return variable == "%installdir%" || variable == "%uninstalldir%";
}

std::string FolderOfKind(uint32_t k) { return k == kind::kSharedFolder ? "the shared folder" : "the installation folder"; }

struct EntrySettings {
  format::FileRecord record;  // the fields shared by every file of the entry
  std::string to;
  bool variableTo = false;
  std::string rename;
  bool keepTime = true;
};

void ReadShortcutFields(TableReader& entry, EntrySettings& settings) {
  const toml::node* node = entry.Node("shortcut");
  if (node == nullptr) return;
  if (!node->is_table()) return entry.ReportType("shortcut", "a table such as { desktop = true, name = \"App\" }");
  if (!TakesShortcut(settings.record.kind)) {
    entry.Report("shortcut", "files of this kind get no shortcut", "only kinds \"install-folder\" and \"startup\" do");
  }
  TableReader shortcut(node->as_table(), "the shortcut of [[files]]", LineOf(*node), entry.diagnostics(),
                       ShapeOfTable("files.shortcut"));
  format::FileRecord& r = settings.record;
  if (shortcut.Bool("desktop", false)) r.flags |= format::record_flags::kDesktopShortcut;
  if (shortcut.Bool("start-menu", false)) r.flags |= format::record_flags::kStartMenuShortcut;
  r.textA = format::EncodeNarrowForm(shortcut.String("name", ""));
  r.textB = Utf8ToUtf16(shortcut.String("icon", ""));
  std::string arguments = shortcut.String("arguments", "");
  std::optional<std::string> cp1252 = Utf8ToCp1252(arguments);
  if (!cp1252)
    shortcut.Report("arguments", "the shortcut arguments hold a character outside code page 1252",
                    "use Western European characters only");
  r.textC = cp1252.value_or("");
  r.textD = format::EncodeNarrowForm(shortcut.String("working-folder", ""));
  shortcut.Finish();
}

void ReadKindFields(TableReader& entry, EntrySettings& settings) {
  format::FileRecord& r = settings.record;
  std::optional<std::string> version = entry.String("version");
  if (version) entry.CheckVersion("version", *version);
  std::optional<std::string> font = entry.String("font-name");
  if (version && !TakesVersion(r.kind))
    entry.Report("version", "only system and version-checked files take a version", "remove \"version\"");
  if (font && r.kind != kind::kFont)
    entry.Report("font-name", "only fonts take a font name", "set kind = \"font\" or remove \"font-name\"");
  if (!font && r.kind == kind::kFont)
    entry.Report("kind", "a font needs its face name", "add font-name = \"Acme Sans\"");
  if (TakesVersion(r.kind)) r.textA = format::EncodeNarrowForm(version.value_or(""));
  if (r.kind == kind::kFont) r.textA = format::EncodeNarrowForm(font.value_or(""));
  const toml::table* applet = entry.Table("applet");
  if ((applet != nullptr) != (r.kind == kind::kControlPanelApplet)) {
    entry.Report(applet ? "applet" : "kind", "a control-panel file and its [applet] table go together",
                 "write kind = \"control-panel\" with applet = { class-id = \"{...}\" }");
  }
  if (applet != nullptr) {
    TableReader reader(applet, "the applet of [[files]]", entry.LineOf("applet"), entry.diagnostics(),
                       ShapeOfTable("files.applet"));
    r.textA = format::EncodeNarrowForm(reader.String("name", ""));
    std::string classId = reader.String("class-id", "");
    if (classId.size() != 38 || classId.front() != '{' || classId.back() != '}') {
      reader.Report("class-id", "the applet needs its class identifier",
                    "write class-id = \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\"");
    }
    r.textD = format::EncodeNarrowForm(classId);
    r.textC = Utf8ToCp1252(reader.String("arguments", "")).value_or("");
    reader.Finish();
  }
  const toml::table* msi = entry.Table("msi");
  if (msi != nullptr && r.kind != kind::kMsiPackage)
    entry.Report("msi", "only msi files take [msi] settings", "set kind = \"msi\"");
  if (r.kind != kind::kMsiPackage) return;
  TableReader msiReader(msi, "the msi settings of [[files]]", entry.LineOf("msi"), entry.diagnostics(),
                        ShapeOfTable("files.msi"));
  r.msiUiLevel = msiReader.Word("ui-level", kMsiUiLevels).value_or(*ValueOfWord(kMsiUiLevels, "basic"));
  if (msiReader.Bool("remove-at-uninstall", true)) r.flags |= format::record_flags::kRemoveMsiPackage;
  msiReader.Finish();
}

EntrySettings ReadEntrySettings(TableReader& entry) {
  EntrySettings settings;
  format::FileRecord& r = settings.record;
  r.kind = entry.Word("kind", kDestinationKinds).value_or(kind::kInstallFolder);
  r.flags = entry.Word("overwrite", kOverwriteModes).value_or(format::overwrite_mode::kAlways);
  if (entry.Bool("permanent", false)) r.flags |= format::record_flags::kPermanent;
  bool toUninstallFolder = entry.Bool("to-uninstall-folder", false);
  if (toUninstallFolder) r.flags |= format::record_flags::kToUninstallFolder;
  if (std::optional<uint32_t> attributes = entry.WordMask("attributes", kFileAttributes)) r.attributes = *attributes;
  std::optional<std::string> timestamp = entry.String("timestamp");
  if (timestamp && *timestamp != "mtime" && *timestamp != "none") {
    entry.Report("timestamp", "bad value " + Quoted(*timestamp) + " for \"timestamp\" in [[files]]",
                 "expected \"mtime\" or \"none\"");
  }
  settings.keepTime = timestamp.value_or("mtime") != "none";
  settings.to = WindowsPath(entry.String("to", "."));
  settings.variableTo = StartsAtVariable(settings.to);
  settings.rename = entry.String("rename", "");
  if (!settings.to.empty() && (HasFixedFolder(r.kind) || toUninstallFolder)) {
    entry.Report("to", "files of this kind always go to the same folder", "remove \"to\"");
  } else if (!IsAcceptableTo(settings.to)) {
    entry.Report("to", "\"to\" = " + Quoted(settings.to) + " would leave " + FolderOfKind(r.kind),
                 "write a folder below it, such as \"bin\", or a destination that starts with a variable, such as "
                 "'%AppDataAllDir%\\Acme'");
  } else if (std::optional<std::string> problem = FolderNamesProblem(settings.to)) {
    entry.Report("to", "\"to\" = " + Quoted(settings.to) + " cannot be a folder on Windows: " + *problem,
                 "give other folder names");
  }
  std::optional<std::string> renameProblem =
      settings.rename.empty() ? std::nullopt : WindowsNameProblem(settings.rename);
  if (settings.variableTo && !IsBelowTheInstallationFolder(settings.to)) {
    entry.Warn("to", "the files of this entry go outside the installation folder, to " + Quoted(settings.to),
               "make sure they belong there: other programs may use that folder too");
  }
  if (settings.rename.find_first_of("\\/") != std::string::npos) {
    entry.Report("rename", "\"rename\" takes a file name, not a path", "put the folder in \"to\"");
  } else if (!settings.rename.empty() && !StaysBelowItsFolder(settings.rename)) {
    entry.Report("rename", "\"rename\" = " + Quoted(settings.rename) + " would leave " + FolderOfKind(r.kind),
                 "give a plain file name, without \":\"");
  } else if (renameProblem) {
    entry.Report("rename", "\"rename\" = " + Quoted(settings.rename) + " cannot be a file name on Windows: " +
                 *renameProblem, "give another file name");
  }
  ReadKindFields(entry, settings);
  ReadShortcutFields(entry, settings);
  return settings;
}

// The stored name and destination override of one matched file.
bool PlaceFile(TableReader& entry, const EntrySettings& settings, std::string relative, format::FileRecord& record) {
  // A name of this system may hold what Windows reads as a step, a drive
  // or a device, or bytes that are no text at all.
  if (!IsValidUtf8(relative)) {
    entry.Report("from", "the file name " + Quoted(EscapeInvalidUtf8(relative)) + " is not UTF-8",
                 "rename the file, or leave it out with \"exclude\"");
    return false;
  }
  if (std::optional<std::string> problem = WindowsPathProblem(relative, '/')) {
    entry.Report("from", "the file " + Quoted(relative) + " cannot be installed on Windows: " + *problem,
                 "rename the file, or leave it out with \"exclude\"");
    return false;
  }
  if (!settings.rename.empty()) relative = relative.substr(0, relative.rfind('/') + 1) + settings.rename;
  std::string path = WindowsPath(relative);
  std::string folder = path.substr(0, path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\'));
  bool fixed = HasFixedFolder(record.kind) || (record.flags & format::record_flags::kToUninstallFolder) != 0;
  if (fixed && !folder.empty()) {
    entry.Report("from",
                 "the file " + Quoted(relative) + " lies in a subfolder, but files of this kind go into one folder",
                 "match the files without their folders, or use another kind");
    return false;
  }
  // The engine names an applet without a name after its file: a name that
  // is all extension leaves it nameless, which the engine refuses.
  std::string fileName = path.substr(path.rfind('\\') + 1);
  if (record.kind == kind::kControlPanelApplet && record.textA.empty() && fileName.rfind('.') == 0) {
    entry.Report("applet", "the applet " + Quoted(relative) + " has no name, and its file name is all extension",
                 "add name = \"Acme Settings\" to its applet table");
    return false;
  }
  std::string name = path;
  bool sharedSubfolder = record.kind == kind::kSharedFolder && !(settings.to.empty() && folder.empty());
  if (settings.variableTo || sharedSubfolder) {
    std::string target = settings.to;
    if (!folder.empty()) target += (target.empty() ? "" : "\\") + folder;
    record.destinationOverride = Utf8ToUtf16(target + "\\");
  } else if (!settings.to.empty()) {
    name = settings.to + "\\" + path;
  }
  record.name = format::EncodeNarrowForm(name);
  return true;
}

std::optional<int64_t> ModificationTime(const fs::path& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<int64_t>(info.st_mtime);
}

std::string DestinationKey(const format::FileRecord& record) {
  std::string key =
      IsBelowInstallFolder(record.kind) ? "install" : std::string(WordOfValue(kDestinationKinds, record.kind));
  if ((record.flags & format::record_flags::kToUninstallFolder) != 0) key = "uninstall";
  key += ":" + Utf16ToUtf8(record.destinationOverride) + record.name;
  std::transform(key.begin(), key.end(), key.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
  return key;
}

// A file that an entry matched, before the entries are weighed against
// each other.
struct Candidate {
  FileSource file;
  std::string source;  // the matched file's path, made canonical
  bool named = false;  // the entry names this file itself, without wildcards
  int entryLine = 0;
};

std::string CanonicalSource(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  return (error ? path.lexically_normal() : canonical).string();
}

class EntryCollector {
 public:
  explicit EntryCollector(ProjectContext& context) : context_(context) {}

  void Collect(TableReader& entry) {
    std::optional<std::vector<std::string>> patterns = entry.StringList("from");
    std::vector<std::string> excludes = entry.StringList("exclude").value_or(std::vector<std::string>());
    EntrySettings settings = ReadEntrySettings(entry);
    if (!patterns || patterns->empty()) {
      if (!entry.Node("from")) entry.Report("from", "missing key \"from\" in [[files]]", "add from = \"dist/**\"");
      return;
    }
    std::size_t before = candidates_.size();
    for (const std::string& pattern : *patterns) CollectPattern(entry, settings, pattern, excludes);
    std::size_t added = candidates_.size() - before;
    if (added > 1 && !settings.rename.empty())
      entry.Report("rename", "\"rename\" needs an entry that matches one file",
                   "this entry matches " + std::to_string(added));
    if (added > 1 && !settings.record.textA.empty() && TakesShortcut(settings.record.kind)) {
      entry.Report("shortcut", "a shortcut name given to " + std::to_string(added) + " files",
                   "name each shortcut in an entry of its own");
    }
  }

  // A file that one entry names and another's pattern matches is installed
  // once, as the entry that names it says; any other file placed twice is
  // an error.
  void Finish() {
    std::set<std::string> namedSources;
    for (const Candidate& candidate : candidates_) {
      if (candidate.named) namedSources.insert(candidate.source);
    }
    std::map<std::string, int> placed;  // destination, line of its entry
    for (Candidate& candidate : candidates_) {
      if (!candidate.named && namedSources.count(candidate.source) != 0) continue;
      const format::FileRecord& record = candidate.file.record;
      auto [earlier, inserted] = placed.emplace(DestinationKey(record), candidate.entryLine);
      if (!inserted) {
        std::string destination = Utf16ToUtf8(record.destinationOverride) + format::DecodeNarrowForm(record.name).text;
        context_.diagnostics.Report(candidate.file.line, Quoted(destination) + " is installed twice",
                                    "the [[files]] entry at line " + std::to_string(earlier->second) +
                                        " installs the same file; leave it out of one of them with \"exclude\"");
        continue;
      }
      context_.project.files.push_back(std::move(candidate.file));
    }
  }

 private:
  void CollectPattern(TableReader& entry, const EntrySettings& settings, const std::string& pattern,
                      const std::vector<std::string>& excludes) {
    std::vector<GlobMatch> matches;
    std::string problem;
    if (!ExpandGlob(context_.Resolve(""), pattern, excludes, matches, problem))
      return entry.Report("from", problem, "check the folder's permissions");
    if (matches.empty())
      return entry.Report("from", "no file matches " + Quoted(pattern),
                          "patterns are relative to the project file's folder");
    for (const GlobMatch& match : matches) Add(entry, settings, match);
  }

  void Add(TableReader& entry, const EntrySettings& settings, const GlobMatch& match) {
    FileSource file{match.source, 0, settings.record, entry.LineOf("from")};
    if (!PlaceFile(entry, settings, match.relative, file.record)) return;
    std::error_code error;
    file.size = fs::file_size(match.source, error);
    std::optional<int64_t> mtime = ModificationTime(match.source);
    if (error || !mtime)
      return entry.Report("from", "cannot read " + Quoted(match.source.string()), "check that the file is readable");
    if (file.size > static_cast<uint64_t>(format::kEntrySizeRule.max)) {
      return entry.Report("from", Quoted(match.relative) + " is larger than 1 GiB",
                          "an installer file holds at most 1 GiB");
    }
    context_.WarnAboutInputOrigin(file.line, match.source);
    if (settings.keepTime)
      file.record.time = TimeStampFromUnix(std::min(*mtime, context_.options.sourceDateEpoch.value_or(*mtime)));
    candidates_.push_back(
        {std::move(file), CanonicalSource(match.source), match.named, entry.line()});
  }

  ProjectContext& context_;
  std::vector<Candidate> candidates_;
};

// Whether the start of a file shrinks under the fastest xz preset: a file
// that is compressed already (an archive, a picture, a video) does not.
bool Compresses(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> sample(kCompressionSample);
  in.read(reinterpret_cast<char*>(sample.data()), static_cast<std::streamsize>(sample.size()));
  sample.resize(static_cast<std::size_t>(in.gcount()));
  std::vector<uint8_t> packed;
  format::XzEncodeOptions fastest{0, false, format::XzCheck::kNone};
  return !format::XzEncode(sample, fastest, packed) || packed.size() * 100 < sample.size() * kShrinkPercent;
}

}  // namespace

void ReadFileEntries(ProjectContext& context) {
  EntryCollector collector(context);
  ForEachEntry(context, "files", SIZE_MAX, [&](TableReader& entry) { collector.Collect(entry); });
  collector.Finish();
}

void WarnAboutTheFiles(ProjectContext& context) {
  if (context.project.files.empty()) {
    context.diagnostics.Warn(0, "the installer installs no files", "add a [[files]] entry");
  }
  if (!OptionValue(context.flags, FindOption("compression", "enabled"))) return;
  for (const FileSource& file : context.project.files) {
    if (file.size < kCompressionCheckSize || Compresses(file.source)) continue;
    context.diagnostics.Warn(file.line, Quoted(file.source.filename().string()) + " does not compress",
                             "files that are compressed already only cost build time; that is expected of .zip, "
                             ".jpg, .mp4 and the like");
  }
}

}  // namespace palisade::builder
