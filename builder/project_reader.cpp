// Reads a project file's tables into the setup script, section by
// section; the list sections and [[files]] have files of their own.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>

#include "builder/compression_profiles.h"
#include "builder/default_messages.h"
#include "builder/messages.h"
#include "builder/pe_resources.h"
#include "builder/project_context.h"
#include "builder/text_encoding.h"
#include "builder/time_stamps.h"
#include "builder/version_resource.h"
#include "builder/windows_names.h"
#include "builder/words.h"
#include "format/checks.h"
#include "format/dib_layout.h"
#include "format/icon_file.h"
#include "format/narrow_text.h"
#include "format/version_order.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kDefaultTopColor = 0x5F3A1E;     // #1E3A5F
constexpr uint32_t kDefaultBottomColor = 0x24160B;  // #0B1624
constexpr uint32_t kDefaultTitleColor = 0xFFFEF7;
constexpr uint32_t kDefaultCopyrightColor = 0xFEFCEC;
constexpr char kDefaultTitleFont[] = "Cambria Bold Italic, Times New Roman Bold Italic";
constexpr char kDefaultCopyrightFont[] = "Calibri Bold Italic, Verdana Bold Italic, Arial Bold Italic";
constexpr std::size_t kMidStringLimit = 0xFFFF;

// A key that is either a switch or a text that switches it on: a boolean
// sets `on`, a text sets both.
void SwitchOrText(TableReader& reader, std::string_view key, bool& on, std::string& text) {
  const toml::node* node = reader.Node(key);
  if (node == nullptr) return;
  if (node->is_boolean()) {
    on = *node->value<bool>();
  } else if (node->is_string()) {
    text = reader.String(key, "");
    on = true;
  } else {
    reader.ReportType(key, "true, false or a text");
  }
}

std::string LimitedText(TableReader& reader, std::string_view key, std::size_t limit) {
  std::string text = reader.String(key, "");
  if (text.size() > limit) {
    reader.Report(key, Quoted(key) + " in " + reader.label() + " is " + std::to_string(text.size()) + " bytes long",
                  "it can hold at most " + std::to_string(limit) + " bytes");
    return {};
  }
  return text;
}

bool IsFolderName(std::string_view name) { return !WindowsNameProblem(name); }

// The FileVersion of an executable's version resource, read when the
// project says version = { from = "dist/AcmeNotes.exe" }.
std::string VersionOfExecutable(ProjectContext& context, TableReader& from) {
  std::string relative = from.Required("from", "from = \"dist/AcmeNotes.exe\"");
  std::optional<format::Bytes> image = relative.empty() ? std::nullopt : context.ReadFile(from, "from");
  if (!image) return {};
  std::vector<Resource> resources;
  std::string problem;
  if (!ReadResources(*image, resources, problem)) {
    from.Report("from", "cannot read the version of " + Quoted(relative) + ": " + problem,
                "name a Windows program or library");
    return {};
  }
  auto resource = std::find_if(resources.begin(), resources.end(), [](const Resource& r) {
    return r.type == ResourceId{resource_type::kVersion, {}};
  });
  std::optional<std::string> version =
      resource == resources.end() ? std::nullopt : FileVersionText(resource->data);
  if (!version || version->empty()) {
    from.Report("from", Quoted(relative) + " has no file version", "give the version as a text instead");
    return {};
  }
  if (!format::IsOrderableVersion(*version)) {
    from.Report("from", "the file version " + Quoted(*version) + " of " + Quoted(relative) +
                            " is a version the installer cannot order",
                "give the version as a text instead");
    return {};
  }
  return *version;
}

// A text, or a table that names the executable whose version it is.
std::string ReadProductVersion(ProjectContext& context, TableReader& product) {
  const toml::node* node = product.Node("version");
  if (node == nullptr || !node->is_table()) {
    std::string version = product.Required("version", "version = \"1.0.0\"");
    product.CheckVersion("version", version);
    return version;
  }
  TableReader from(node->as_table(), "the version of [product]", LineOf(*node), context.diagnostics,
                   ShapeOfTable("product.version"));
  std::string version = VersionOfExecutable(context, from);
  from.Finish();
  return version;
}

// The icon and the texts of the setup executable's own resources.
void ReadSetupIdentity(ProjectContext& context) {
  TableReader& product = context.Section("product");
  const format::SetupScript& s = context.project.script;
  SetupIdentity& identity = context.project.identity;
  identity.productName = s.productName;
  identity.version = s.displayVersion;
  identity.publisher = s.publisher;
  identity.copyright = product.String("copyright", "");
  // The same .ico the list of installed programs shows, read and checked once.
  identity.icon = s.productIcon;
}

