#pragma once
// What the parts of the project reader share while they read one file.
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "builder/diagnostics.h"
#include "builder/flag_options.h"
#include "builder/project.h"
#include "builder/table_reader.h"

namespace palisade::builder {

class ProjectContext {
 public:
  ProjectContext(const toml::table& root, std::filesystem::path directory, const ReadOptions& options, Project& project,
                 Diagnostics& diagnostics);

  // The reader of a table by its dotted name ("wizard.page-styles"); the
  // same reader every time, so that the keys it chose add up.
  TableReader& Section(std::string_view dotted);
  TableReader& root() { return Section(""); }
  // Reports the unknown keys of every section read.
  void FinishSections();

  // The bytes of a file named by `key`, relative to the project folder.
  std::optional<format::Bytes> ReadFile(TableReader& reader, std::string_view key);
  std::filesystem::path Resolve(std::string_view relative) const;
  // A licence or readme file named by `key`: rich text (set `rich`) as it
  // is, or UTF-8 text without its byte-order mark. Anything else is
  // reported.
  std::optional<std::string> ReadDocumentText(TableReader& reader, std::string_view key, const std::string& relative,
                                              bool& rich);
  // Remembers a file the build reads, for the depfile, and warns, once per
  // file, when it comes from outside the project folder or through a
  // symbolic link: the installer would carry whatever lies there.
  void NoteInput(int line, const std::filesystem::path& input);
  // The same warning alone, for the files the installer installs.
  void WarnAboutInputOrigin(int line, const std::filesystem::path& input);

  Project& project;
  FlagWords flags;
  const ReadOptions& options;
  Diagnostics& diagnostics;

 private:
  const toml::table& root_;
  std::filesystem::path directory_;
  std::map<std::string, TableReader, std::less<>> sections_;
  std::set<std::filesystem::path> warnedInputs_;
};

// Each reads its part of the project file into the project.
void ReadFileEntries(ProjectContext& context);
void ReadShortcuts(ProjectContext& context);
void ReadRegistry(ProjectContext& context);
void ReadAssociations(ProjectContext& context);
void ReadFirewall(ProjectContext& context);
void ReadCloseRules(ProjectContext& context);
void ReadConditionalDeletes(ProjectContext& context);
void ReadUninstallValues(ProjectContext& context);
// The message tables of `languages` (the [wizard] list, read at
// `languagesLine`) from Palisade's built-in ones and the project's.
void ReadMessages(ProjectContext& context, const std::vector<std::string>& languages, int languagesLine);
// Once the options are final: warns of an installation without files and of
// large files that do not compress.
void WarnAboutTheFiles(ProjectContext& context);

// Calls `read` with a reader for each table of the array `key`, labelled
// "[[key]]"; reports arrays longer than `limit`.
template <typename Read>
void ForEachEntry(ProjectContext& context, std::string_view key, std::size_t limit, Read read) {
  const toml::array* array = context.root().TableArray(key);
  if (array == nullptr) return;
  if (array->size() > limit) {
    context.root().Report(key, "too many [[" + std::string(key) + "]] entries: " + std::to_string(array->size()),
                          "an installer holds at most " + std::to_string(limit));
  }
  for (const toml::node& node : *array) {
    TableReader reader(node.as_table(), "[[" + std::string(key) + "]]", LineOf(node), context.diagnostics,
                       ShapeOfTable(key));
    read(reader);
    reader.Finish();
  }
}

}  // namespace palisade::builder
