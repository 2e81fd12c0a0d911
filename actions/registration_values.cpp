#include "actions/registration_values.h"

#include <algorithm>
#include <cwctype>

#include "core/ts_format.h"

namespace palisade {
namespace {

using Kind = UninstallKeyValue::Kind;

constexpr uint8_t kTextValue = 1;
constexpr uint8_t kExpandableTextValue = 2;
constexpr uint8_t kNumberValue = 4;

ts::WText Wide(const std::string& utf8) { return ts::WideFromUtf8(utf8); }

class ValueList {
 public:
  // A text that may be empty is deleted instead of written empty.
  void Text(const wchar_t* name, const ts::WText& text, bool deleteWhenEmpty = false) {
    Add(name, deleteWhenEmpty && text.empty() ? Kind::kDelete : Kind::kText, text, 0);
  }
  void Number(const wchar_t* name, uint32_t number, bool deleteWhenZero = false) {
    Add(name, deleteWhenZero && number == 0 ? Kind::kDelete : Kind::kNumber, L"", number);
  }
  void Delete(const wchar_t* name) { Add(name, Kind::kDelete, L"", 0); }
  void Add(const ts::WText& name, Kind kind, const ts::WText& text, uint32_t number) {
    values_.push_back({L"", name, kind, text, number});
  }
  void AddExtra(const ts::WText& subkey, const ts::WText& name, Kind kind, const ts::WText& text, uint32_t number) {
    values_.push_back({subkey, name, kind, text, number, true});
  }
  std::vector<UninstallKeyValue> Take() { return std::move(values_); }