// A registry value as the engine reads and writes it: a root it knows, a
// key and a value name ("HKLM\Software\Acme\Folder").
bool IsRegistryValuePath(std::string_view path) {
  if (path.starts_with("\\")) path.remove_prefix(1);
  std::size_t rootEnd = path.find('\\'), valueStart = path.rfind('\\');
  if (rootEnd == std::string_view::npos || valueStart == rootEnd || valueStart + 1 == path.size()) return false;
  std::string root(path.substr(0, rootEnd));
  std::transform(root.begin(), root.end(), root.begin(), [](unsigned char c) { return std::toupper(c); });
  return root == "HKLM" || root == "HKCU" || root == "HKCR" || root == "HKU" || root == "HKCC";
}

std::string RegistryValuePath(TableReader& reader, std::string_view key) {
  std::string path = reader.String(key, "");
  if (!path.empty() && !IsRegistryValuePath(path)) {
    reader.Report(key, "bad registry value " + Quoted(path) + " for " + Quoted(key) + " in " + reader.label(),
                  "write the root, the key and the value name, such as 'HKLM\\Software\\Acme\\InstallDir'");
    return {};
  }
  return path;
}

// A text that travels as one line of the script's settings.
std::string SettingText(TableReader& reader, std::string_view key) {
  std::string text = reader.String(key, "");
  if (text.find_first_of("\r\n") != std::string::npos) {
    reader.Report(key, Quoted(key) + " in " + reader.label() + " holds a line break", "write it on one line");
    return {};
  }
  return text;
}

// An .ico file whose pictures the engine can turn into icon resources.
std::optional<format::Bytes> ReadIcon(ProjectContext& context, TableReader& reader, std::string_view key) {
  std::optional<format::Bytes> file = context.ReadFile(reader, key);
  if (!file) return std::nullopt;
  format::IconResources resources;
  if (!format::IconResourcesOf(*file, 1, resources)) {
    reader.Report(key, Quoted(key) + " in " + reader.label() + " is not an icon file", "save the icon as .ico");
    return std::nullopt;
  }
  return file;
}

void ReadDesktopFolderIcon(ProjectContext& context, TableReader& product, bool desktopFolder) {
  if (product.Node("desktop-folder-icon") == nullptr) return;
  std::optional<format::Bytes> icon = ReadIcon(context, product, "desktop-folder-icon");
  if (!icon) return;
  if (!desktopFolder) {
    product.Report("desktop-folder-icon", "a desktop folder icon without a desktop folder",
                   "add desktop-folder = true or a folder name");
    return;
  }
  context.project.script.desktopFolderIcon = std::move(*icon);
}

void ReadProduct(ProjectContext& context) {
  TableReader& product = context.Section("product");
  format::SetupScript& s = context.project.script;
  if (!product.present()) {
    context.diagnostics.Report(0, "missing table [product]", "add [product] with a name and a version");
    return;
  }
  s.productName = product.Required("name", "name = \"Acme Notes\"");
  s.displayVersion = ReadProductVersion(context, product);
  s.publisher = product.String("publisher", "");
  s.description = product.String("description", "");
  s.bitness = static_cast<uint8_t>(product.Word("bitness", kBitness).value_or(0));
  s.installFolderRule = product.String("install-folder", "");
  s.startMenuFolder = product.String("start-menu-folder", "");
  s.sharedPath = product.String("shared-folder", "");
  s.productRegistry = product.String("registry-key", "");
  s.installFolderValue = RegistryValuePath(product, "install-folder-value");
  if (product.Node("icon") != nullptr) s.productIcon = ReadIcon(context, product, "icon").value_or(format::Bytes());
  s.excludedSystems = product.WordMask("excluded-systems", kSystems).value_or(0);
  s.shortcutMode = static_cast<uint8_t>(product.Word("shortcuts-for", kShortcutModes).value_or(1));
  bool addToPath = false, desktopFolder = false;
  SwitchOrText(product, "add-to-path", addToPath, s.addToPathSubfolder);
  SwitchOrText(product, "desktop-folder", desktopFolder, s.desktopFolder);
  SetOption(context.flags, FindOption("product", "add-to-path"), addToPath);
  SetOption(context.flags, FindOption("product", "desktop-folder"), desktopFolder && s.desktopFolder.empty());
  ReadDesktopFolderIcon(context, product, desktopFolder);
  if (s.installFolderRule.empty() && !s.productName.empty() && !IsFolderName(s.productName)) {
    product.Report("name", "the product name " + Quoted(s.productName) + " cannot name the installation folder",
                   "set install-folder to a folder name without \\ / : * ? \" < > |");
  }
}

