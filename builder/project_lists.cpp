// The list sections of a project file: shortcuts, registry entries,
// associations, firewall exceptions, close rules, conditional deletions
// and extra uninstall values.
#include <algorithm>
#include <cctype>
#include <iterator>

#include "builder/project_context.h"
#include "builder/text_encoding.h"
#include "builder/words.h"
#include "format/checks.h"

namespace palisade::builder {
namespace {

// A field of the engine's comma-separated lines, quoted where the engine's
// reader would otherwise split or trim it.
std::string CsvField(std::string_view field) {
  bool quote = field.find_first_of(",\"\t\r\n;|") != std::string_view::npos ||
               (!field.empty() &&
                (field.front() == ' ' || field.front() == '\'' || field.front() == '#' || field.back() == ' '));
  if (!quote) return std::string(field);
  std::string quoted = "\"";
  for (char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CsvLine(std::initializer_list<std::string_view> fields) {
  std::string line;
  for (std::string_view field : fields) line += (line.empty() ? "" : ",") + CsvField(field);
  return line + "\r\n";
}

void ReadShortcut(TableReader& reader, format::ShortcutRecord& shortcut) {
  shortcut.target = reader.Required("target", "target = \"%InstallDir%\\\\App.exe\"");
  shortcut.name = reader.String("name", "");
  shortcut.icon = reader.String("icon", "");
  shortcut.arguments = reader.String("arguments", "");
  shortcut.workingFolder = reader.String("working-folder", "");
  shortcut.desktop = reader.Bool("desktop", false);
  shortcut.startMenu = reader.Bool("start-menu", false);
  shortcut.startup = reader.Bool("startup", false);
  shortcut.extraFolder = reader.String("folder", "");
  shortcut.permanent = reader.Bool("permanent", false);
  shortcut.windowState = static_cast<uint8_t>(reader.Word("window", kWindowStates).value_or(0));
  if (!shortcut.desktop && !shortcut.startMenu && !shortcut.startup && shortcut.extraFolder.empty()) {
    reader.Report("target", "the shortcut to " + Quoted(shortcut.target) + " is placed nowhere",
                  "set desktop, start-menu or startup to true, or name a folder");
  }
}

// "HKLM\Software\..." in any of its spellings, as "\HKLM\Software\...".
std::optional<std::string> RegistryPath(std::string_view path) {
  static constexpr std::pair<std::string_view, std::string_view> kRoots[] = {{"HKEY_LOCAL_MACHINE", "HKLM"},
                                                                             {"HKEY_CURRENT_USER", "HKCU"},
                                                                             {"HKEY_CLASSES_ROOT", "HKCR"},
                                                                             {"HKEY_USERS", "HKU"},
                                                                             {"HKEY_CURRENT_CONFIG", "HKCC"},
                                                                             {"HKEY_DYN_DATA", "HKDD"},
                                                                             {"HKAU", "HKAU"},
                                                                             {"HKLM", "HKLM"},
                                                                             {"HKCU", "HKCU"},
                                                                             {"HKCR", "HKCR"},
                                                                             {"HKU", "HKU"},
                                                                             {"HKCC", "HKCC"},
                                                                             {"HKDD", "HKDD"}};
  if (path.starts_with("\\")) path.remove_prefix(1);
  std::string_view root = path.substr(0, path.find('\\'));
  for (auto [spelling, shortName] : kRoots) {
    bool same = root.size() == spelling.size() &&
                std::equal(root.begin(), root.end(), spelling.begin(),
                           [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
    if (same) return "\\" + std::string(shortName) + std::string(path.substr(root.size()));
  }
  return std::nullopt;
}

bool IsDecimal(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The data field of a value: numbers may be written as TOML numbers.
std::string RegistryData(TableReader& reader, uint32_t type) {
  const toml::node* node = reader.Node("data");
  if (node != nullptr && node->is_integer() && *node->value<int64_t>() >= 0)
    return std::to_string(*node->value<int64_t>());
  std::string data = reader.String("data", "");
  std::string digits;
  std::copy_if(data.begin(), data.end(), std::back_inserter(digits), [](char c) { return c != ' '; });
  bool valid = type == 3 ? digits.size() % 2 == 0 &&
                               std::all_of(digits.begin(), digits.end(),
                                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })
               : type == 4  ? IsDecimal(data) && data.size() <= 10 && std::stoull(data) <= UINT32_MAX
               : type == 11 ? IsDecimal(data) && data.size() <= 20
                            : true;
  if (!valid) {
    reader.Report("data", "bad \"data\" for a " + std::string(WordOfValue(kRegistryTypes, type)) + " value",
                  type == 3 ? "write pairs of hexadecimal digits, such as \"01 ff 7a\"" : "write a whole number");
  }
  return data;
}

std::string RegistryLine(TableReader& reader) {
  std::string key = reader.Required("key", "key = 'HKLM\\Software\\Acme'");
  std::optional<std::string> path = RegistryPath(key);
  if (!key.empty() && !path) {
    reader.Report("key", "bad registry key " + Quoted(key),
                  "start it with HKLM, HKCU, HKCR, HKU, HKCC, HKDD or HKAU and a backslash");
  }
  std::optional<std::string> value = reader.String("value");
  uint32_t type = reader.Word("type", kRegistryTypes).value_or(1);
  uint32_t action = reader.Word("action", kRegistryActions).value_or(3);
  if (!value) {
    if (reader.Node("data") != nullptr)
      reader.Report("data", "\"data\" needs a \"value\" name", "add value = \"Name\", or \"\" for the default value");
    return CsvLine({path.value_or("")});
  }
  std::string data = RegistryData(reader, type);
  return CsvLine({path.value_or(""), *value, std::to_string(type), data, std::to_string(action)});
}

void ReadRegistryMergeFile(ProjectContext& context) {
  TableReader& merge = context.Section("registry-merge");
  std::optional<format::Bytes> bytes = merge.Node("file") ? context.ReadFile(merge, "file") : std::nullopt;
  if (!bytes) return;
  std::string text(bytes->begin(), bytes->end());
  if (text.starts_with("\xFF\xFE")) {
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<uint8_t>(text[i]) | static_cast<uint8_t>(text[i + 1]) << 8));
    }
    text = Utf16ToUtf8(wide);
  } else if (text.starts_with("\xEF\xBB\xBF")) {
    text.erase(0, 3);
  }
  if (!IsValidUtf8(text) || text.find('\0') != std::string::npos) {
    merge.Report("file", "the registry file is neither UTF-8 nor UTF-16",
                 "save it from the registry editor as a .reg file");
    return;
  }
  context.project.script.registryMergeFileText = text;
}

// The engine writes each name as one key right below the classes root.
bool IsClassKeyName(std::string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return c == '\\' || static_cast<unsigned char>(c) < ' ';
  });
}

void CheckClassNames(TableReader& reader, const format::AssociationRecord& a) {
  if (!a.extension.empty() && !IsClassKeyName(a.extension)) {
    reader.Report("extension", "the extension " + Quoted(a.extension) + " is not one key name",
                  "leave out backslashes and control characters");
  }
  std::string_view progId = a.progId;
  if (!progId.empty() && progId.front() == '!') progId.remove_prefix(1);
  if (!a.progId.empty() && !IsClassKeyName(progId)) {
    reader.Report("prog-id", "the prog-id " + Quoted(a.progId) + " is not one key name",
                  "write a class name such as \"Acme.Note\"");
  }
  if (a.mode == format::association_mode::kOpenWithOnly && progId.empty()) {
    reader.Report(reader.Node("prog-id") ? "prog-id" : "open-with-only",
                  "an open-with-only association needs the prog-id to add", "add prog-id = \"Acme.Note\"");
  }
  if (!IsClassKeyName(a.verb)) {
    reader.Report("verb", "the verb " + Quoted(a.verb) + " is not one key name", "write a verb such as \"open\"");
  }
}

format::AssociationRecord ReadAssociation(TableReader& reader) {
  format::AssociationRecord a;
  a.extension = reader.Required("extension", "extension = \".acmenote\"");
  if (!a.extension.empty() && a.extension.front() != '.') {
    reader.Report("extension", "the extension " + Quoted(a.extension) + " does not start with a dot",
                  "write " + Quoted("." + a.extension));
  }
  a.mode = reader.Bool("open-with-only", false) ? format::association_mode::kOpenWithOnly
                                                  : format::association_mode::kFull;
  a.progId = reader.String("prog-id", "");
  a.description = reader.String("description", "");
  a.verb = reader.String("verb", "open");
  a.verbLabel = reader.String("verb-label", "");
  a.command = reader.String("command", "");
  a.icon = Utf8ToUtf16(reader.String("icon", ""));
  CheckClassNames(reader, a);
  return a;
}

std::string FirewallLine(TableReader& reader) {
  std::optional<std::string> program = reader.String("program");
  std::optional<int64_t> port = reader.Integer("port", 1, 65535);
  std::string name = reader.String("name", "");
  uint32_t protocols = reader.WordMask("protocols", kFirewallProtocols).value_or(1);
  bool keep = reader.Bool("keep", false);
  if (program.has_value() == (reader.Node("port") != nullptr)) {
    reader.Report(program ? "program" : "port", "a [[firewall]] entry names either a program or a port",
                  "give exactly one of program = \"...\" and port = 8080");
  }
  std::string target = program.value_or(port ? std::to_string(*port) : "");
  if (program && program->empty()) reader.Report("program", "the program is empty", "give its path");
  if (port && protocols == 0) {
    reader.Report("protocols", "a port is opened for no protocol", "give [\"tcp\"], [\"udp\"] or both");
  }
  if (IsDecimal(target) && program) {
    reader.Report("program", "the program " + Quoted(target) + " would be read as a port number", "give its path");
  }
  for (std::string_view field : {std::string_view(target), std::string_view(name)}) {
    if (field.find(';') != std::string_view::npos) {
      reader.Report(field == target ? "program" : "name", "a firewall entry cannot hold \";\"", "remove the semicolon");
    }
  }
  return target + ";" + name + ";" + std::to_string(program ? 0 : protocols) + ";" + (keep ? "1" : "0") + "\r\n";
}

format::CloseRule ReadCloseRule(TableReader& reader) {
  format::CloseRule rule;
  rule.windowClass = reader.String("window-class", "");
  rule.windowTitle = reader.String("window-title", "");
  rule.applicationName = reader.String("app-name", "");
  rule.action = static_cast<uint8_t>(reader.Word("action", kCloseActions).value_or(0));
  rule.options =
      static_cast<uint8_t>(reader.WordMask("when", kCloseWhen).value_or(*ValueOfWord(kCloseWhen, "install")));
  if (rule.windowClass.empty() && rule.windowTitle.empty()) {
    reader.diagnostics().Report(reader.line(), "a [[close]] rule without a window class or title matches nothing",
                                "add window-class or window-title");
  }
  return rule;
}

format::ConditionalDeleteRule ReadConditionalDelete(TableReader& reader) {
  format::ConditionalDeleteRule rule;
  rule.pattern = reader.Required("pattern", "pattern = \"%InstallDir%\\\\old\\\\*.dll\"");
  rule.conditionKind = static_cast<uint8_t>(reader.Word("condition", kDeleteConditions).value_or(0));
  rule.value = reader.String("value", "");
  bool byVersion = rule.conditionKind >= 1 && rule.conditionKind <= 3;
  bool bySize = rule.conditionKind >= 4 && rule.conditionKind <= 6;
  if (byVersion && !rule.value.empty()) {
    reader.CheckVersion("value", rule.value);
  } else if (byVersion || (bySize && !IsDecimal(rule.value))) {
    reader.Report(reader.Node("value") ? "value" : "condition",
                  "bad \"value\" " + Quoted(rule.value) + " for this condition",
                  byVersion ? "give a version such as \"2.1.0\"" : "give a size in bytes such as \"4096\"");
  }
  uint32_t phases = reader.WordMask("when", kDeletePhases).value_or(*ValueOfWord(kDeletePhases, "install"));
  uint32_t restart = reader.Word("restart", kDeleteRestarts).value_or(0);
  rule.flags = static_cast<uint8_t>(phases | restart);
  return rule;
}

format::RegistrationValue ReadUninstallValue(TableReader& reader) {
  format::RegistrationValue value;
  value.name = reader.Required("name", "name = \"HelpLink\"");
  value.type = static_cast<uint8_t>(reader.Word("type", kRegistrationValueTypes).value_or(1));
  const toml::node* data = reader.Node("data");
  value.data =
      data != nullptr && data->is_integer() ? std::to_string(*data->value<int64_t>()) : reader.String("data", "");
  if (value.type == 4 && value.data.find('%') == std::string::npos && !IsDecimal(value.data)) {
    reader.Report("data", "bad \"data\" for a number value", "write a whole number");
  }
  return value;
}

}  // namespace

