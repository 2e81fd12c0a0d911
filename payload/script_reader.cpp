#include "payload/script_reader.h"

#include "state/installer_state.h"
#include "core/system_facts.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/payload_reader.h"
#include "payload/variables.h"

namespace palisade {
namespace {

// A silent run never shows a page, an error box or the background window:
// the override clears the folder page and the error boxes and sets the bits
// that keep every window closed.
constexpr uint32_t kSilentClearedLow = 0x80000080;
constexpr uint32_t kSilentSetLow = 0x30600000;
constexpr uint32_t kSilentClearedHigh = 0x0008121C;
constexpr uint32_t kSilentSetHigh = format::product_flags_high::kNoGreeting;

constexpr uint8_t kAutomaticOn = 1;
constexpr uint8_t kAutomaticOff = 2;
constexpr uint8_t kBitness64 = 1;

std::string AnsiToUtf8(std::string_view ansi) { return ts::Utf8FromWide(ts::WideFromAnsi(ansi)); }

void ApplySilentOverride(format::SetupScript& script) {
  if (!g_installer.flags.silent) return;
  script.productFlagsLow = (script.productFlagsLow & ~kSilentClearedLow) | kSilentSetLow;
  script.productFlagsHigh = (script.productFlagsHigh & ~kSilentClearedHigh) | kSilentSetHigh;
}

void ApplyAutomaticModeRequest(uint8_t request) {
  if (request == kAutomaticOn) g_installer.flags.automatic = true;
  if (request == kAutomaticOff && !g_installer.flags.silent) g_installer.flags.automatic = false;
}

void DefaultTo(std::string& setting, const std::string& fallback) {
  if (setting.empty()) setting = fallback;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

void ApplyDefaults(format::SetupScript& script) {
  if (!g_installer.commandLine.productName.empty()) script.productName = ts::Utf8FromWide(g_installer.commandLine.productName);
  DefaultTo(script.description, script.productName);
  DefaultTo(script.sharedPath, IsBlank(script.publisher) ? script.productName : script.publisher);
  DefaultTo(script.startMenuFolder, script.productName);
  if (IsBlank(script.uninstallName)) script.uninstallName = script.productName;
  if (script.productFlagsHigh & format::product_flags_high::kDesktopFolderIsProductName) {
    DefaultTo(script.desktopFolder, script.productName);
  }
}

std::u16string WithCrLf(const std::u16string& text) {
  std::u16string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r') {
      result += u"\r\n";
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      result += u"\r\n";
    } else {
      result += c;
    }
  }
  return result;
}

void NormaliseLineBreaks(format::SetupScript& script) {
  for (auto& message : script.messages) {
    for (std::u16string& text : message) text = WithCrLf(text);
  }
}

// The last language named "English" (in any case), else the first.
int DefaultLanguage(const std::vector<std::u16string>& names) {
  int chosen = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    ts::WText name(names[i].begin(), names[i].end());
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), -1, L"English", -1) == CSTR_EQUAL) {
      chosen = static_cast<int>(i);
    }
  }
  return chosen;
}

void ApplyBitness(const format::SetupScript& script) {
  // Only under WoW64 is there a redirection to turn off; a 64-bit product on
  // a 32-bit system is refused later by the bitness check, with its message.
  if (script.bitness == kBitness64 && !ts::DisableFileSystemRedirection()) {
    ts::Fatal("Wow64DisableWow64FsRedirection() failed");
  }
}

void ApplyWizardImageOption() {
  if (!ts::IsAtLeastServer2003OrVista() || ts::System().underWine) {
    g_installer.productFlags2 &= ~format::product_flags2::kButtonImages;
  }
}

bool StartsWithIgnoringCase(const ts::WText& text, const wchar_t* prefix) {
  size_t length = wcslen(prefix);
  return text.size() >= length && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(length),
                                                 prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

// The rule as written, with the system's name and the installation variables
// put in; an empty rule is the product's name.
ts::WText InstallFolderRule(const format::SetupScript& script) {
  if (script.installFolderRule.empty()) return ts::WideFromUtf8(script.productName);
  ts::WText rule = SubstituteSystemName(ts::WideFromUtf8(script.installFolderRule));
  Expand(rule);
  return rule;
}

bool IsAbsoluteFolder(const ts::WText& folder) {
  return (folder.size() >= 2 && folder[1] == L':') || folder.rfind(L"\\\\", 0) == 0;
}

void ResolveInstallFolderRule(const format::SetupScript& script) {
  ts::WText rule = InstallFolderRule(script);
  if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, rule.c_str(), -1, L"<master>", -1) == CSTR_EQUAL) {
    g_installer.installFolderSource = InstallFolderSource::kMaster;
  } else if (StartsWithIgnoringCase(rule, L"HKLM\\") || StartsWithIgnoringCase(rule, L"HKCU\\")) {
    g_installer.installFolderSource = InstallFolderSource::kRegistry;
    g_installer.installFolder = rule;
    return;
  } else if (IsAbsoluteFolder(rule)) {
    // A rule that names a whole folder, such as "%AppDataDir%\\Acme" once
    // expanded, is taken as it stands rather than put below Program Files.
    g_installer.installFolder = rule;
  } else {
    ts::FolderKind kind = IsProduct64(script.bitness) ? ts::FolderKind::k64Bit : ts::FolderKind::k32Bit;
    g_installer.installFolder = ts::ProgramFilesFolder(kind) + L"\\" + rule;
  }
  if (!g_installer.commandLine.installFolder.empty()) {
    g_installer.installFolderSource = InstallFolderSource::kFolder;
    g_installer.installFolder = g_installer.commandLine.installFolder;
  }
}

}  // namespace

void ReadSetupScriptIntoState(std::span<const uint8_t> bytes, uint32_t productFlags2) {
  format::SetupScript& script = g_installer.script;
  g_installer.productFlags2 = productFlags2;
  format::Error error = format::ReadSetupScript(bytes, AnsiToUtf8, script);
  if (error != format::Error::kNone) CorruptInstaller(error);
  ApplySilentOverride(script);
  ApplyAutomaticModeRequest(script.automaticModeRequest);
  ApplyWizardImageOption();
  ApplyDefaults(script);
  ApplyBitness(script);
  NormaliseLineBreaks(script);
  g_installer.language = DefaultLanguage(script.languageNames);
  ResolveInstallFolderRule(script);
  script.productHeading = ts::Utf8FromWide(SubstituteTags(ts::WideFromUtf8(script.productHeading)));
}

}  // namespace palisade