void ReadMasterProduct(ProjectContext& context) {
  TableReader& master = context.Section("master-product");
  format::SetupScript& s = context.project.script;
  if (!master.present()) return;
  SetOption(context.flags, FindOption("master-product", ""), true);
  s.masterRegistryName = master.Required("registry-name", "registry-name = \"Acme Suite\"");
  s.masterDisplayName = master.String("display-name", "");
  s.masterMinimumVersion = master.Version("minimum-version");
}

void ReadInstaller(ProjectContext& context) {
  TableReader& installer = context.Section("installer");
  format::SetupScript& s = context.project.script;
  s.automaticModeRequest = static_cast<uint8_t>(installer.Word("automatic-mode", kAutomaticModeRequests).value_or(0));
  s.archiveFromFile = static_cast<uint8_t>(installer.Word("archive-source", kArchiveSources).value_or(0));
  s.rebootMarker = installer.Bool("reboot-marker", false);
}

void ReadUpgrade(ProjectContext& context) {
  TableReader& upgrade = context.Section("upgrade");
  format::SetupScript& s = context.project.script;
  s.noDowngradeBelow = SettingText(upgrade, "no-downgrade-below");
  s.mustUninstallBelow = SettingText(upgrade, "must-uninstall-below");
  s.upgradeWarningBelow = SettingText(upgrade, "upgrade-warning-below");
}

void ReadUninstaller(ProjectContext& context) {
  TableReader& uninstaller = context.Section("uninstaller");
  format::SetupScript& s = context.project.script;
  s.uninstallerName = uninstaller.String("file", "Uninstall.exe");
  if (s.uninstallerName.empty() || !IsFolderName(s.uninstallerName)) {
    uninstaller.Report("file", "bad uninstaller file name " + Quoted(s.uninstallerName),
                       "give a file name without a folder, such as \"Uninstall.exe\"");
  }
  s.uninstallSubfolder = uninstaller.String("subfolder", "");
  s.uninstallName = uninstaller.String("registry-name", "");
  s.supportOffer = LimitedText(uninstaller, "support-offer", kMidStringLimit);
  if (uninstaller.Node("icon") != nullptr) {
    s.uninstallerIcon = ReadIcon(context, uninstaller, "icon").value_or(format::Bytes());
  }
  if (context.options.sourceDateEpoch) s.uninstallerTime = TimeStampFromUnix(*context.options.sourceDateEpoch);
}

// A .bmp picture as the engine carries and draws it: a DIB whose pixels
// follow its colour table.
std::optional<format::Bytes> ReadBitmap(ProjectContext& context, TableReader& reader, std::string_view key) {
  std::optional<format::Bytes> file = context.ReadFile(reader, key);
  if (!file) return std::nullopt;
  std::string named = Quoted(key) + " in " + reader.label();
  format::Bytes dib;
  format::DibLayout layout;
  if (!format::DibFromBitmapFile(*file, dib)) {
    reader.Report(key, named + " is not a BMP picture", "save the picture as .bmp");
    return std::nullopt;
  }
  switch (format::CheckDib(dib, layout)) {
    case format::DibFault::kNone:
      return dib;
    case format::DibFault::kNotDrawn:
      reader.Report(key,
                    named + " has " + std::to_string(layout.bitCount) + " bits per pixel" +
                        (layout.compression == format::kDibUncompressed ? "" : " and is compressed"),
                    "save it uncompressed with 1, 4, 8, 16, 24 or 32 bits per pixel");
      return std::nullopt;
    case format::DibFault::kMalformed:
      break;
  }
  reader.Report(key, named + " is a damaged BMP picture", "save the picture as .bmp again");
  return std::nullopt;
}

// Plain texts travel in the narrow form; rich text as it is.
std::optional<format::Bytes> ReadDocument(ProjectContext& context, TableReader& reader, std::string_view key,
                                          const std::string& relative) {
  bool rich = false;
  std::optional<std::string> text = context.ReadDocumentText(reader, key, relative, rich);
  if (!text) return std::nullopt;
  std::string stored = rich ? *text : format::EncodeNarrowForm(*text);
  return format::Bytes(stored.begin(), stored.end());
}