 private:
  std::vector<UninstallKeyValue> values_;
};

// "7.10.3" gives 7 and 10; a version without "." gives nothing.
bool VersionParts(const ts::WText& version, uint32_t& major, uint32_t& minor) {
  size_t dot = version.find(L'.');
  if (dot == ts::WText::npos) return false;
  major = static_cast<uint32_t>(wcstoul(version.substr(0, dot).c_str(), nullptr, 10));
  minor = static_cast<uint32_t>(wcstoul(version.substr(dot + 1).c_str(), nullptr, 10));
  return true;
}

ts::WText Decimal(double value) { return ts::Format(L"%g", value); }

ts::WText ColourText(uint32_t colour) {
  return ts::Format(L"%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// The title as the installer showed it, so that the uninstaller, which has
// no message 0, shows the same.
void AddBackground(const format::SetupScript& s, const ts::WText& title, ValueList& values) {
  values.Text(L"DisplayTitle", title);
  values.Text(L"TitleFont", Wide(s.titleFont));
  values.Text(L"TaskbarText", Wide(s.taskbarText));
  values.Text(L"CopyrightText", Wide(s.copyrightText));
  values.Text(L"CopyrightFont", Wide(s.copyrightFont));
  values.Number(L"TitleColor", s.titleColor);
  values.Number(L"TopColor", s.topColor);
  values.Number(L"TitleShadow", s.titleShadow);
  values.Number(L"TitlePosition", s.titlePosition);
  values.Number(L"CopyrightPos", s.copyrightPosition);
  bool mono = s.bottomColor == s.topColor;
  if (mono) {
    values.Delete(L"BottomColor");
  } else {
    values.Number(L"BottomColor", s.bottomColor);
  }
  values.Number(L"MonoColor", mono ? 1 : 0);
  values.Text(L"TitleSize", Decimal(s.titleSize));
  values.Text(L"CopyrightSize", Decimal(s.copyrightSize));
  values.Text(L"CopyrightColor", ColourText(s.copyrightColor));
  if (s.backgroundBitmap.empty()) {
    for (const wchar_t* name : {L"BitmapSize", L"BitmapTPI", L"StretchMode"}) values.Delete(name);
    return;
  }
  values.Number(L"BitmapSize", static_cast<uint32_t>(s.bitmapSize));
  if (s.bitmapTpi == 0xFFFFFFFF) {
    values.Delete(L"BitmapTPI");
  } else {
    values.Number(L"BitmapTPI", s.bitmapTpi);
  }
  values.Number(L"StretchMode", static_cast<uint32_t>(s.stretchMode));
}

void AddExtraValues(const format::SetupScript& s, TextExpander expand, ValueList& values, bool& unknownType) {
  for (const format::RegistrationValue& extra : s.registrationValues) {
    ts::WText name = Wide(extra.name), subkey;
    size_t slash = name.rfind(L'\\');
    if (slash != ts::WText::npos) {
      subkey = name.substr(0, slash);
      name = name.substr(slash + 1);
    }
    ts::WText data = Wide(extra.data);
    expand(data);
    switch (extra.type) {
      case kTextValue: values.AddExtra(subkey, name, data.empty() ? Kind::kDelete : Kind::kText, data, 0); break;
      case kExpandableTextValue:
        values.AddExtra(subkey, name, data.empty() ? Kind::kDelete : Kind::kExpandableText, data, 0);
        break;
      case kNumberValue: {
        uint32_t number = static_cast<uint32_t>(wcstoul(data.c_str(), nullptr, 10));
        values.AddExtra(subkey, name, number == 0 ? Kind::kDelete : Kind::kNumber, L"", number);
        break;
      }
      default: unknownType = true; return;
    }
  }
}

}  // namespace

ts::WText UninstallerArguments(const ts::WText& uninstallName) { return L"/u:\"" + uninstallName + L"\""; }

ts::WText UninstallString(const RegistrationFacts& facts) {
  return L"\"" + facts.uninstallerPath + L"\" " + UninstallerArguments(facts.uninstallName);
}

ts::WText QuietUninstallString(const RegistrationFacts& facts) {
  return L"\"" + facts.uninstallerPath + L"\" /a " + UninstallerArguments(facts.uninstallName);
}

std::vector<UninstallKeyValue> UninstallKeyValues(const format::SetupScript& s, const RegistrationFacts& facts,
                                                  TextExpander expand, bool& unknownType) {
  unknownType = false;
  ValueList values;
  ts::WText version = Wide(s.displayVersion);
  values.Text(L"UninstallString", UninstallString(facts));
  values.Text(L"QuietUninstallString", QuietUninstallString(facts));
  values.Text(L"DisplayName", Wide(s.productName));
  values.Text(L"InstallSource", facts.installerPath);
  values.Text(L"Publisher", Wide(s.publisher), true);
  values.Number(L"Bitness", s.bitness);
  values.Text(L"DisplayVersion", version, true);
  values.Text(L"NoDowngradeBelow", Wide(s.noDowngradeBelow), true);
  values.Text(L"DisplayIcon", facts.displayIcon, true);
  uint32_t major = 0, minor = 0;
  if (VersionParts(version, major, minor)) {
    values.Number(L"VersionMajor", major);
    values.Number(L"VersionMinor", minor);
  }
  values.Text(L"ProductRegistry", Wide(s.productRegistry), true);
  values.Text(L"ProductStartMenu", Wide(s.startMenuFolder), true);
  values.Text(L"SharedPath", facts.sharedFolder, true);
  values.Text(L"ProductFonts", facts.fonts, true);
  uint64_t flags = static_cast<uint64_t>(s.productFlagsHigh) << 32 | s.productFlagsLow;
  values.Text(L"ProductFlags", ts::Format(L"%I64u", flags));
  values.Text(L"ProductFlags2", ts::Format(L"%u", facts.productFlags2));
  values.Text(L"UninstallBatch1", Wide(s.batches[format::kUninstallBatch1]), true);
  values.Text(L"UninstallBatch2", Wide(s.batches[format::kUninstallBatch2]), true);
  values.Text(L"SharedFiles", facts.sharedFiles, true);
  values.Text(L"UninstallSubdir", Wide(s.uninstallSubfolder), true);
  values.Text(L"AddToPathSubfolder", Wide(s.addToPathSubfolder), true);
  values.Number(L"ShortcutMode", s.shortcutMode, true);
  values.Text(L"NotifyURL", Wide(s.uninstallNotifyUrl), true);
  values.Text(L"SupportOffer", Wide(s.supportOffer), true);
  values.Text(L"DesktopFolder", Wide(s.desktopFolder), true);
  uint64_t kib = facts.installedBytes / 1024;
  values.Number(L"EstimatedSize", kib > 0xFFFFFFFF ? 0 : static_cast<uint32_t>(kib), true);
  AddBackground(s, facts.displayTitle, values);
  AddExtraValues(s, expand, values, unknownType);
  values.Text(L"InstallLocation", facts.installFolder);
  values.Text(L"InstallDate", facts.installDate);
  return values.Take();
}

ts::WText ExtraValueName(const UninstallKeyValue& value) {
  return value.subkey.empty() ? value.name : value.subkey + L"\\" + value.name;
}

ts::WText SearchPathFolder(const ts::WText& installFolder, const ts::WText& subfolder) {
  if (subfolder.empty()) return installFolder;
  bool absolute = subfolder.size() >= 2 && subfolder[1] == L':';
  return absolute ? subfolder : installFolder + L"\\" + subfolder;
}

ts::WText SearchPathWithout(const ts::WText& path, const ts::WText& folder) {
  ts::WText result;
  bool first = true;
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find(L';', start), path.size());
    ts::WText entry = path.substr(start, end - start);
    if (_wcsicmp(entry.c_str(), folder.c_str()) != 0) {
      result += (first ? L"" : L";") + entry;
      first = false;
    }
    start = end + 1;
  }
  return result;
}

ts::WText SearchPathWith(const ts::WText& path, const ts::WText& folder) {
  if (path.empty()) return path;
  auto lower = [](ts::WText text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
  };
  ts::WText haystack = lower(path), needle = lower(folder);
  bool endsWithFolder = haystack.size() >= needle.size() && haystack.compare(haystack.size() - needle.size(), needle.size(), needle) == 0;
  if (haystack.find(needle + L";") != ts::WText::npos || endsWithFolder) return path;
  return path + (path.back() == L';' ? L"" : L";") + folder;
}

}  // namespace palisade
