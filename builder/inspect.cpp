#include "builder/inspect.h"

#include <cstdio>
#include <iomanip>

#include "builder/flag_options.h"
#include "builder/text_encoding.h"
#include "builder/time_stamps.h"
#include "builder/words.h"
#include "format/narrow_text.h"

namespace palisade::builder {
namespace {

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

toml::table HeaderTable(const OpenedInstaller& installer) {
  const format::PayloadHeader& h = installer.header;
  toml::table table{{"engine-version", h.engineVersion},
                    {"script-block-size", h.scriptBlockSize},
                    {"script-checksum", Hex(h.scriptChecksum)},
                    {"stub-checksum", Hex(h.stubChecksum)},
                    {"stub-matches", installer.stubMatches},
                    {"archive-end", h.archiveEnd},
                    {"archive-length", h.archiveLength},
                    {"archive-checksum", Hex(h.archiveChecksum)},
                    {"file-count", static_cast<int64_t>(h.entrySizes.size())},
                    {"enciphered", h.enciphered()}};
  if (h.enciphered()) table.insert("key", HexText(h.cipherKey));
  return table;
}

toml::table FlagTable(const OpenedInstaller& installer) {
  FlagWords words{installer.script.productFlagsLow, installer.script.productFlagsHigh, installer.header.productFlags2};
  toml::table options;
  for (const FlagOption& option : FlagOptions()) options.insert(OptionPath(option), OptionValue(words, option));
  return toml::table{{"low", Hex(words.low)},
                     {"high", Hex(words.high)},
                     {"second", Hex(words.second)},
                     {"options", std::move(options)}};
}

toml::table ProductTable(const format::SetupScript& s) {
  return toml::table{{"name", s.productName},
                     {"version", s.displayVersion},
                     {"publisher", s.publisher},
                     {"description", s.description},
                     {"bitness", Word(kBitness, s.bitness)},
                     {"install-folder", s.installFolderRule},
                     {"start-menu-folder", s.startMenuFolder},
                     {"shared-folder", s.sharedPath},
                     {"registry-key", s.productRegistry},
                     {"install-folder-value", s.installFolderValue},
                     {"icon-bytes", static_cast<int64_t>(s.productIcon.size())},
                     {"no-downgrade-below", s.noDowngradeBelow},
                     {"must-uninstall-below", s.mustUninstallBelow},
                     {"upgrade-warning-below", s.upgradeWarningBelow},
                     {"reboot-marker", s.rebootMarker},
                     {"excluded-systems", Words(WordsOfMask(kSystems, s.excludedSystems))},
                     {"shortcuts-for", Word(kShortcutModes, s.shortcutMode)},
                     {"add-to-path", s.addToPathSubfolder},
                     {"desktop-folder", s.desktopFolder},
                     {"automatic-mode", Word(kAutomaticModeRequests, s.automaticModeRequest)},
                     {"archive-source", Word(kArchiveSources, s.archiveFromFile)}};
}

toml::table UninstallerTable(const format::SetupScript& s) {
  return toml::table{
      {"file", s.uninstallerName},
      {"subfolder", s.uninstallSubfolder},
      {"registry-name", s.uninstallName},
      {"support-offer", s.supportOffer},
      {"icon-bytes", static_cast<int64_t>(s.uninstallerIcon.size())},
      {"time", TimeText(s.uninstallerTime)},
      {"master-product", toml::array{s.masterRegistryName, s.masterDisplayName, s.masterMinimumVersion}}};
}

toml::table WizardTable(const format::SetupScript& s) {
  toml::table styles;
  for (const builder::Word& page : kPageNames) styles.insert(page.word, Word(kPageStyles, s.pageStyles[page.value]));
  return toml::table{{"page-styles", std::move(styles)},
                     {"heading", s.productHeading},
                     {"banner-text-color", ColorText(s.bannerTextColor)},
                     {"side-picture-frame", Word(kSidePictureFrames, s.sidePictureFrame)},
                     {"minimum-status-time", s.minimumStatusTime},
                     {"progress-placement", Word(kProgressPlacements, s.progressPlacement)},
                     {"greeting-link", s.greetingLinkText},
                     {"greeting-sound-bytes", static_cast<int64_t>(s.greetingSound.size())},
                     {"password", !s.password.empty()},
                     {"license-texts", static_cast<int64_t>(s.licenseTexts.size())},
                     {"readme-texts", static_cast<int64_t>(s.readmeTexts.size())},
                     {"launch", s.launchProgram},
                     {"open", s.openDocument},
                     {"open-also", s.summaryOpenTarget}};
}

toml::table BackgroundTable(const format::SetupScript& s) {
  return toml::table{{"title", s.displayTitle},
                     {"taskbar-text", s.taskbarText},
                     {"title-size", s.titleSize},
                     {"title-color", ColorText(s.titleColor)},
                     {"title-shadow", s.titleShadow},
                     {"title-position", Word(kTextPositions, s.titlePosition)},
                     {"title-font", s.titleFont},
                     {"gradient", toml::array{ColorText(s.topColor), ColorText(s.bottomColor)}},
                     {"picture-bytes", static_cast<int64_t>(s.backgroundBitmap.size())},
                     {"picture-size", s.bitmapSize},
                     {"picture-fit", Word(kPictureFits, static_cast<uint32_t>(s.stretchMode))},
                     {"transparent-index", static_cast<int32_t>(s.bitmapTpi)},
                     {"copyright", s.copyrightText},
                     {"copyright-position", Word(kTextPositions, s.copyrightPosition)}};
}

toml::table TextsTable(const format::SetupScript& s) {
  toml::table batches, notify;
  for (const builder::Word& batch : kBatchNames) batches.insert(batch.word, s.batches[batch.value]);
  const std::string* addresses[] = {&s.startNotifyUrl,       &s.beginNotifyUrl,       &s.closingNotifyUrls[0],
                                    &s.closingNotifyUrls[1], &s.closingNotifyUrls[2], &s.closingNotifyUrls[3],
                                    &s.uninstallNotifyUrl};
  for (const builder::Word& address : kNotifications) notify.insert(address.word, *addresses[address.value]);
  return toml::table{{"batches", std::move(batches)},
                     {"notify", std::move(notify)},
                     {"crash-report", toml::table{{"address", s.crashReportUrl}, {"sender", s.supportMail}}},
                     {"registry", Utf16ToUtf8(s.registryMergeText)},
                     {"registry-merge-file-bytes", static_cast<int64_t>(s.registryMergeFileText.size())},
                     {"firewall", s.firewallText},
                     {"portable-shared-folder", s.portableSharedFolder},
                     {"portable-root-shortcut", toml::array{s.rootShortcutCommand, s.rootShortcutName}},
                     {"taskbar-pin", toml::array{Utf16ToUtf8(s.pinCommand), Utf16ToUtf8(s.pinName)}}};
}

toml::table ListsTable(const format::SetupScript& s) {
  toml::array shortcuts, associations, close, deletes, values;
  for (const format::ShortcutRecord& r : s.shortcuts) {
    shortcuts.push_back(toml::table{{"target", r.target},
                                    {"name", r.name},
                                    {"desktop", r.desktop != 0},
                                    {"start-menu", r.startMenu != 0},
                                    {"startup", r.startup != 0},
                                    {"folder", r.extraFolder},
                                    {"window", Word(kWindowStates, r.windowState)}});
  }
  for (const format::AssociationRecord& a : s.associations) {
    associations.push_back(toml::table{{"extension", a.extension},
                                       {"prog-id", a.progId},
                                       {"verb", a.verb},
                                       {"command", a.command},
                                       {"open-with-only", a.mode == 2}});
  }
  for (const format::CloseRule& r : s.closeRules) {
    close.push_back(toml::table{{"window-class", r.windowClass},
                                {"window-title", r.windowTitle},
                                {"action", Word(kCloseActions, r.action)},
                                {"when", Words(WordsOfMask(kCloseWhen, r.options))}});
  }
  for (const format::ConditionalDeleteRule& r : s.conditionalDeletes) {
    deletes.push_back(toml::table{{"pattern", r.pattern},
                                  {"condition", Word(kDeleteConditions, r.conditionKind)},
                                  {"value", r.value},
                                  {"when", Words(WordsOfMask(kDeletePhases, r.flags))}});
  }
  for (const format::RegistrationValue& v : s.registrationValues) {
    values.push_back(toml::table{{"name", v.name}, {"type", Word(kRegistrationValueTypes, v.type)}, {"data", v.data}});
  }
  return toml::table{{"shortcuts", std::move(shortcuts)},
                     {"associations", std::move(associations)},
                     {"close", std::move(close)},
                     {"conditional-delete", std::move(deletes)},
                     {"uninstall-values", std::move(values)}};
}

toml::table MessagesTable(const format::SetupScript& s) {
  toml::array languages;
  for (const std::u16string& name : s.languageNames) languages.push_back(Utf16ToUtf8(name));
  return toml::table{{"languages", std::move(languages)}, {"count", static_cast<int64_t>(s.messages.size())}};
}

toml::table FileEntry(const format::FileRecord& r) {
  toml::table entry{{"name", Readable(r.name)},
                    {"size", static_cast<int64_t>(r.data.size())},
                    {"time", TimeText(r.time)},
                    {"kind", Word(kDestinationKinds, r.kind)},
                    {"overwrite", Word(kOverwriteModes, r.flags & format::record_flags::kOverwriteModeMask)},
                    {"flags", Hex(r.flags)},
                    {"attributes", r.attributes == 0xFFFFFFFF ? toml::array{"unchanged"}
                                                              : Words(WordsOfMask(kFileAttributes, r.attributes))}};
  if (!r.destinationOverride.empty()) entry.insert("destination", Utf16ToUtf8(r.destinationOverride));
  if (!r.textA.empty()) entry.insert("text-a", Readable(r.textA));
  if (!r.textC.empty()) entry.insert("text-c", Cp1252ToUtf8(r.textC));
  if (!r.textD.empty()) entry.insert("text-d", Readable(r.textD));
  return entry;
}

void PrintFileTable(const toml::array& files, std::ostream& out) {
  out << "\n# files\n"
      << std::setw(12) << "size"
      << "  " << std::setw(19) << std::left << "time"
      << "  " << std::setw(15) << "kind"
      << "  name\n"
      << std::right;
  for (const toml::node& node : files) {
    const toml::table& file = *node.as_table();
    out << std::setw(12) << file["size"].value_or<int64_t>(0) << "  " << std::setw(19) << std::left
        << file["time"].value_or<std::string>("") << "  " << std::setw(15) << file["kind"].value_or<std::string>("")
        << "  " << std::right << file["name"].value_or<std::string>("") << '\n';
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
  description = toml::table{{"header", HeaderTable(installer)}, {"flags", FlagTable(installer)},
                            {"product", ProductTable(s)},       {"uninstaller", UninstallerTable(s)},
                            {"wizard", WizardTable(s)},         {"background", BackgroundTable(s)},
                            {"texts", TextsTable(s)},           {"lists", ListsTable(s)},
                            {"messages", MessagesTable(s)},     {"files", std::move(files)}};
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
  for (const char* section :
       {"header", "flags", "product", "uninstaller", "wizard", "background", "texts", "lists", "messages"}) {
    toml::table single;
    single.insert(section, std::move(*description[section].as_table()));
    out << toml::toml_formatter(single) << "\n\n";
  }
  PrintFileTable(*description["files"].as_array(), out);
  return 0;
}

}  // namespace palisade::builder