std::vector<format::Bytes> ReadDocuments(ProjectContext& context, TableReader& reader, std::string_view key) {
  std::vector<format::Bytes> documents;
  std::optional<std::vector<std::string>> files = reader.StringList(key);
  if (!files) return documents;
  if (files->size() > static_cast<std::size_t>(format::kLicenseCountRule.max)) {
    reader.Report(key, "too many files in " + Quoted(key), "an installer shows at most 20");
    return documents;
  }
  for (const std::string& file : *files) {
    if (std::optional<format::Bytes> document = ReadDocument(context, reader, key, file)) {
      documents.push_back(std::move(*document));
    }
  }
  return documents;
}

std::vector<std::string> ReadLanguages(TableReader& wizard) {
  std::vector<std::string> languages =
      wizard.StringList("languages").value_or(std::vector<std::string>{kDefaultLanguage});
  bool valid = !languages.empty() && languages.size() <= static_cast<std::size_t>(format::kLanguageCountRule.max);
  for (std::size_t i = 0; valid && i < languages.size(); ++i) {
    valid = !languages[i].empty() && std::count(languages.begin(), languages.end(), languages[i]) == 1;
  }
  if (!valid) {
    wizard.Report("languages", "bad language list in [wizard]", "name from 1 to 200 different languages");
    return {kDefaultLanguage};
  }
  return languages;
}

void ReadPageStyles(ProjectContext& context, TableReader& wizard) {
  format::SetupScript& s = context.project.script;
  uint32_t style = wizard.Word("style", kPageStyles).value_or(1);
  TableReader& pages = context.Section("wizard.page-styles");
  for (const Word& page : kPageNames) s.pageStyles[page.value] = pages.Word(page.word, kPageStyles).value_or(style);
}

// The pictures travel as the setup executable's own bitmaps in place of the
// engine's.
void ReadWizardPictures(ProjectContext& context, TableReader& wizard) {
  SetupIdentity& identity = context.project.identity;
  for (auto [key, picture] : {std::pair{"side-picture", &identity.sidePicture},
                              std::pair{"banner-picture", &identity.bannerPicture}}) {
    if (wizard.Node(key) != nullptr) *picture = ReadBitmap(context, wizard, key).value_or(format::Bytes());
  }
}

void ReadWizard(ProjectContext& context, std::vector<std::string>& languages) {
  TableReader& wizard = context.Section("wizard");
  format::SetupScript& s = context.project.script;
  languages = ReadLanguages(wizard);
  ReadPageStyles(context, wizard);
  ReadWizardPictures(context, wizard);
  s.productHeading = wizard.String("heading", "<product> Setup");
  s.bannerTextColor = wizard.Color("banner-text-color").value_or(kBlack);
  s.sidePictureFrame = static_cast<uint8_t>(wizard.Word("side-picture-frame", kSidePictureFrames).value_or(3));
  s.minimumStatusTime = static_cast<uint16_t>(wizard.Integer("minimum-status-time", 0, 9999).value_or(0));
  s.progressPlacement = wizard.Word("progress-placement", kProgressPlacements).value_or(0);
  s.greetingLinkText = LimitedText(wizard, "greeting-link", kMidStringLimit);
  if (wizard.Node("greeting-sound") != nullptr) {
    std::optional<format::Bytes> sound = context.ReadFile(wizard, "greeting-sound");
    bool wave = sound && sound->size() > 12 && std::equal(sound->begin(), sound->begin() + 4, "RIFF") &&
                std::equal(sound->begin() + 8, sound->begin() + 12, "WAVE");
    if (sound && !wave) wizard.Report("greeting-sound", "the greeting sound is not a WAV file", "save it as .wav");
    if (wave) s.greetingSound = std::move(*sound);
  }
  s.password = wizard.String("password", "");
  s.licenseTexts = ReadDocuments(context, wizard, "license");
  s.readmeTexts = ReadDocuments(context, wizard, "readme");
}

void ReadSummary(ProjectContext& context) {
  TableReader& summary = context.Section("summary");
  format::SetupScript& s = context.project.script;
  s.launchProgram = summary.String("launch", "");
  s.openDocument = summary.String("open", "");
  s.summaryOpenTarget = summary.String("open-also", "");
}

void ReadBackgroundColors(TableReader& background, format::SetupScript& s) {
  std::optional<uint32_t> color = background.Color("color");
  std::optional<std::vector<std::string>> gradient = background.StringList("gradient");
  s.topColor = color.value_or(kDefaultTopColor);
  s.bottomColor = color.value_or(kDefaultBottomColor);
  if (!gradient) return;
  std::optional<uint32_t> top = gradient->size() == 2 ? ParseColor((*gradient)[0]) : std::nullopt;
  std::optional<uint32_t> bottom = gradient->size() == 2 ? ParseColor((*gradient)[1]) : std::nullopt;
  if (!top || !bottom) {
    background.Report("gradient", "bad \"gradient\" in [background]", "write gradient = [\"#1E3A5F\", \"#0B1624\"]");
  } else if (color) {
    background.Report("gradient", "[background] has both \"color\" and \"gradient\"", "keep one of them");
  } else {
    s.topColor = *top;
    s.bottomColor = *bottom;
  }
}