void ReadShortcuts(ProjectContext& context) {
  ForEachEntry(context, "shortcuts", format::kShortcutCountRule.max, [&](TableReader& reader) {
    format::ShortcutRecord shortcut;
    ReadShortcut(reader, shortcut);
    context.project.script.shortcuts.push_back(std::move(shortcut));
  });
}

void ReadRegistry(ProjectContext& context) {
  std::string lines;
  ForEachEntry(context, "registry", SIZE_MAX, [&](TableReader& reader) { lines += RegistryLine(reader); });
  context.project.script.registryMergeText = Utf8ToUtf16(lines);
  ReadRegistryMergeFile(context);
}

void ReadAssociations(ProjectContext& context) {
  ForEachEntry(context, "associations", format::kAssociationCountRule.max,
               [&](TableReader& reader) { context.project.script.associations.push_back(ReadAssociation(reader)); });
}

void ReadFirewall(ProjectContext& context) {
  ForEachEntry(context, "firewall", SIZE_MAX,
               [&](TableReader& reader) { context.project.script.firewallText += FirewallLine(reader); });
}

void ReadCloseRules(ProjectContext& context) {
  ForEachEntry(context, "close", format::kCloseRuleListRule.max,
               [&](TableReader& reader) { context.project.script.closeRules.push_back(ReadCloseRule(reader)); });
}

void ReadConditionalDeletes(ProjectContext& context) {
  ForEachEntry(context, "conditional-delete", format::kConditionalDeleteListRule.max + 1, [&](TableReader& reader) {
    context.project.script.conditionalDeletes.push_back(ReadConditionalDelete(reader));
  });
}

void ReadUninstallValues(ProjectContext& context) {
  ForEachEntry(context, "uninstall-values", format::kRegistrationValueCountRule.max, [&](TableReader& reader) {
    context.project.script.registrationValues.push_back(ReadUninstallValue(reader));
  });
}

}  // namespace palisade::builder
