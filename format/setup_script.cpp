#include "format/setup_script.h"

#include "format/checks.h"
#include "format/narrow_text.h"
#include "format/product_flags.h"
#include "format/script_blocks.h"

namespace palisade::format {
namespace {

std::string_view AsChars(const Bytes& bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Collects the first field that cannot be stored; later writes still run
// but the caller throws the result away.
class ScriptWriter {
 public:
  ScriptWriter(Bytes& out, std::string& problem) : out_(out), problem_(problem) {}

  ByteWriter& raw() { return writer_; }
  bool ok() const { return ok_; }

  void Compact(std::string_view utf8, const char* field) { Require(writer_.CompactString(EncodeNarrowForm(utf8)), field); }
  void CompactBytes(const Bytes& bytes, const char* field) { Require(writer_.CompactString(AsChars(bytes)), field); }
  void Narrow(std::string_view utf8, const char* field) { Require(writer_.NarrowText(EncodeNarrowForm(utf8)), field); }
  void Short(std::string_view utf8, const char* field) { Require(writer_.ShortString(EncodeNarrowForm(utf8)), field); }
  void Mid(std::string_view utf8, const char* field) { Require(writer_.MidString(EncodeNarrowForm(utf8)), field); }
  void Blob(const Bytes& bytes, const char* field) { Require(writer_.Blob(bytes), field); }
  void Wide(std::u16string_view text, const char* field) { Require(writer_.WideText(text), field); }

  void Count(size_t count, const RangeRule& rule, const char* field) {
    Require(Check(rule, static_cast<int64_t>(count)) == Error::kNone, field);
    writer_.I32(static_cast<int32_t>(count));
  }
  void Require(bool condition, const char* field) {
    if (!condition && ok_) problem_ = field;
    ok_ = ok_ && condition;
  }

 private:
  Bytes& out_;
  ByteWriter writer_{out_};
  std::string& problem_;
  bool ok_ = true;
};

class ScriptReader {
 public:
  ScriptReader(std::span<const uint8_t> data, const AnsiToUtf8& ansiToUtf8) : reader_(data), ansiToUtf8_(ansiToUtf8) {}

  ByteReader& raw() { return reader_; }

  std::string Compact() {
    std::string stored;
    reader_.CompactString(stored);
    return Decoded(stored);
  }
  Bytes CompactBytes() {
    std::string stored;
    reader_.CompactString(stored);
    return Bytes(stored.begin(), stored.end());
  }
  std::string Narrow() { return Decoded(reader_.NarrowText()); }
  std::string Short() { return Decoded(reader_.ShortString()); }
  std::string Mid() { return Decoded(reader_.MidString()); }
  Bytes Blob() {
    Bytes value;
    reader_.Blob(value);
    return value;
  }

 private:
  std::string Decoded(const std::string& stored) {
    DecodedNarrowText decoded = DecodeNarrowForm(stored);
    if (decoded.utf8 || IsAscii(decoded.text)) return decoded.text;
    return ansiToUtf8_(decoded.text);
  }

  ByteReader reader_;
  const AnsiToUtf8& ansiToUtf8_;
};

bool HasMasterProduct(const SetupScript& script) {
  return (script.productFlagsLow & product_flags_low::kMasterProduct) != 0;
}

bool HasOptionalBlob(const SetupScript& script) {
  return (script.productFlagsLow & product_flags_low::kPreviousInstallation) != 0;
}

void WriteIdentity(const SetupScript& s, ScriptWriter& w) {
  w.raw().U32(s.productFlagsLow);
  w.raw().U32(s.productFlagsHigh);
  w.raw().Byte(s.automaticModeRequest);
  w.Compact(s.taskbarText, "taskbar text");
  w.Compact(s.displayTitle, "display title");
  w.raw().Double(s.titleSize);
  w.raw().U32(s.progressPlacement);
  w.Require(Check(kMinimumStatusTimeRule, s.minimumStatusTime) == Error::kNone, "minimum status time");
  w.raw().U16(s.minimumStatusTime);
  w.raw().Byte(s.shortcutMode);
  w.raw().Time(s.uninstallerTime);
  w.Compact(s.publisher, "publisher");
  w.Compact(s.productName, "product name");
  w.Compact(s.description, "description");
  w.raw().Byte(s.bitness);
  w.raw().Byte(s.optionByte);
  w.Compact(s.sharedPath, "shared path");
  w.Compact(s.portableSharedFolder, "portable shared folder");
  w.Compact(s.startMenuFolder, "start menu folder");
  w.Compact(s.displayVersion, "display version");
  w.Compact(s.installFolderRule, "installation folder");
  w.Compact(s.productRegistry, "product registry");
  Bytes merge;
  for (char16_t unit : s.registryMergeText) {
    merge.push_back(static_cast<uint8_t>(unit));
    merge.push_back(static_cast<uint8_t>(unit >> 8));
  }
  w.Blob(merge, "registry merge text");
  w.Compact(s.registryMergeFileText, "registry merge file");
  w.Require(Check(kBitmapSizeRule, s.bitmapSize) == Error::kNone, "bitmap size");
  w.raw().I32(s.bitmapSize);
  w.raw().I32(s.stretchMode);
  w.Mid(s.greetingLinkText, "greeting link text");
  w.Count(s.licenseTexts.size(), kLicenseCountRule, "license texts");
  for (const Bytes& text : s.licenseTexts) w.Blob(text, "license text");
  w.Count(s.readmeTexts.size(), kReadmeCountRule, "readme texts");
  for (const Bytes& text : s.readmeTexts) w.Blob(text, "readme text");
}

void WriteAppearance(const SetupScript& s, ScriptWriter& w) {
  w.Compact(s.uninstallSubfolder, "uninstall subfolder");
  w.Narrow(s.uninstallerName, "uninstaller name");
  w.Compact(s.uninstallName, "uninstall name");
  w.Narrow(s.text31, "text 31");
  w.Compact(s.productHeading, "product heading");
  w.raw().U32(s.bannerTextColor);
  w.raw().Byte(s.sidePictureFrame);
  w.raw().U32(s.titleColor);
  w.raw().Byte(s.titleShadow);
  w.raw().Byte(s.titlePosition);
  w.Mid(s.titleFont, "title font");
  w.raw().U32(s.topColor);
  w.raw().U32(s.bottomColor);
  w.Require(s.backgroundBitmap.size() <= INT32_MAX, "background bitmap");
  w.raw().I32(static_cast<int32_t>(s.backgroundBitmap.size()));
  if (!s.backgroundBitmap.empty()) {
    w.raw().Bytes(s.backgroundBitmap);
    w.raw().U32(s.bitmapTpi);
  }
  w.raw().Byte(s.copyrightPosition);
  if (s.copyrightPosition != 0) {
    w.raw().U32(s.copyrightColor);
    w.raw().Double(s.copyrightSize);
    w.Compact(s.copyrightText, "copyright text");
    w.Compact(s.copyrightFont, "copyright font");
  }
  if (HasMasterProduct(s)) {
    w.Compact(s.masterRegistryName, "master product");
    w.Compact(s.masterDisplayName, "master product name");
    w.Compact(s.masterMinimumVersion, "master product version");
  }
  w.CompactBytes(s.greetingSound, "greeting sound");
  w.Compact(s.desktopFolder, "desktop folder");
  w.Blob(IconBlock(s), "icons");
}

void WriteBehaviour(const SetupScript& s, ScriptWriter& w) {
  for (const std::string& batch : s.batches) w.Compact(batch, "batch");
  w.raw().Bytes(s.block48);
  w.raw().U32(s.excludedSystems);
  w.raw().Byte(s.archiveFromFile);
  for (const std::string* text : {&s.launchProgram, &s.openDocument, &s.summaryOpenTarget, &s.startNotifyUrl,
                                  &s.beginNotifyUrl, &s.closingNotifyUrls[0], &s.closingNotifyUrls[1],
                                  &s.closingNotifyUrls[2], &s.closingNotifyUrls[3], &s.uninstallNotifyUrl,
                                  &s.greetingText}) {
    w.Compact(*text, "launch and notification texts");
  }
  w.Narrow(s.text52, "text 52");
  w.Short(s.text53, "text 53");
  w.Compact(s.password, "password");
  w.Compact(s.text54, "text 54");
  w.Compact(s.firewallText, "firewall text");
  w.Compact(s.addToPathSubfolder, "search path subfolder");
  for (uint32_t option : s.pageOptions) w.raw().U32(option);
  for (uint32_t style : s.pageStyles) w.raw().U32(style);
  if (HasOptionalBlob(s)) w.Blob(s.optionalBlob, "optional blob");
}

void WriteLists(const SetupScript& s, ScriptWriter& w) {
  w.Require(s.conditionalDeletes.size() <= static_cast<size_t>(kConditionalDeleteListRule.max) + 1, "conditional deletes");
  for (const ConditionalDeleteRule& rule : s.conditionalDeletes) {
    w.Require(rule.pattern != kConditionalDeleteListEnd, "conditional delete pattern");
    w.Narrow(rule.pattern, "conditional delete pattern");
    w.raw().Byte(rule.conditionKind);
    w.Narrow(rule.value, "conditional delete value");
    w.raw().Byte(rule.flags);
  }
  w.Narrow(kConditionalDeleteListEnd, "conditional deletes");

  w.Count(s.associations.size(), kAssociationCountRule, "associations");
  for (const AssociationRecord& a : s.associations) {
    w.raw().U32(a.mode);
    for (const std::string* text : {&a.extension, &a.progId, &a.description, &a.verb, &a.verbLabel, &a.command}) {
      w.Narrow(*text, "association");
    }
    w.Wide(a.icon, "association icon");
    w.Narrow(a.reserved, "association");
  }

  w.Count(s.shortcuts.size(), kShortcutCountRule, "shortcuts");
  for (const ShortcutRecord& shortcut : s.shortcuts) {
    for (const std::string* text : {&shortcut.target, &shortcut.name, &shortcut.icon, &shortcut.arguments}) {
      w.Compact(*text, "shortcut");
    }
    w.Narrow(shortcut.workingFolder, "shortcut working folder");
    w.raw().Byte(shortcut.desktop);
    w.raw().Byte(shortcut.startMenu);
    w.raw().Byte(shortcut.startup);
    w.Narrow(shortcut.extraFolder, "shortcut folder");
    w.raw().Byte(shortcut.permanent);
    w.raw().Byte(shortcut.windowState);
  }

  w.Compact(s.rootShortcutCommand, "root shortcut command");
  w.Compact(s.rootShortcutName, "root shortcut name");
  w.Wide(s.pinCommand, "taskbar pin command");
  w.Wide(s.pinName, "taskbar pin name");

  w.Count(s.registrationValues.size(), kRegistrationValueCountRule, "registration values");
  for (const RegistrationValue& value : s.registrationValues) {
    w.Narrow(value.name, "registration value name");
    w.raw().Byte(value.type);
    w.Compact(value.data, "registration value data");
  }

  w.Mid(s.supportOffer, "support offer");
  Bytes settings;
  w.Require(WriteSettingsBlock(s, settings), "settings: a value with a line break");
  w.Blob(settings, "settings");

  w.Require(s.closeRules.size() <= static_cast<size_t>(kCloseRuleListRule.max), "close rules");
  for (const CloseRule& rule : s.closeRules) {
    w.Require(rule.windowClass != kCloseRuleListEnd, "close rule window class");
    w.Narrow(rule.windowClass, "close rule window class");
    w.Narrow(rule.windowTitle, "close rule window title");
    w.Narrow(rule.applicationName, "close rule application name");
    w.raw().Byte(rule.action);
    w.raw().Byte(rule.options);
  }
  w.Narrow(kCloseRuleListEnd, "close rules");
}

void WriteMessages(const SetupScript& s, ScriptWriter& w) {
  w.Require(Check(kLanguageCountRule, static_cast<int64_t>(s.languageNames.size())) == Error::kNone, "languages");
  w.raw().Byte(static_cast<uint8_t>(s.languageNames.size()));
  w.Require(Check(kMessageCountRule, static_cast<int64_t>(s.messages.size())) == Error::kNone, "messages");
  w.raw().U32(static_cast<uint32_t>(s.messages.size()));
  for (const std::u16string& name : s.languageNames) w.Wide(name, "language name");
  for (const std::vector<std::u16string>& message : s.messages) {
    w.Require(message.size() == s.languageNames.size(), "messages: one text per language");
    for (const std::u16string& text : message) w.Wide(text, "message");
  }
  w.raw().U32(kScriptEndMarker);
}

Error ReadIdentity(ScriptReader& r, SetupScript& s) {
  ByteReader& raw = r.raw();
  s.productFlagsLow = raw.U32();
  s.productFlagsHigh = raw.U32();
  s.automaticModeRequest = raw.Byte();
  s.taskbarText = r.Compact();
  s.displayTitle = r.Compact();
  s.titleSize = raw.Double();
  s.progressPlacement = raw.U32();
  s.minimumStatusTime = raw.U16();
  if (Error e = Check(kMinimumStatusTimeRule, s.minimumStatusTime); e != Error::kNone) return e;
  s.shortcutMode = raw.Byte();
  s.uninstallerTime = raw.Time();
  s.publisher = r.Compact();
  s.productName = r.Compact();
  s.description = r.Compact();
  s.bitness = raw.Byte();
  s.optionByte = raw.Byte();
  s.sharedPath = r.Compact();
  s.portableSharedFolder = r.Compact();
  s.startMenuFolder = r.Compact();
  s.displayVersion = r.Compact();
  s.installFolderRule = r.Compact();
  s.productRegistry = r.Compact();
  Bytes merge = r.Blob();
  s.registryMergeText.clear();
  for (size_t i = 0; i + 1 < merge.size(); i += 2) s.registryMergeText += static_cast<char16_t>(merge[i] | merge[i + 1] << 8);
  s.registryMergeFileText = r.Compact();
  s.bitmapSize = raw.I32();
  if (Error e = Check(kBitmapSizeRule, s.bitmapSize); e != Error::kNone) return e;
  s.stretchMode = raw.I32();
  s.greetingLinkText = r.Mid();
  int32_t licenses = raw.I32();
  if (Error e = Check(kLicenseCountRule, licenses); e != Error::kNone) return e;
  s.licenseTexts.clear();
  for (int32_t i = 0; i < licenses; ++i) s.licenseTexts.push_back(r.Blob());
  int32_t readmes = raw.I32();
  if (Error e = Check(kReadmeCountRule, readmes); e != Error::kNone) return e;
  s.readmeTexts.clear();
  for (int32_t i = 0; i < readmes; ++i) s.readmeTexts.push_back(r.Blob());
  return Error::kNone;
}

void ReadAppearance(ScriptReader& r, SetupScript& s) {
  ByteReader& raw = r.raw();
  s.uninstallSubfolder = r.Compact();
  s.uninstallerName = r.Narrow();
  s.uninstallName = r.Compact();
  s.text31 = r.Narrow();
  s.productHeading = r.Compact();
  s.bannerTextColor = raw.U32();
  s.sidePictureFrame = raw.Byte();
  s.titleColor = raw.U32();
  s.titleShadow = raw.Byte();
  s.titlePosition = raw.Byte();
  s.titleFont = r.Mid();
  s.topColor = raw.U32();
  s.bottomColor = raw.U32();
  int32_t bitmapLength = raw.I32();
  s.backgroundBitmap.clear();
  if (bitmapLength > 0) {
    std::span<const uint8_t> bitmap = raw.View(static_cast<size_t>(bitmapLength));
    s.backgroundBitmap.assign(bitmap.begin(), bitmap.end());
    s.bitmapTpi = raw.U32();
  }
  s.copyrightPosition = raw.Byte();
  if (s.copyrightPosition != 0) {
    s.copyrightColor = raw.U32();
    s.copyrightSize = raw.Double();
    s.copyrightText = r.Compact();
    s.copyrightFont = r.Compact();
  }
  if (HasMasterProduct(s)) {
    s.masterRegistryName = r.Compact();
    s.masterDisplayName = r.Compact();
    s.masterMinimumVersion = r.Compact();
  }
  s.greetingSound = r.CompactBytes();
  s.desktopFolder = r.Compact();
  ReadIconBlock(r.Blob(), s);
}

void ReadBehaviour(ScriptReader& r, SetupScript& s) {
  ByteReader& raw = r.raw();
  for (std::string& batch : s.batches) batch = r.Compact();
  raw.Read(s.block48);
  s.excludedSystems = raw.U32();
  s.archiveFromFile = raw.Byte();
  for (std::string* text : {&s.launchProgram, &s.openDocument, &s.summaryOpenTarget, &s.startNotifyUrl,
                            &s.beginNotifyUrl, &s.closingNotifyUrls[0], &s.closingNotifyUrls[1],
                            &s.closingNotifyUrls[2], &s.closingNotifyUrls[3], &s.uninstallNotifyUrl,
                            &s.greetingText}) {
    *text = r.Compact();
  }
  s.text52 = r.Narrow();
  s.text53 = r.Short();
  s.password = r.Compact();
  s.text54 = r.Compact();
  s.firewallText = r.Compact();
  s.addToPathSubfolder = r.Compact();
  for (uint32_t& option : s.pageOptions) option = raw.U32();
  for (uint32_t& style : s.pageStyles) style = raw.U32();
  if (HasOptionalBlob(s)) s.optionalBlob = r.Blob();
}

Error ReadConditionalDeletes(ScriptReader& r, SetupScript& s) {
  s.conditionalDeletes.clear();
  for (;;) {
    ConditionalDeleteRule rule;
    rule.pattern = r.Narrow();
    if (rule.pattern == kConditionalDeleteListEnd) return Error::kNone;
    rule.conditionKind = r.raw().Byte();
    rule.value = r.Narrow();
    rule.flags = r.raw().Byte();
    if (Error e = Check(kConditionalDeleteListRule, static_cast<int64_t>(s.conditionalDeletes.size()));
        e != Error::kNone) {
      return e;
    }
    s.conditionalDeletes.push_back(rule);
  }
}

Error ReadAssociationsAndShortcuts(ScriptReader& r, SetupScript& s) {
  ByteReader& raw = r.raw();
  int32_t associations = raw.I32();
  if (Error e = Check(kAssociationCountRule, associations); e != Error::kNone) return e;
  s.associations.assign(static_cast<size_t>(associations), AssociationRecord{});
  for (AssociationRecord& a : s.associations) {
    a.mode = raw.U32();
    for (std::string* text : {&a.extension, &a.progId, &a.description, &a.verb, &a.verbLabel, &a.command}) {
      *text = r.Narrow();
    }
    a.icon = raw.WideText();
    a.reserved = r.Narrow();
  }
  int32_t shortcuts = raw.I32();
  if (Error e = Check(kShortcutCountRule, shortcuts); e != Error::kNone) return e;
  s.shortcuts.assign(static_cast<size_t>(shortcuts), ShortcutRecord{});
  for (ShortcutRecord& shortcut : s.shortcuts) {
    for (std::string* text : {&shortcut.target, &shortcut.name, &shortcut.icon, &shortcut.arguments}) *text = r.Compact();
    shortcut.workingFolder = r.Narrow();
    shortcut.desktop = raw.Byte();
    shortcut.startMenu = raw.Byte();
    shortcut.startup = raw.Byte();
    shortcut.extraFolder = r.Narrow();
    shortcut.permanent = raw.Byte();
    shortcut.windowState = raw.Byte();
  }
  s.rootShortcutCommand = r.Compact();
  s.rootShortcutName = r.Compact();
  s.pinCommand = raw.WideText();
  s.pinName = raw.WideText();
  return Error::kNone;
}

Error ReadRegistrationValues(ScriptReader& r, SetupScript& s) {
  int32_t count = r.raw().I32();
  if (Error e = Check(kRegistrationValueCountRule, count); e != Error::kNone) return e;
  s.registrationValues.assign(static_cast<size_t>(count), RegistrationValue{});
  for (RegistrationValue& value : s.registrationValues) {
    value.name = r.Narrow();
    value.type = r.raw().Byte();
    value.data = r.Compact();
  }
  s.supportOffer = r.Mid();
  ReadSettingsBlock(r.Blob(), s);
  return Error::kNone;
}

Error ReadCloseRules(ScriptReader& r, SetupScript& s) {
  s.closeRules.clear();
  for (;;) {
    CloseRule rule;
    rule.windowClass = r.Narrow();
    if (rule.windowClass == kCloseRuleListEnd) return Error::kNone;
    rule.windowTitle = r.Narrow();
    rule.applicationName = r.Narrow();
    rule.action = r.raw().Byte();
    rule.options = r.raw().Byte();
    s.closeRules.push_back(rule);
    if (Error e = Check(kCloseRuleListRule, static_cast<int64_t>(s.closeRules.size())); e != Error::kNone) return e;
  }
}

Error ReadMessages(ScriptReader& r, SetupScript& s) {
  ByteReader& raw = r.raw();
  int languages = raw.Byte();
  if (Error e = Check(kLanguageCountRule, languages); e != Error::kNone) return e;
  uint32_t messages = raw.U32();
  if (Error e = Check(kMessageCountRule, messages); e != Error::kNone) return e;
  s.languageNames.assign(static_cast<size_t>(languages), std::u16string());
  for (std::u16string& name : s.languageNames) name = raw.WideText();
  s.messages.assign(messages, std::vector<std::u16string>(static_cast<size_t>(languages)));
  for (std::vector<std::u16string>& message : s.messages) {
    for (std::u16string& text : message) text = raw.WideText();
  }
  return raw.U32() == kScriptEndMarker ? Error::kNone : Error::kEndMarker;
}

}  // namespace

bool WriteSetupScript(const SetupScript& script, Bytes& out, std::string& problem) {
  Bytes bytes;
  ScriptWriter writer(bytes, problem);
  WriteIdentity(script, writer);
  WriteAppearance(script, writer);
  WriteBehaviour(script, writer);
  WriteLists(script, writer);
  WriteMessages(script, writer);
  if (!writer.ok()) return false;
  out = std::move(bytes);
  return true;
}

Error ReadSetupScript(std::span<const uint8_t> data, const AnsiToUtf8& ansiToUtf8, SetupScript& script) {
  ScriptReader reader(data, ansiToUtf8);
  if (Error e = ReadIdentity(reader, script); e != Error::kNone) return e;
  ReadAppearance(reader, script);
  ReadBehaviour(reader, script);
  if (Error e = ReadConditionalDeletes(reader, script); e != Error::kNone) return e;
  if (Error e = ReadAssociationsAndShortcuts(reader, script); e != Error::kNone) return e;
  if (Error e = ReadRegistrationValues(reader, script); e != Error::kNone) return e;
  if (Error e = ReadCloseRules(reader, script); e != Error::kNone) return e;
  return ReadMessages(reader, script);
}

}  // namespace palisade::format