std::string FontList(TableReader& reader, std::string_view key, std::string_view fallback) {
  std::optional<std::vector<std::string>> faces = reader.StringList(key);
  if (!faces) return std::string(fallback);
  std::string list;
  for (const std::string& face : *faces) list += (list.empty() ? "" : ", ") + face;
  return list;
}

void ReadCopyright(TableReader& background, format::SetupScript& s) {
  s.copyrightText = background.String("copyright", "");
  uint32_t fallback = s.copyrightText.empty() ? 0 : *ValueOfWord(kTextPositions, "bottom-right");
  s.copyrightPosition = static_cast<uint8_t>(background.Word("copyright-position", kTextPositions).value_or(fallback));
  s.copyrightColor = background.Color("copyright-color").value_or(kDefaultCopyrightColor);
  s.copyrightSize = background.Float("copyright-size", 0.1, 10).value_or(1.0);
  s.copyrightFont = FontList(background, "copyright-font", kDefaultCopyrightFont);
}

void ReadBackground(ProjectContext& context) {
  TableReader& background = context.Section("background");
  format::SetupScript& s = context.project.script;
  s.displayTitle = background.String("title", "");
  s.taskbarText = background.String("taskbar-text", s.productName + " Setup");
  s.titleSize = background.Float("title-size", 0.1, 10).value_or(1.0);
  s.titleColor = background.Color("title-color").value_or(kDefaultTitleColor);
  s.titleShadow = static_cast<uint8_t>(background.Integer("title-shadow", 0, 255).value_or(1));
  s.titlePosition = static_cast<uint8_t>(background.Word("title-position", kTextPositions).value_or(1));
  s.titleFont = FontList(background, "title-font", kDefaultTitleFont);
  ReadBackgroundColors(background, s);
  if (background.Node("picture") != nullptr) {
    s.backgroundBitmap = ReadBitmap(context, background, "picture").value_or(format::Bytes());
  }
  int64_t size = s.backgroundBitmap.empty() ? 0 : 100;
  s.bitmapSize = static_cast<int32_t>(background.Integer("picture-size", 0, 100).value_or(size));
  s.stretchMode = static_cast<int32_t>(background.Word("picture-fit", kPictureFits).value_or(2));
  s.bitmapTpi = static_cast<uint32_t>(background.Integer("transparent-index", -1, 255).value_or(-1));
  ReadCopyright(background, s);
}

void ReadPortable(ProjectContext& context) {
  TableReader& portable = context.Section("portable");
  format::SetupScript& s = context.project.script;
  s.portableSharedFolder = portable.String("shared-folder", "");
  TableReader& root = context.Section("portable.root-shortcut");
  s.rootShortcutCommand = root.String("command", "");
  s.rootShortcutName = root.String("name", "");
  TableReader& pin = context.Section("taskbar-pin");
  s.pinCommand = Utf8ToUtf16(pin.String("command", ""));
  s.pinName = Utf8ToUtf16(pin.String("name", ""));
}

void ReadBatches(ProjectContext& context) {
  for (const Word& batch : kBatchNames) {
    TableReader& reader = context.Section("batches." + std::string(batch.word));
    context.project.script.batches[batch.value] = reader.String("commands", "");
  }
}

void ReadNotifications(ProjectContext& context) {
  TableReader& notify = context.Section("notify");
  format::SetupScript& s = context.project.script;
  std::string* targets[] = {&s.startNotifyUrl,       &s.beginNotifyUrl,       &s.closingNotifyUrls[0],
                            &s.closingNotifyUrls[1], &s.closingNotifyUrls[2], &s.closingNotifyUrls[3],
                            &s.uninstallNotifyUrl};
  for (const Word& address : kNotifications) *targets[address.value] = notify.String(address.word, "");
}

// "https://" and a host.
bool IsHttpsAddress(std::string_view address) {
  constexpr std::string_view kScheme = "https://";
  return address.starts_with(kScheme) && address.size() > kScheme.size() && address[kScheme.size()] != '/' &&
         address[kScheme.size()] != ':';
}

