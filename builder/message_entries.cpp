// The [messages.LANGUAGE] tables: the languages of [wizard] languages,
// each from Palisade's built-in table or a table file of the project, with
// the project's own texts, licence and readme on top.
#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <iterator>

#include "builder/messages.h"
#include "builder/project_context.h"
#include "builder/text_encoding.h"
#include "builder/translations.h"

namespace palisade::builder {
namespace {

constexpr int kLicenseMessage = 63;
constexpr int kReadmeMessage = 64;
constexpr std::string_view kTableKeys[] = {"file", "license", "readme"};

using ReportAt = std::function<void(int line, std::string message, std::string hint)>;

std::optional<int> MessageNumber(std::string_view key) {
  int number = -1;
  auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), number);
  bool numeral = error == std::errc() && end == key.data() + key.size() && std::to_string(number) == key;
  return numeral && IsMessageNumber(number) ? std::optional<int>(number) : std::nullopt;
}

// The numbered texts of `table` (a [messages.LANGUAGE] table or a table
// file), leaving out the keys of the table itself.
void ReadNumberedTexts(const toml::table& table, const std::string& label, const ReportAt& report,
                       std::map<int, std::string>& texts) {
  for (const auto& [key, node] : table) {
    std::string_view name = key.str();
    if (std::find(std::begin(kTableKeys), std::end(kTableKeys), name) != std::end(kTableKeys)) continue;
    int line = static_cast<int>(key.source().begin.line);
    std::optional<int> number = MessageNumber(name);
    std::optional<std::string> text = node.value_exact<std::string>();
    if (!number) {
      report(line, Quoted(name) + " in " + label + " is not a message number of the installer",
             "the messages and their numbers are listed in docs/project-file.md");
    } else if (!text || text->find('\0') != std::string::npos) {
      report(line, "message " + std::string(name) + " in " + label + " must be a text without NUL characters",
             "write " + std::string(name) + " = \"...\"");
    } else if (std::optional<std::string> problem = CheckMessageText(*number, *text)) {
      report(line, *problem, "use %% for a percent sign");
    } else {
      texts[*number] = *text;
    }
  }
}

// A table file names the texts of a language that Palisade does not carry.
void ReadTableFile(ProjectContext& context, TableReader& reader, std::map<int, std::string>& texts) {
  std::optional<std::string> relative = reader.String("file");
  if (!relative) return;
  std::ifstream in(context.Resolve(*relative), std::ios::binary);
  if (!in) {
    return reader.Report("file", "cannot read " + Quoted(*relative) + " for \"file\" in " + reader.label(),
                         "paths are relative to the project file's folder");
  }
  context.NoteInput(reader.LineOf("file"), context.Resolve(*relative));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int fileLine = reader.LineOf("file");
  ReportAt inFile = [&](int line, std::string message, std::string hint) {
    context.diagnostics.Report(fileLine, *relative + ":" + std::to_string(line) + ": " + message, std::move(hint));
  };
  toml::table table;
  try {
    table = toml::parse(text, *relative);
  } catch (const toml::parse_error& error) {
    return inFile(static_cast<int>(error.source().begin.line), std::string(error.description()),
                  "a table file holds lines such as 42 = \"...\"");
  }
  ReadNumberedTexts(table, *relative, inFile, texts);
}

void ReadDocumentMessage(ProjectContext& context, TableReader& reader, std::string_view key, int number,
                         std::map<int, std::string>& texts) {
  std::optional<std::string> relative = reader.String(key);
  if (!relative) return;
  if (texts.count(number) != 0) {
    return reader.Report(key, Quoted(key) + " and message " + std::to_string(number) + " in " + reader.label() +
                                  " give the same text",
                         "keep one of them");
  }
  bool rich = false;
  if (std::optional<std::string> text = context.ReadDocumentText(reader, key, *relative, rich)) texts[number] = *text;
}

LanguageTexts ReadLanguageTexts(ProjectContext& context, const std::string& language) {
  LanguageTexts texts{language, {}};
  TableReader& reader = context.Section("messages." + language);
  ReadTableFile(context, reader, texts.texts);
  const toml::node* node = context.Section("messages").Node(language);
  if (node == nullptr || !node->is_table()) return texts;
  std::map<int, std::string> own;
  for (const auto& [key, value] : *node->as_table()) reader.Node(key.str());
  ReadNumberedTexts(*node->as_table(), reader.label(), [&](int line, std::string message, std::string hint) {
    context.diagnostics.Report(line, std::move(message), std::move(hint));
  }, own);
  ReadDocumentMessage(context, reader, "license", kLicenseMessage, own);
  ReadDocumentMessage(context, reader, "readme", kReadmeMessage, own);
  for (auto& [number, text] : own) texts.texts[number] = std::move(text);
  return texts;
}

std::vector<std::string_view> KnownLanguages() {
  std::vector<std::string_view> names = {kDefaultLanguage};
  for (const BuiltInLanguage& language : BuiltInLanguages()) names.push_back(language.name);
  return names;
}

void CheckLanguagesAreKnown(ProjectContext& context, const std::vector<std::string>& languages, int line) {
  std::vector<std::string_view> known = KnownLanguages();
  for (const std::string& language : languages) {
    bool builtIn = std::find(known.begin(), known.end(), language) != known.end();
    if (builtIn || context.Section("messages." + language).Node("file") != nullptr) continue;
    context.diagnostics.Report(line, "unknown language " + Quoted(language) + " in [wizard] languages",
                               ChoiceHint(language, known) + "; or give its texts in a table file with file = "
                                                             "\"...\" in [messages." + language + "]");
  }
}

bool HasText(const std::vector<LanguageTexts>& texts, const std::string& language, int number) {
  for (const LanguageTexts& entry : texts) {
    if (entry.language == language) return entry.texts.count(number) != 0 && !entry.texts.at(number).empty();
  }
  return false;
}

// A language without a licence of its own shows the English one, which the
// author may not have meant when other languages have theirs.
void WarnOfMissingLicences(ProjectContext& context, const std::vector<std::string>& languages,
                           const std::vector<LanguageTexts>& texts, int line) {
  auto licensed = std::find_if(languages.begin(), languages.end(),
                               [&](const std::string& language) { return HasText(texts, language, kLicenseMessage); });
  if (licensed == languages.end()) return;
  for (const std::string& language : languages) {
    if (HasText(texts, language, kLicenseMessage)) continue;
    context.diagnostics.Warn(line,
                             "the language " + Quoted(language) + " has no licence text, but " + Quoted(*licensed) +
                                 " has one",
                             "add license = \"...\" to [messages." + language + "]");
  }
}

}  // namespace

void ReadMessages(ProjectContext& context, const std::vector<std::string>& languages, int languagesLine) {
  CheckLanguagesAreKnown(context, languages, languagesLine);
  std::vector<std::string> named = languages;
  if (std::find(named.begin(), named.end(), kDefaultLanguage) == named.end()) named.push_back(kDefaultLanguage);
  std::vector<LanguageTexts> texts;
  for (const std::string& language : named) texts.push_back(ReadLanguageTexts(context, language));
  WarnOfMissingLicences(context, languages, texts, languagesLine);
  MessageTable table = BuildMessageTable(languages, texts);
  context.project.script.languageNames = std::move(table.languageNames);
  context.project.script.messages = std::move(table.messages);
}

}  // namespace palisade::builder
