#include "builder/inspect.h"

#include <cstdio>
#include <iomanip>
#include <map>
#include <sstream>

#include "builder/flag_options.h"
#include "builder/pe_resources.h"
#include "builder/setup_resources.h"
#include "builder/text_encoding.h"
#include "builder/time_stamps.h"
#include "builder/version_resource.h"
#include "builder/words.h"
#include "format/narrow_text.h"
#include "format/pe_image.h"
#include "format/product_flags.h"

namespace palisade::builder {
namespace {

namespace kind = format::destination_kind;
namespace flags = format::record_flags;

toml::value<int64_t> Hex(uint32_t value) {
  toml::value<int64_t> hex(value);
  hex.flags(toml::value_flags::format_as_hexadecimal);
  return hex;
}

std::string HexText(std::span<const uint8_t> bytes) {
  std::string text;
  char digits[3];
  for (uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

std::string ColorText(uint32_t color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFF, color >> 8 & 0xFF, color >> 16 & 0xFF);
  return text;
}

std::string TimeText(const format::TimeStamp& time) {
  if (time.month == 0) return "none";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day,
                time.hour < 0 ? 0 : time.hour, time.minute, time.second);
  return text;
}

// A stored narrow text as UTF-8: the "|" form, or code page 1252.
std::string Readable(std::string_view stored) {
  format::DecodedNarrowText decoded = format::DecodeNarrowForm(stored);
  return decoded.utf8 ? decoded.text : Cp1252ToUtf8(decoded.text);
}

toml::array Words(std::vector<std::string_view> words) {
  toml::array array;
  for (std::string_view word : words) array.push_back(std::string(word));
  return array;
}

std::string Word(WordTable table, uint32_t value) {
  std::string_view word = WordOfValue(table, value);
  return word.empty() ? std::to_string(value) : std::string(word);
}

// What a file-valued key of the project (a picture, a sound, a licence)
// left in the installer: its size.
toml::table Stored(std::size_t bytes) { return toml::table{{"bytes", static_cast<int64_t>(bytes)}}; }

// A comma-separated list of font faces, as the project gives it.
toml::array FontList(std::string_view faces) {
  toml::array list;
  for (std::size_t start = 0; start <= faces.size();) {
    std::size_t comma = std::min(faces.find(',', start), faces.size());
    std::string_view face = faces.substr(start, comma - start);
    while (face.starts_with(" ")) face.remove_prefix(1);
    if (!face.empty()) list.push_back(std::string(face));
    start = comma + 1;
  }
  return list;
}

// The table at a dotted path ("batches.pre-install"), made on the way.
toml::table& TableAt(toml::table& root, std::string_view dotted) {
  toml::table* table = &root;
  for (std::size_t start = 0; start <= dotted.size();) {
    std::size_t dot = std::min(dotted.find('.', start), dotted.size());
    std::string key(dotted.substr(start, dot - start));
    if (!table->contains(key)) table->insert(key, toml::table{});
    table = table->get_as<toml::table>(key);
    start = dot + 1;
  }
  return *table;
}

template <typename Value>
void Put(toml::table& root, std::string_view dotted, std::string_view key, Value&& value) {
  TableAt(root, dotted).insert_or_assign(std::string(key), std::forward<Value>(value));
}

// Every switch the flag words carry, under its table and key.
void PutFlagOptions(toml::table& root, const FlagWords& words) {
  for (const FlagOption& option : FlagOptions()) {
    if (!option.derived) Put(root, option.table, option.key, OptionValue(words, option));
  }
}

// A key that is either a switch or a text that switches it on.
void PutSwitchOrText(toml::table& table, std::string_view key, bool on, const std::string& text) {
  if (text.empty()) {
    table.insert(key, on);
  } else {
    table.insert(key, text);
  }
}

void PutProduct(toml::table& root, const format::SetupScript& s, const FlagWords& words) {
  toml::table& product = TableAt(root, "product");
  product.insert("name", s.productName);
  product.insert("version", s.displayVersion);
  product.insert("publisher", s.publisher);
  product.insert("description", s.description);
  product.insert("bitness", Word(kBitness, s.bitness));
  product.insert("install-folder", s.installFolderRule);
  product.insert("start-menu-folder", s.startMenuFolder);
  product.insert("shared-folder", s.sharedPath);
  product.insert("registry-key", s.productRegistry);
  product.insert("install-folder-value", s.installFolderValue);
  if (!s.productIcon.empty()) product.insert("icon", Stored(s.productIcon.size()));
  product.insert("excluded-systems", Words(WordsOfMask(kSystems, s.excludedSystems)));
  product.insert("shortcuts-for", Word(kShortcutModes, s.shortcutMode));
  PutSwitchOrText(product, "add-to-path", OptionValue(words, FindOption("product", "add-to-path")),
                  s.addToPathSubfolder);
  PutSwitchOrText(product, "desktop-folder", OptionValue(words, FindOption("product", "desktop-folder")),
                  s.desktopFolder);
  if (!s.desktopFolderIcon.empty()) product.insert("desktop-folder-icon", Stored(s.desktopFolderIcon.size()));
  if (OptionValue(words, FindOption("master-product", ""))) {
    root.insert("master-product", toml::table{{"registry-name", s.masterRegistryName},
                                              {"display-name", s.masterDisplayName},
                                              {"minimum-version", s.masterMinimumVersion}});
  }
}

// The version texts that the setup executable shows Windows, and the
// pictures its pages show: the project's, or the engine's own.
void PutSetupIdentity(toml::table& root, std::span<const uint8_t> image) {
  std::vector<Resource> resources;
  std::string problem;
  if (!ReadResources(image, resources, problem)) return;
  for (const Resource& resource : resources) {
    if (resource.type == ResourceId{resource_type::kVersion, {}}) {
      std::optional<std::string> copyright = VersionString(resource.data, u"LegalCopyright");
      if (copyright) Put(root, "product", "copyright", *copyright);
    }
    for (auto [number, key] : {std::pair{kSidePictureBitmap, "side-picture"},
                               std::pair{kBannerPictureBitmap, "banner-picture"}}) {
      if (resource.type == ResourceId{resource_type::kBitmap, {}} && resource.name == ResourceId{number, {}}) {
        Put(root, "wizard", key, Stored(resource.data.size()));
      }
    }
  }
}

void PutInstaller(toml::table& root, const format::SetupScript& s) {
  Put(root, "installer", "automatic-mode", Word(kAutomaticModeRequests, s.automaticModeRequest));
  Put(root, "installer", "archive-source", Word(kArchiveSources, s.archiveFromFile));
  Put(root, "installer", "reboot-marker", s.rebootMarker);
  toml::table& upgrade = TableAt(root, "upgrade");
  upgrade.insert("no-downgrade-below", s.noDowngradeBelow);
  upgrade.insert("must-uninstall-below", s.mustUninstallBelow);
  upgrade.insert("upgrade-warning-below", s.upgradeWarningBelow);
  toml::table& uninstaller = TableAt(root, "uninstaller");
  uninstaller.insert("file", s.uninstallerName);
  uninstaller.insert("subfolder", s.uninstallSubfolder);
  uninstaller.insert("registry-name", s.uninstallName);
  uninstaller.insert("support-offer", s.supportOffer);
  if (!s.uninstallerIcon.empty()) uninstaller.insert("icon", Stored(s.uninstallerIcon.size()));
}

// The style most pages share, and the pages that differ from it.
void PutPageStyles(toml::table& wizard, const format::SetupScript& s) {
  std::map<uint32_t, int> counts;
  for (uint32_t style : s.pageStyles) ++counts[style];
  uint32_t common = s.pageStyles[0];
  for (auto [style, count] : counts) {
    if (count > counts[common]) common = style;
  }
  wizard.insert("style", Word(kPageStyles, common));
  toml::table differing;
  for (const builder::Word& page : kPageNames) {
    if (s.pageStyles[page.value] != common) differing.insert(page.word, Word(kPageStyles, s.pageStyles[page.value]));
  }
  if (!differing.empty()) wizard.insert("page-styles", std::move(differing));
}

toml::array StoredList(const std::vector<format::Bytes>& blobs) {
  toml::array list;
  for (const format::Bytes& blob : blobs) list.push_back(Stored(blob.size()));
  return list;
}

void PutWizard(toml::table& root, const format::SetupScript& s) {
  toml::table& wizard = TableAt(root, "wizard");
  toml::array languages;
  for (const std::u16string& name : s.languageNames) languages.push_back(Utf16ToUtf8(name));
  wizard.insert("languages", std::move(languages));
  PutPageStyles(wizard, s);
  wizard.insert("heading", s.productHeading);
  wizard.insert("banner-text-color", ColorText(s.bannerTextColor));
  wizard.insert("side-picture-frame", Word(kSidePictureFrames, s.sidePictureFrame));
  wizard.insert("minimum-status-time", s.minimumStatusTime);
  wizard.insert("progress-placement", Word(kProgressPlacements, s.progressPlacement));
  wizard.insert("greeting-link", s.greetingLinkText);
  if (!s.greetingSound.empty()) wizard.insert("greeting-sound", Stored(s.greetingSound.size()));
  wizard.insert("password", s.password);
  wizard.insert("license", StoredList(s.licenseTexts));
  wizard.insert("readme", StoredList(s.readmeTexts));
  toml::table& summary = TableAt(root, "summary");
  summary.insert("launch", s.launchProgram);
  summary.insert("open", s.openDocument);
  summary.insert("open-also", s.summaryOpenTarget);
}

void PutBackground(toml::table& root, const format::SetupScript& s) {
  toml::table& background = TableAt(root, "background");
  background.insert("title", s.displayTitle);
  background.insert("taskbar-text", s.taskbarText);
  background.insert("title-size", s.titleSize);
  background.insert("title-color", ColorText(s.titleColor));
  background.insert("title-shadow", s.titleShadow);
  background.insert("title-position", Word(kTextPositions, s.titlePosition));
  background.insert("title-font", FontList(s.titleFont));
  if (s.topColor == s.bottomColor) {
    background.insert("color", ColorText(s.topColor));
  } else {
    background.insert("gradient", toml::array{ColorText(s.topColor), ColorText(s.bottomColor)});
  }
  background.insert("picture-size", s.bitmapSize);
  background.insert("picture-fit", Word(kPictureFits, static_cast<uint32_t>(s.stretchMode)));
  // The installer stores the transparent index only with a picture, and the
  // copyright's look only with a copyright line.
  if (!s.backgroundBitmap.empty()) {
    background.insert("picture", Stored(s.backgroundBitmap.size()));
    background.insert("transparent-index", static_cast<int32_t>(s.bitmapTpi));
  }
  if (s.copyrightPosition != 0) {
    background.insert("copyright", s.copyrightText);
    background.insert("copyright-position", Word(kTextPositions, s.copyrightPosition));
    background.insert("copyright-color", ColorText(s.copyrightColor));
    background.insert("copyright-size", s.copyrightSize);
    background.insert("copyright-font", FontList(s.copyrightFont));
  }
}

void PutPortable(toml::table& root, const format::SetupScript& s) {
  Put(root, "portable", "shared-folder", s.portableSharedFolder);
  Put(root, "portable.root-shortcut", "command", s.rootShortcutCommand);
  Put(root, "portable.root-shortcut", "name", s.rootShortcutName);
  root.insert("taskbar-pin", toml::table{{"command", Utf16ToUtf8(s.pinCommand)}, {"name", Utf16ToUtf8(s.pinName)}});
}

void PutTexts(toml::table& root, const format::SetupScript& s) {
  for (const builder::Word& batch : kBatchNames) {
    Put(root, "batches." + std::string(batch.word), "commands", s.batches[batch.value]);
  }
  const std::string* addresses[] = {&s.startNotifyUrl,       &s.beginNotifyUrl,       &s.closingNotifyUrls[0],
                                    &s.closingNotifyUrls[1], &s.closingNotifyUrls[2], &s.closingNotifyUrls[3],
                                    &s.uninstallNotifyUrl};
  toml::table& notify = TableAt(root, "notify");
  for (const builder::Word& address : kNotifications) notify.insert(address.word, *addresses[address.value]);
  root.insert("crash-report", toml::table{{"address", s.crashReportUrl}, {"sender", s.supportMail}});
  if (!s.registryMergeFileText.empty()) {
    root.insert("registry-merge", toml::table{{"file", Stored(s.registryMergeFileText.size())}});
  }
}

// The fields of one line of the engine's comma-separated lists, unquoted.
std::vector<std::string> CsvFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = std::min(text.find("\r\n", start), text.size());
    if (end > start) lines.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// "\HKLM\Software\Acme" as the project writes it.
std::string ProjectKey(std::string_view path) { return std::string(path.starts_with("\\") ? path.substr(1) : path); }

toml::array RegistryEntries(const format::SetupScript& s) {
  toml::array entries;
  for (const std::string& line : Lines(Utf16ToUtf8(s.registryMergeText))) {
    std::vector<std::string> f = CsvFields(line);
    toml::table entry{{"key", ProjectKey(f[0])}};
    if (f.size() >= 5) {
      uint32_t type = static_cast<uint32_t>(std::strtoul(f[2].c_str(), nullptr, 10));
      entry.insert("value", f[1]);
      entry.insert("type", Word(kRegistryTypes, type));
      entry.insert("data", f[3]);
      entry.insert("action", Word(kRegistryActions, static_cast<uint32_t>(std::strtoul(f[4].c_str(), nullptr, 10))));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

// "target;name;protocols;keep": protocols 0 for a program.
toml::array FirewallEntries(const format::SetupScript& s) {
  toml::array entries;
  for (const std::string& line : Lines(s.firewallText)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ';');) f.push_back(field);
    f.resize(4);
    uint32_t protocols = static_cast<uint32_t>(std::strtoul(f[2].c_str(), nullptr, 10));
    toml::table entry;
    if (protocols == 0) {
      entry.insert("program", f[0]);
    } else {
      entry.insert("port", static_cast<int64_t>(std::strtol(f[0].c_str(), nullptr, 10)));
      entry.insert("protocols", Words(WordsOfMask(kFirewallProtocols, protocols)));
    }
    entry.insert("name", f[1]);
    entry.insert("keep", f[3] == "1");
    entries.push_back(std::move(entry));
  }
  return entries;
}

void PutLists(toml::table& root, const format::SetupScript& s) {
  toml::array shortcuts, associations, close, deletes, values;
  for (const format::ShortcutRecord& r : s.shortcuts) {
    shortcuts.push_back(toml::table{{"target", r.target},
                                    {"name", r.name},
                                    {"icon", r.icon},
                                    {"arguments", r.arguments},
                                    {"working-folder", r.workingFolder},
                                    {"desktop", r.desktop != 0},
                                    {"start-menu", r.startMenu != 0},
                                    {"startup", r.startup != 0},
                                    {"folder", r.extraFolder},
                                    {"window", Word(kWindowStates, r.windowState)},
                                    {"permanent", r.permanent != 0}});
  }
  for (const format::AssociationRecord& a : s.associations) {
    associations.push_back(toml::table{{"extension", a.extension},
                                       {"prog-id", a.progId},
                                       {"description", a.description},
                                       {"verb", a.verb},
                                       {"verb-label", a.verbLabel},
                                       {"command", a.command},
                                       {"icon", Utf16ToUtf8(a.icon)},
                                       {"open-with-only", a.mode == format::association_mode::kOpenWithOnly}});
  }
  for (const format::CloseRule& r : s.closeRules) {
    close.push_back(toml::table{{"window-class", r.windowClass},
                                {"window-title", r.windowTitle},
                                {"app-name", r.applicationName},
                                {"action", Word(kCloseActions, r.action)},
                                {"when", Words(WordsOfMask(kCloseWhen, r.options))}});
  }
  for (const format::ConditionalDeleteRule& r : s.conditionalDeletes) {
    deletes.push_back(toml::table{{"pattern", r.pattern},
                                  {"condition", Word(kDeleteConditions, r.conditionKind)},
                                  {"value", r.value},
                                  {"when", Words(WordsOfMask(kDeletePhases, r.flags))},
                                  {"restart", Word(kDeleteRestarts, r.flags & 0x3u)}});
  }
  for (const format::RegistrationValue& v : s.registrationValues) {
    values.push_back(toml::table{{"name", v.name}, {"type", Word(kRegistrationValueTypes, v.type)}, {"data", v.data}});
  }
  root.insert("shortcuts", std::move(shortcuts));
  root.insert("registry", RegistryEntries(s));
  root.insert("associations", std::move(associations));
  root.insert("firewall", FirewallEntries(s));
  root.insert("close", std::move(close));
  root.insert("conditional-delete", std::move(deletes));
  root.insert("uninstall-values", std::move(values));
}

// Every language's texts, by message number.
void PutMessages(toml::table& root, const format::SetupScript& s) {
  toml::table& messages = TableAt(root, "messages");
  for (std::size_t language = 0; language < s.languageNames.size(); ++language) {
    toml::table texts;
    for (std::size_t number = 0; number < s.messages.size(); ++number) {
      const std::u16string& text = s.messages[number][language];
      if (!text.empty()) texts.insert(std::to_string(number), Utf16ToUtf8(text));
    }
    messages.insert(Utf16ToUtf8(s.languageNames[language]), std::move(texts));
  }
}

void PutAdvanced(toml::table& root, const format::SetupScript& s) {
  toml::table& advanced = TableAt(root, "advanced");
  advanced.insert("option-byte", s.optionByte);
  advanced.insert("text-31", s.text31);
  advanced.insert("text-52", s.text52);
  advanced.insert("text-53", s.text53);
  advanced.insert("text-54", s.text54);
  advanced.insert("greeting-page-text", s.greetingText);
  advanced.insert("block-48", HexText(s.block48));
  if (!s.optionalBlob.empty()) advanced.insert("optional-blob", Stored(s.optionalBlob.size()));
  advanced.insert("page-options", toml::table{{"first", Hex(s.pageOptions[0])}, {"second", Hex(s.pageOptions[1])}});
}

// Which build of the engine the installer carries, by the machine its code
// is for.
std::string EngineBuild(std::span<const uint8_t> image) {
  format::ExecutableHeaders headers;
  std::string problem;
  if (!format::LocateHeaders(image, headers, problem)) return "unknown: " + problem;
  switch (format::X86ProgramBits(headers)) {
    case 32: return "32-bit x86";
    case 64: return "64-bit x64";
  }
  char text[24];
  std::snprintf(text, sizeof text, "machine 0x%04X", headers.machine);
  return text;
}

toml::table HeaderTable(const OpenedInstaller& installer, const FlagWords& words) {
  const format::PayloadHeader& h = installer.header;
  toml::table table{{"engine", EngineBuild(installer.file.bytes())},
                    {"engine-version", h.engineVersion},
                    {"script-block-size", h.scriptBlockSize},
                    {"script-checksum", Hex(h.scriptChecksum)},
                    {"stub-checksum", Hex(h.stubChecksum)},
                    {"stub-matches", installer.stubMatches},
                    {"archive-end", h.archiveEnd},
                    {"archive-length", h.archiveLength},
                    {"archive-checksum", Hex(h.archiveChecksum)},
                    {"file-count", static_cast<int64_t>(h.entrySizes.size())},
                    {"flags-low", Hex(words.low)},
                    {"flags-high", Hex(words.high)},
                    {"flags-second", Hex(words.second)},
                    {"uninstaller-time", TimeText(installer.script.uninstallerTime)}};
  if (h.enciphered()) table.insert("key", HexText(h.cipherKey));
  return table;
}

bool TakesShortcut(const format::FileRecord& r) { return r.kind == kind::kInstallFolder || r.kind == kind::kStartup; }

toml::table FileEntry(const format::FileRecord& r) {
  toml::table entry{{"name", Readable(r.name)},
                    {"size", static_cast<int64_t>(r.data.size())},
                    {"time", TimeText(r.time)},
                    {"kind", Word(kDestinationKinds, r.kind)},
                    {"overwrite", Word(kOverwriteModes, r.flags & flags::kOverwriteModeMask)},
                    {"permanent", (r.flags & flags::kPermanent) != 0},
                    {"to-uninstall-folder", (r.flags & flags::kToUninstallFolder) != 0}};
  if (!r.destinationOverride.empty()) entry.insert("destination", Utf16ToUtf8(r.destinationOverride));
  if (r.attributes != 0xFFFFFFFF) entry.insert("attributes", Words(WordsOfMask(kFileAttributes, r.attributes)));
  if (r.kind >= kind::kSystemShared && r.kind <= kind::kVersionChecked) entry.insert("version", Readable(r.textA));
  if (r.kind == kind::kFont) entry.insert("font-name", Readable(r.textA));
  bool shortcut = (r.flags & (flags::kDesktopShortcut | flags::kStartMenuShortcut)) != 0 || !r.textA.empty() ||
                  !r.textB.empty() || !r.textC.empty() || !r.textD.empty();
  if (TakesShortcut(r) && shortcut) {
    entry.insert("shortcut", toml::table{{"name", Readable(r.textA)},
                                         {"desktop", (r.flags & flags::kDesktopShortcut) != 0},
                                         {"start-menu", (r.flags & flags::kStartMenuShortcut) != 0},
                                         {"icon", Utf16ToUtf8(r.textB)},
                                         {"arguments", Cp1252ToUtf8(r.textC)},
                                         {"working-folder", Readable(r.textD)}});
  }
  if (r.kind == kind::kControlPanelApplet) {
    entry.insert("applet", toml::table{{"class-id", Readable(r.textD)},
                                       {"name", Readable(r.textA)},
                                       {"arguments", Cp1252ToUtf8(r.textC)}});
  }
  if (r.kind == kind::kMsiPackage) {
    entry.insert("msi", toml::table{{"ui-level", Word(kMsiUiLevels, r.msiUiLevel)},
                                    {"remove-at-uninstall", (r.flags & flags::kRemoveMsiPackage) != 0}});
  }
  return entry;
}

// The files as a table for people, as TOML comments, so that the whole
// output still reads as TOML.
void PrintFileTable(const toml::array& files, std::ostream& out) {
  out << "# files\n#" << std::setw(11) << "size" << "  " << std::setw(19) << std::left << "time" << "  "
      << std::setw(15) << "kind" << "  name\n"
      << std::right;
  for (const toml::node& node : files) {
    const toml::table& file = *node.as_table();
    out << '#' << std::setw(11) << file["size"].value_or<int64_t>(0) << "  " << std::setw(19) << std::left
        << file["time"].value_or<std::string>("") << "  " << std::setw(15) << file["kind"].value_or<std::string>("")
        << "  " << std::right << file["destination"].value_or<std::string>("")
        << file["name"].value_or<std::string>("") << '\n';
  }
}

}  // namespace

bool DescribeInstaller(const OpenedInstaller& installer, toml::table& description, std::string& problem) {
  const format::SetupScript& s = installer.script;
  toml::array files;
  bool read = ReadInstalledFiles(
      installer,
      [&](std::size_t, const format::FileRecord& record) {
        files.push_back(FileEntry(record));
        return true;
      },
      problem);
  if (!read) return false;
  FlagWords words{s.productFlagsLow, s.productFlagsHigh, installer.header.productFlags2};
  description = toml::table{{"header", HeaderTable(installer, words)}};
  PutProduct(description, s, words);
  PutSetupIdentity(description, installer.file.bytes());
  PutInstaller(description, s);
  PutWizard(description, s);
  PutBackground(description, s);
  PutPortable(description, s);
  PutTexts(description, s);
  PutFlagOptions(description, words);
  PutLists(description, s);
  PutMessages(description, s);
  PutAdvanced(description, s);
  if (installer.header.enciphered()) Put(description, "encryption", "key", HexText(installer.header.cipherKey));
  description.insert("files", std::move(files));
  return true;
}

int Inspect(const std::filesystem::path& path, bool json, std::ostream& out, std::ostream& err) {
  OpenedInstaller installer;
  toml::table description;
  std::string problem;
  if (!OpenInstaller(path, installer, problem) || !DescribeInstaller(installer, description, problem)) {
    err << "palisade: " << path.string() << ": " << problem << '\n';
    return 1;
  }
  if (json) {
    out << toml::json_formatter(description) << '\n';
    return 0;
  }
  out << toml::toml_formatter(description) << "\n\n";
  PrintFileTable(*description["files"].as_array(), out);
  return 0;
}

}  // namespace palisade::builder