// The engine posts reports itself, and only over TLS: a report carries the
// user's e-mail address, comments and paths.
void ReadCrashReport(ProjectContext& context) {
  TableReader& report = context.Section("crash-report");
  format::SetupScript& s = context.project.script;
  s.crashReportUrl = SettingText(report, "address");
  const std::string& address = s.crashReportUrl;
  if (address.starts_with("http://")) {
    report.Report("address", "crash report address " + Quoted(address) + " is plain HTTP",
                  "write it as \"https://host/path\": the report carries the user's e-mail address and comments, "
                  "so it goes only over TLS");
  } else if (!address.empty() && !IsHttpsAddress(address)) {
    report.Report("address", "crash report address " + Quoted(address) + " is not an https:// address",
                  "write it as \"https://host/path\"");
  }
  s.supportMail = SettingText(report, "sender");
}

// A profile named on the command line wins over the project's; the other
// keys refine whichever profile was chosen. Returns the profile that sizes
// the chunks once the files are known, or null when the project sets the
// size itself.
const CompressionProfile* ReadCompression(ProjectContext& context, const std::optional<std::string>& requested) {
  TableReader& compression = context.Section("compression");
  std::optional<std::string> named = compression.String("profile");
  const CompressionProfile* profile = FindCompressionProfile(requested.value_or(named.value_or("default")));
  if (profile == nullptr) {
    compression.Report("profile", "unknown compression profile " + Quoted(*named),
                       "write one of " + std::string(CompressionProfileNames()));
    profile = &kDefaultCompressionProfile;
  }
  format::XzEncodeOptions& xz = context.project.xz;
  xz.preset = static_cast<uint32_t>(compression.Integer("level", 0, 9).value_or(profile->level));
  xz.extreme = compression.Bool("extreme", false);
  xz.dictionarySize =
      static_cast<uint32_t>(compression.Integer("dictionary-kib", 4, 1536 * 1024).value_or(profile->dictionaryKib)) *
      1024;
  std::optional<int64_t> chunkKib = compression.Integer("chunk-size-kib", 1, 256 * 1024);
  if (!chunkKib) return profile;
  context.project.chunkSize = static_cast<std::size_t>(*chunkKib) * 1024;
  return nullptr;
}

// `count` bytes written as 2 x `count` hexadecimal digits.
std::optional<format::Bytes> HexBytes(TableReader& reader, std::string_view key, std::size_t count) {
  std::optional<std::string> text = reader.String(key);
  if (!text) return std::nullopt;
  bool hex = text->size() == 2 * count && std::all_of(text->begin(), text->end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c));
             });
  if (!hex) {
    reader.Report(key, "bad " + Quoted(key) + " in " + reader.label(),
                  "write " + std::to_string(count) + " bytes as " + std::to_string(2 * count) + " hexadecimal digits");
    return std::nullopt;
  }
  format::Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<uint8_t>(std::stoul(text->substr(2 * i, 2), nullptr, 16));
  return bytes;
}

void ReadEncryption(ProjectContext& context) {
  TableReader& encryption = context.Section("encryption");
  std::optional<format::Bytes> key = HexBytes(encryption, "key", format::kPayloadKeySize);
  if (!key) return;
  if (!OptionValue(context.flags, FindOption("encryption", "enabled"))) {
    encryption.Report("key", "[encryption] has a key but is not enabled", "add enabled = true");
  }
  context.project.key.emplace();
  std::copy(key->begin(), key->end(), context.project.key->begin());
}

// Where the signing certificate lies; the password itself never belongs in
// a file that goes into version control.
void ReadSigning(ProjectContext& context) {
  TableReader& signing = context.Section("signing");
  if (signing.Node("password") != nullptr) {
    signing.Report("password", "[signing] holds a password",
                   "name an environment variable with password-env or a file with password-file");
  }
  SigningSettings& settings = context.project.signing;
  auto path = [&](std::string_view key) {
    std::optional<std::string> relative = signing.String(key);
    return relative ? context.Resolve(*relative) : std::filesystem::path();
  };
  settings.pkcs12 = path("pkcs12");
  settings.certificate = path("cert");
  settings.key = path("key");
  settings.passwordFile = path("password-file");
  settings.passwordVariable = signing.String("password-env", "");
  settings.timestampUrl = signing.String("timestamp", "");
}

void ReadFlagWords(TableReader& reader, FlagWords& words) {
  words.low = static_cast<uint32_t>(reader.Integer("low", 0, UINT32_MAX).value_or(0));
  words.high = static_cast<uint32_t>(reader.Integer("high", 0, UINT32_MAX).value_or(0));
  words.second = static_cast<uint32_t>(reader.Integer("second", 0, UINT32_MAX).value_or(0));
}

