#include "builder/project_keys.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <tuple>

#include "builder/flag_options.h"
#include "format/payload_cipher.h"
#include "format/setup_script.h"

namespace palisade::builder {
namespace {

using Kind = ValueKind;

constexpr Word kTimestampWords[] = {{"mtime", 0}, {"none", 1}};
constexpr int64_t kWordMax = UINT32_MAX;
constexpr std::size_t kBlock48Size = std::tuple_size_v<decltype(format::SetupScript::block48)>;

KeyShape Text(std::string name) { return {std::move(name), Kind::kText}; }
KeyShape Required(std::string name, Kind kind = Kind::kText) {
  KeyShape key{std::move(name), kind};
  key.required = true;
  return key;
}
KeyShape Of(std::string name, Kind kind) { return {std::move(name), kind}; }
KeyShape Bool(std::string name, bool fallback) {
  KeyShape key{std::move(name), Kind::kBool};
  key.defaultValue = fallback;
  return key;
}
KeyShape Range(std::string name, Kind kind, double min, double max) {
  KeyShape key{std::move(name), kind};
  key.min = min;
  key.max = max;
  return key;
}
KeyShape Choice(std::string name, WordTable words, Kind kind = Kind::kWord) {
  KeyShape key{std::move(name), kind};
  key.words = words;
  return key;
}
KeyShape Nested(std::string name, Kind kind, std::string section) {
  KeyShape key{std::move(name), kind};
  key.section = std::move(section);
  return key;
}
KeyShape RequiredTable(std::string name, Kind kind, std::string section) {
  KeyShape key = Nested(std::move(name), kind, std::move(section));
  key.required = true;
  return key;
}
KeyShape Hex(std::string name, std::size_t bytes) { return Range(std::move(name), Kind::kHex, 0, bytes); }

// The tables and their keys, in the order of docs/project-file.md. The
// switches of each table come from the table of option bits.
std::vector<SectionShape> BuildShapes() {
  std::vector<SectionShape> shapes = {
      {"",
       {RequiredTable("product", Kind::kTable, "product"), Nested("master-product", Kind::kTable, "master-product"),
        Nested("installer", Kind::kTable, "installer"), Nested("upgrade", Kind::kTable, "upgrade"),
        Nested("uninstaller", Kind::kTable, "uninstaller"), Nested("log", Kind::kTable, "log"),
        Nested("wizard", Kind::kTable, "wizard"), Nested("summary", Kind::kTable, "summary"),
        Nested("background", Kind::kTable, "background"), Nested("portable", Kind::kTable, "portable"),
        Nested("taskbar-pin", Kind::kTable, "taskbar-pin"), Nested("files", Kind::kTableArray, "files"),
        Nested("shortcuts", Kind::kTableArray, "shortcuts"), Nested("registry", Kind::kTableArray, "registry"),
        Nested("registry-merge", Kind::kTable, "registry-merge"),
        Nested("associations", Kind::kTableArray, "associations"),
        Nested("firewall", Kind::kTableArray, "firewall"), Nested("close", Kind::kTableArray, "close"),
        Nested("conditional-delete", Kind::kTableArray, "conditional-delete"),
        Nested("uninstall-values", Kind::kTableArray, "uninstall-values"),
        Nested("batches", Kind::kTable, "batches"), Nested("notify", Kind::kTable, "notify"),
        Nested("crash-report", Kind::kTable, "crash-report"), Nested("messages", Kind::kTable, "messages"),
        Nested("compression", Kind::kTable, "compression"), Nested("encryption", Kind::kTable, "encryption"),
        Nested("signing", Kind::kTable, "signing"), Nested("advanced", Kind::kTable, "advanced")}},
      {"product",
       {Required("name"), RequiredTable("version", Kind::kVersionOrTable, "product.version"), Text("publisher"),
        Text("copyright"), Text("icon"), Text("description"), Choice("bitness", kBitness), Text("install-folder"),
        Text("start-menu-folder"), Text("shared-folder"), Text("registry-key"), Text("install-folder-value"),
        Choice("excluded-systems", kSystems, Kind::kWordList), Choice("shortcuts-for", kShortcutModes),
        Of("desktop-folder", Kind::kTextOrBool), Text("desktop-folder-icon"), Of("add-to-path", Kind::kTextOrBool)}},
      {"product.version", {Required("from")}},
      {"master-product", {Required("registry-name"), Text("display-name"), Of("minimum-version", Kind::kVersion)}},
      {"installer",
       {Choice("automatic-mode", kAutomaticModeRequests), Choice("archive-source", kArchiveSources),
        Bool("reboot-marker", false)}},
      {"upgrade", {Text("must-uninstall-below"), Text("no-downgrade-below"), Text("upgrade-warning-below")}},
      {"uninstaller", {Text("file"), Text("subfolder"), Text("registry-name"), Text("icon"), Text("support-offer")}},
      {"log", {}},
      {"wizard",
       {Of("languages", Kind::kTextList), Choice("style", kPageStyles),
        Nested("page-styles", Kind::kTable, "wizard.page-styles"), Text("greeting-link"), Text("greeting-sound"),
        Text("password"), Of("license", Kind::kTextList), Of("readme", Kind::kTextList), Text("heading"),
        Of("banner-text-color", Kind::kColor), Text("side-picture"), Text("banner-picture"),
        Choice("side-picture-frame", kSidePictureFrames), Range("minimum-status-time", Kind::kInteger, 0, 9999),
        Choice("progress-placement", kProgressPlacements)}},
      {"wizard.page-styles", {}},
      {"summary", {Text("launch"), Text("open"), Text("open-also")}},
      {"background",
       {Text("title"), Choice("title-position", kTextPositions), Range("title-size", Kind::kNumber, 0.1, 10),
        Of("title-color", Kind::kColor), Range("title-shadow", Kind::kInteger, 0, 255),
        Of("title-font", Kind::kTextList), Of("color", Kind::kColor), Of("gradient", Kind::kTextList),
        Text("picture"), Range("picture-size", Kind::kInteger, 0, 100), Choice("picture-fit", kPictureFits),
        Range("transparent-index", Kind::kInteger, -1, 255), Text("copyright"),
        Choice("copyright-position", kTextPositions), Of("copyright-color", Kind::kColor),
        Range("copyright-size", Kind::kNumber, 0.1, 10), Of("copyright-font", Kind::kTextList),
        Text("taskbar-text")}},
      {"portable", {Text("shared-folder"), Nested("root-shortcut", Kind::kTable, "portable.root-shortcut")}},
      {"portable.root-shortcut", {Text("command"), Text("name")}},
      {"taskbar-pin", {Text("command"), Text("name")}},
      {"files",
       {Required("from", Kind::kTextList), Of("exclude", Kind::kTextList), Text("to"), Text("rename"),
        Choice("kind", kDestinationKinds), Choice("overwrite", kOverwriteModes), Bool("permanent", false),
        Bool("to-uninstall-folder", false), Choice("attributes", kFileAttributes, Kind::kWordList),
        Choice("timestamp", kTimestampWords), Of("version", Kind::kVersion), Text("font-name"),
        Nested("shortcut", Kind::kTable, "files.shortcut"), Nested("applet", Kind::kTable, "files.applet"),
        Nested("msi", Kind::kTable, "files.msi")}},
      {"files.shortcut",
       {Text("name"), Bool("desktop", false), Bool("start-menu", false), Text("icon"), Text("arguments"),
        Text("working-folder")}},
      {"files.applet", {Required("class-id"), Text("name"), Text("arguments")}},
      {"files.msi", {Choice("ui-level", kMsiUiLevels), Bool("remove-at-uninstall", true)}},
      {"shortcuts",
       {Required("target"), Text("name"), Text("arguments"), Text("icon"), Text("working-folder"),
        Bool("desktop", false), Bool("start-menu", false), Bool("startup", false), Text("folder"),
        Choice("window", kWindowStates), Bool("permanent", false)}},
      {"registry",
       {Required("key"), Text("value"), Choice("type", kRegistryTypes), Of("data", Kind::kTextOrInteger),
        Choice("action", kRegistryActions)}},
      {"registry-merge", {Text("file")}},
      {"associations",
       {Required("extension"), Text("prog-id"), Text("description"), Text("verb"), Text("verb-label"),
        Text("command"), Text("icon"), Bool("open-with-only", false)}},
      {"firewall",
       {Text("program"), Range("port", Kind::kInteger, 1, 65535),
        Choice("protocols", kFirewallProtocols, Kind::kWordList), Text("name"), Bool("keep", false)}},
      {"close",
       {Text("window-class"), Text("window-title"), Text("app-name"), Choice("action", kCloseActions),
        Choice("when", kCloseWhen, Kind::kWordList)}},
      {"conditional-delete",
       {Required("pattern"), Choice("condition", kDeleteConditions), Text("value"),
        Choice("when", kDeletePhases, Kind::kWordList), Choice("restart", kDeleteRestarts)}},
      {"uninstall-values", {Required("name"), Choice("type", kRegistrationValueTypes), Of("data", Kind::kTextOrInteger)}},
      {"batches", {}},
      {"notify", {}},
      {"crash-report", {Text("address"), Text("sender")}},
      // Any language: those of [wizard] languages are read, the others reported.
      {"messages", {}, Nested("", Kind::kTable, "messages.LANGUAGE")},
      {"messages.LANGUAGE", {Text("file"), Text("license"), Text("readme")}, Text("^[0-9]+$")},
      {"compression",
       {Text("profile"), Range("level", Kind::kInteger, 0, 9), Bool("extreme", false),
        Range("dictionary-kib", Kind::kInteger, 4, 1536 * 1024), Range("chunk-size-kib", Kind::kInteger, 1, 256 * 1024)}},
      {"encryption", {Hex("key", format::kPayloadKeySize)}},
      {"signing",
       {Of("password", Kind::kRefused), Text("pkcs12"), Text("cert"), Text("key"), Text("password-file"),
        Text("password-env"), Text("timestamp")}},
      {"advanced",
       {Range("option-byte", Kind::kInteger, 0, 255), Text("text-31"), Text("text-52"), Text("text-53"),
        Text("text-54"), Text("greeting-page-text"), Hex("block-48", kBlock48Size),
        Nested("page-options", Kind::kTable, "advanced.page-options"), Text("optional-blob"),
        Nested("set-flags", Kind::kTable, "advanced.set-flags"),
        Nested("clear-flags", Kind::kTable, "advanced.clear-flags")}},
      {"advanced.page-options",
       {Range("first", Kind::kInteger, 0, kWordMax), Range("second", Kind::kInteger, 0, kWordMax)}},
  };
  for (const char* flags : {"advanced.set-flags", "advanced.clear-flags"}) {
    shapes.push_back({flags,
                      {Range("low", Kind::kInteger, 0, kWordMax), Range("high", Kind::kInteger, 0, kWordMax),
                       Range("second", Kind::kInteger, 0, kWordMax)}});
  }
  auto shape = [&](std::string_view name) -> SectionShape& {
    return *std::find_if(shapes.begin(), shapes.end(), [&](const SectionShape& s) { return s.name == name; });
  };
  for (const Word& page : kPageNames) shape("wizard.page-styles").keys.push_back(Choice(std::string(page.word), kPageStyles));
  for (const Word& address : kNotifications) shape("notify").keys.push_back(Text(std::string(address.word)));
  for (const Word& batch : kBatchNames) {
    std::string name = "batches." + std::string(batch.word);
    shape("batches").keys.push_back(Nested(std::string(batch.word), Kind::kTable, name));
    shapes.push_back({name, {Text("commands")}});
  }
  for (const FlagOption& option : FlagOptions()) {
    if (!option.derived) shape(option.table).keys.push_back(Bool(std::string(option.key), option.defaultValue));
  }
  return shapes;
}

const std::vector<SectionShape>& Shapes() {
  static const std::vector<SectionShape> shapes = BuildShapes();
  return shapes;
}

const SectionShape* NamedShape(std::string_view name) {
  for (const SectionShape& shape : Shapes()) {
    if (shape.name == name) return &shape;
  }
  return nullptr;
}

// A text that takes an environment variable's value when the build reads
// it: its final form is unknown until then, so any pattern lets it pass.
constexpr char kVariableReference[] = "\\$\\{[A-Za-z_][A-Za-z0-9_]*\\}";

toml::table Patterned(const std::string& pattern) {
  return toml::table{{"type", "string"}, {"pattern", "^(" + pattern + ")$|" + kVariableReference}};
}

toml::array Strings(std::initializer_list<std::string_view> texts) {
  toml::array array;
  for (std::string_view text : texts) array.push_back(std::string(text));
  return array;
}

toml::table OneOrArray(toml::table item) {
  return toml::table{{"anyOf", toml::array{item, toml::table{{"type", "array"}, {"items", item}}}}};
}

toml::table ObjectSchema(const SectionShape& shape);

toml::table WordSchema(WordTable words) {
  toml::array choices;
  for (const Word& word : words) choices.push_back(std::string(word.word));
  toml::table variable{{"type", "string"}, {"pattern", kVariableReference}};
  return toml::table{{"anyOf", toml::array{toml::table{{"enum", choices}}, variable}}};
}

// The JSON Schema of one value, as a TOML table that prints as JSON.
toml::table ValueSchema(const KeyShape& key) {
  auto range = [&](const char* type) {
    toml::table schema{{"type", type}};
    if (key.kind == Kind::kInteger) {
      schema.insert("minimum", static_cast<int64_t>(key.min));
      schema.insert("maximum", static_cast<int64_t>(key.max));
    } else {
      schema.insert("minimum", key.min);
      schema.insert("maximum", key.max);
    }
    return schema;
  };
  switch (key.kind) {
    case Kind::kText:
      return toml::table{{"type", "string"}};
    case Kind::kBool: {
      toml::table schema{{"type", "boolean"}};
      if (key.defaultValue) schema.insert("default", *key.defaultValue);
      return schema;
    }
    case Kind::kInteger:
      return range("integer");
    case Kind::kNumber:
      return range("number");
    case Kind::kWord:
      return WordSchema(key.words);
    case Kind::kWordList:
      return OneOrArray(WordSchema(key.words));
    case Kind::kTextList:
      return OneOrArray(toml::table{{"type", "string"}});
    case Kind::kColor:
      return Patterned("#[0-9A-Fa-f]{6}");
    case Kind::kVersion:
      return Patterned("([0-9]{1,5}(\\.[0-9]{1,5}){0,3}[A-Za-z]?)?");
    case Kind::kVersionOrTable: {
      KeyShape version{key.name, Kind::kVersion};
      return toml::table{{"anyOf", toml::array{ValueSchema(version), ObjectSchema(*NamedShape(key.section))}}};
    }
    case Kind::kHex:
      return Patterned("[0-9A-Fa-f]{" + std::to_string(static_cast<int64_t>(key.max) * 2) + "}");
    case Kind::kTextOrBool:
      return toml::table{{"type", Strings({"string", "boolean"})}};
    case Kind::kTextOrInteger:
      return toml::table{{"type", Strings({"string", "integer"})}};
    case Kind::kTable:
      return ObjectSchema(*NamedShape(key.section));
    case Kind::kTableArray:
      return toml::table{{"type", "array"}, {"items", ObjectSchema(*NamedShape(key.section))}};
    case Kind::kRefused:
      break;
  }
  return toml::table{{"not", toml::table{}}};
}

toml::table ObjectSchema(const SectionShape& shape) {
  toml::table properties;
  toml::array required;
  for (const KeyShape& key : shape.keys) {
    properties.insert(key.name, ValueSchema(key));
    if (key.required) required.push_back(key.name);
  }
  toml::table schema{{"type", "object"}, {"properties", properties}};
  if (!required.empty()) schema.insert("required", required);
  if (!shape.otherKeys) {
    schema.insert("additionalProperties", false);
  } else if (shape.otherKeys->name.empty()) {
    schema.insert("additionalProperties", ValueSchema(*shape.otherKeys));
  } else {
    schema.insert("patternProperties", toml::table{{shape.otherKeys->name, ValueSchema(*shape.otherKeys)}});
    schema.insert("additionalProperties", false);
  }
  return schema;
}

}  // namespace

const SectionShape* ShapeOfTable(std::string_view dotted) {
  if (const SectionShape* shape = NamedShape(dotted)) return shape;
  std::size_t dot = dotted.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  const SectionShape* parent = ShapeOfTable(dotted.substr(0, dot));
  bool anyTable = parent != nullptr && parent->otherKeys && parent->otherKeys->kind == Kind::kTable;
  return anyTable ? NamedShape(parent->otherKeys->section) : nullptr;
}

std::string ProjectSchema() {
  toml::table schema = ObjectSchema(*NamedShape(""));
  schema.insert("$schema", "http://json-schema.org/draft-07/schema#");
  schema.insert("title", "Palisade project file");
  schema.insert("description", "A product's installer for `palisade build`; see docs/project-file.md.");
  std::ostringstream out;
  out << toml::json_formatter(schema) << '\n';
  return out.str();
}

}  // namespace palisade::builder