// Raw fields whose use the engine does not document, and raw flag bits on
// top of the named options.
void ReadAdvanced(ProjectContext& context) {
  TableReader& advanced = context.Section("advanced");
  format::SetupScript& s = context.project.script;
  s.optionByte = static_cast<uint8_t>(advanced.Integer("option-byte", 0, 255).value_or(0));
  s.text31 = advanced.String("text-31", "");
  s.text52 = advanced.String("text-52", "");
  s.text53 = LimitedText(advanced, "text-53", 255);
  s.text54 = advanced.String("text-54", "");
  s.greetingText = advanced.String("greeting-page-text", "");
  if (std::optional<format::Bytes> block = HexBytes(advanced, "block-48", s.block48.size())) {
    std::copy(block->begin(), block->end(), s.block48.begin());
  }
  TableReader& options = context.Section("advanced.page-options");
  s.pageOptions[0] = static_cast<uint32_t>(options.Integer("first", 0, UINT32_MAX).value_or(0));
  s.pageOptions[1] = static_cast<uint32_t>(options.Integer("second", 0, UINT32_MAX).value_or(0));
  if (advanced.Node("optional-blob") != nullptr) {
    s.optionalBlob = context.ReadFile(advanced, "optional-blob").value_or(format::Bytes());
  }
  FlagWords set, clear;
  ReadFlagWords(context.Section("advanced.set-flags"), set);
  ReadFlagWords(context.Section("advanced.clear-flags"), clear);
  for (FlagWord word : {FlagWord::kLow, FlagWord::kHigh, FlagWord::kSecond}) {
    context.flags[word] = (context.flags[word] | set[word]) & ~clear[word];
  }
}

void ReadFlagOptions(ProjectContext& context) {
  for (const FlagOption& option : FlagOptions()) {
    if (option.derived) continue;
    SetOption(context.flags, option, context.Section(option.table).Bool(option.key, option.defaultValue));
  }
}

// Why a file the build reads deserves a second look, as a warning's text;
// empty when it lies in the project folder and no link leads to it.
std::string InputOrigin(const fs::path& projectFolder, const fs::path& input) {
  std::error_code error;
  fs::path base = fs::absolute(projectFolder.empty() ? fs::path(".") : projectFolder, error).lexically_normal();
  if (!base.has_filename()) base = base.parent_path();
  fs::path folder = fs::weakly_canonical(base, error);
  fs::path absolute = fs::absolute(input, error).lexically_normal();
  fs::path written = (folder / absolute.lexically_relative(base)).lexically_normal();
  fs::path real = fs::weakly_canonical(absolute, error);
  auto inside = [&folder](const fs::path& path) {
    fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
  };
  if (!inside(written)) return Quoted(absolute.generic_string()) + " lies outside the project folder";
  if (real == written) return {};
  return Quoted(written.lexically_relative(folder).generic_string()) + " comes through a symbolic link" +
         (inside(real) ? "" : " from outside the project folder");
}

// Read before the texts are expanded, so that the value of the variable
// never gets into them.
std::vector<std::string> SigningPasswordVariables(const toml::table& root, const ReadOptions& options) {
  std::vector<std::string> names;
  if (!options.signingPasswordVariable.empty()) names.push_back(options.signingPasswordVariable);
  if (std::optional<std::string> named = root["signing"]["password-env"].value<std::string>()) names.push_back(*named);
  return names;
}

}  // namespace

ProjectContext::ProjectContext(const toml::table& root, fs::path directory, const ReadOptions& options,
                               Project& project, Diagnostics& diagnostics)
    : project(project), options(options), diagnostics(diagnostics), root_(root), directory_(std::move(directory)) {
  sections_.emplace("", TableReader(&root_, "the project file", 0, diagnostics, ShapeOfTable("")));
}

TableReader& ProjectContext::Section(std::string_view dotted) {
  auto found = sections_.find(dotted);
  if (found != sections_.end()) return found->second;
  std::size_t dot = dotted.rfind('.');
  TableReader& parent = Section(dot == std::string_view::npos ? "" : dotted.substr(0, dot));
  std::string_view key = dot == std::string_view::npos ? dotted : dotted.substr(dot + 1);
  const toml::table* table = parent.Table(key);
  return sections_
      .emplace(std::string(dotted),
               TableReader(table, "[" + std::string(dotted) + "]", parent.LineOf(key), diagnostics,
                           ShapeOfTable(dotted)))
      .first->second;
}

void ProjectContext::FinishSections() {
  for (auto& [name, reader] : sections_) reader.Finish();
}

fs::path ProjectContext::Resolve(std::string_view relative) const { return directory_ / fs::path(relative); }

void ProjectContext::NoteInput(int line, const fs::path& input) {
  project.readFiles.push_back(input);
  WarnAboutInputOrigin(line, input);
}

void ProjectContext::WarnAboutInputOrigin(int line, const fs::path& input) {
  std::string origin = InputOrigin(directory_, input);
  if (origin.empty() || !warnedInputs_.insert(input.lexically_normal()).second) return;
  diagnostics.Warn(line, origin,
                   "the installer carries whatever lies there when it is built; copy the file into the project "
                   "folder if that is not what you meant");
}

std::optional<format::Bytes> ProjectContext::ReadFile(TableReader& reader, std::string_view key) {
  std::optional<std::string> relative = reader.String(key);
  if (!relative) return std::nullopt;
  std::ifstream in(Resolve(*relative), std::ios::binary);
  if (!in) {
    reader.Report(key, "cannot read " + Quoted(*relative) + " for " + Quoted(key) + " in " + reader.label(),
                  "paths are relative to the project file's folder");
    return std::nullopt;
  }
  NoteInput(reader.LineOf(key), Resolve(*relative));
  return format::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<std::string> ProjectContext::ReadDocumentText(TableReader& reader, std::string_view key,
                                                            const std::string& relative, bool& rich) {
  std::ifstream in(Resolve(relative), std::ios::binary);
  if (!in) {
    reader.Report(key, "cannot read " + Quoted(relative) + " for " + Quoted(key) + " in " + reader.label(),
                  "paths are relative to the project file's folder");
    return std::nullopt;
  }
  NoteInput(reader.LineOf(key), Resolve(relative));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bool bom = text.starts_with("\xEF\xBB\xBF");
  rich = std::string_view(text).substr(bom ? 3 : 0).starts_with("{\\rtf");
  if (rich) return text;
  if (bom) text.erase(0, 3);
  if (!IsValidUtf8(text)) {
    reader.Report(key, Quoted(relative) + " is neither UTF-8 text nor rich text", "save it as UTF-8 or as .rtf");
    return std::nullopt;
  }
  return text;
}

uint64_t PayloadBytes(const Project& project) {
  uint64_t total = 0;
  for (const FileSource& file : project.files) total += file.size;
  return total;
}

void ReadProject(const fs::path& path, const ReadOptions& options, Project& project, Diagnostics& diagnostics) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    diagnostics.Report(0, "cannot read the project file", "check the path");
    return;
  }
  toml::table root;
  try {
    root = toml::parse(text, path.string());
  } catch (const toml::parse_error& error) {
    diagnostics.Report(
        static_cast<int>(error.source().begin.line), std::string(error.description()),
        "the project file is TOML; check the syntax at column " + std::to_string(error.source().begin.column));
    return;
  }
  ExpandEnvironmentVariables(root, options.environment, SigningPasswordVariables(root, options), diagnostics);
  ProjectContext context(root, path.parent_path(), options, project, diagnostics);
  std::vector<std::string> languages;
  ReadFlagOptions(context);
  ReadProduct(context);
  ReadSetupIdentity(context);
  ReadMasterProduct(context);
  ReadInstaller(context);
  ReadUpgrade(context);
  ReadUninstaller(context);
  ReadWizard(context, languages);
  ReadSummary(context);
  ReadBackground(context);
  ReadPortable(context);
  ReadBatches(context);
  ReadNotifications(context);
  ReadCrashReport(context);
  ReadMessages(context, languages, context.Section("wizard").LineOf("languages"));
  const CompressionProfile* sizesChunks = ReadCompression(context, options.compression);
  ReadEncryption(context);
  ReadSigning(context);
  ReadShortcuts(context);
  ReadRegistry(context);
  ReadAssociations(context);
  ReadFirewall(context);
  ReadCloseRules(context);
  ReadConditionalDeletes(context);
  ReadUninstallValues(context);
  ReadFileEntries(context);
  if (sizesChunks != nullptr) project.chunkSize = ChunkSizeFor(*sizesChunks, PayloadBytes(project));
  ReadAdvanced(context);
  WarnAboutTheFiles(context);
  context.FinishSections();
  project.script.productFlagsLow = context.flags.low;
  project.script.productFlagsHigh = context.flags.high;
  project.productFlags2 = context.flags.second;
}

}  // namespace palisade::builder
