#include "actions/file_destination.h"

#include <cwchar>
#include <cwctype>

#include "format/file_record.h"

namespace palisade {
namespace {

namespace kind = format::destination_kind;
namespace record_flags = format::record_flags;

const wchar_t* const kDeviceNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};

bool SameIgnoringCase(const ts::WText& a, const wchar_t* b) {
  if (a.size() != wcslen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (towupper(a[i]) != towupper(b[i])) return false;
  }
  return true;
}

// "NUL", "nul.txt", "COM1", "lpt9.log": names the system takes for devices.
bool IsDeviceName(const ts::WText& component) {
  ts::WText stem = component.substr(0, component.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (const wchar_t* device : kDeviceNames) {
    if (SameIgnoringCase(stem, device)) return true;
  }
  bool numbered = stem.size() == 4 && stem[3] >= L'1' && stem[3] <= L'9';
  return numbered && (SameIgnoringCase(stem.substr(0, 3), L"COM") || SameIgnoringCase(stem.substr(0, 3), L"LPT"));
}

bool IsAcceptableComponent(const ts::WText& component) {
  if (component.empty() || component == L"." || component == L"..") return false;
  for (wchar_t c : component) {
    if (c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|') return false;
  }
  return !IsDeviceName(component);
}

bool IsAbsolute(const ts::WText& path) {
  return (path.size() >= 2 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

ts::WText WithBackslashes(ts::WText path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

ts::WText LastComponent(const ts::WText& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == ts::WText::npos ? path : path.substr(slash + 1);
}

// An absolute override names its place on purpose; only its steps are
// checked, so that ".." cannot climb out of what it appears to name.
bool IsAcceptableAbsolutePath(const ts::WText& path) {
  size_t start = path.size() >= 2 && path[1] == L':' ? 3 : 0;
  if (start == 0) return false;  // a root without a drive, or a network path
  ts::WText rest = path.substr(start);
  return rest.empty() || IsContainedRelativePath(rest.back() == L'\\' ? rest.substr(0, rest.size() - 1) : rest);
}

enum class KindFolder { kNone, kInstall, kShared, kFonts, kSystem };

KindFolder FolderOfKind(uint32_t k) {
  switch (k) {
    case kind::kInstallFolder:
    case kind::kStartup:
    case kind::kVersionChecked:
    case kind::kDriverPackage:
    case kind::kMsiPackage:
    case kind::kControlPanelApplet: return KindFolder::kInstall;
    case kind::kSharedFolder: return KindFolder::kShared;
    case kind::kFont: return KindFolder::kFonts;
    case kind::kSystemShared:
    case kind::kSystemCom:
    case kind::kSystemTypeLibrary: return KindFolder::kSystem;
    default: return KindFolder::kNone;
  }
}

const ts::WText& FolderPath(KindFolder folder, const DestinationFolders& folders) {
  switch (folder) {
    case KindFolder::kShared: return folders.shared;
    case KindFolder::kFonts: return folders.fonts;
    case KindFolder::kSystem: return folders.system;
    default: return folders.install;
  }
}

Destination Refused(const ts::WText& what, const ts::WText& text) {
  Destination destination;
  destination.refusal = what + L" \"" + text + L"\" would leave its folder.";
  return destination;
}

}  // namespace

bool IsContainedRelativePath(const ts::WText& path) {
  ts::WText normalised = WithBackslashes(path);
  if (normalised.empty() || IsAbsolute(normalised)) return false;
  for (size_t start = 0; start <= normalised.size();) {
    size_t end = normalised.find(L'\\', start);
    if (end == ts::WText::npos) end = normalised.size();
    if (!IsAcceptableComponent(normalised.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool IsPathInFolder(const ts::WText& path, const ts::WText& folder) {
  ts::WText base = folder;
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  if (base.empty() || path.size() <= base.size() + 1 || path[base.size()] != L'\\') return false;
  return _wcsnicmp(path.c_str(), base.c_str(), base.size()) == 0 && IsContainedRelativePath(path.substr(base.size() + 1));
}

bool KeepsPortableSharedOverride(const ts::WText& storedOverride) {
  ts::WText override = WithBackslashes(storedOverride);
  return override.find(L'\\') != ts::WText::npos && !IsAbsolute(override) && override.find(L'%') == ts::WText::npos;
}

Destination ResolveDestination(const ts::WText& storedName, uint32_t k, uint32_t flags, const ts::WText& storedOverride,
                               const DestinationFolders& folders) {
  ts::WText name = WithBackslashes(storedName);
  ts::WText override = WithBackslashes(storedOverride);
  bool overrideIsName = !override.empty() && override.find(L'\\') == ts::WText::npos;
  if (overrideIsName) name = override;
  if (!IsContainedRelativePath(name)) return Refused(L"The file name", name);

  Destination destination;
  if (flags & record_flags::kToUninstallFolder) {
    destination.path = folders.uninstallData + L"\\" + name;
    destination.createFolder = true;
    return destination;
  }
  if (override.empty() || overrideIsName) {
    KindFolder folder = FolderOfKind(k);
    if (folder == KindFolder::kNone) {
      destination.unknownKind = true;
      return destination;
    }
    destination.path = FolderPath(folder, folders) + L"\\" + name;
    // The system's folders exist; the product's are made as needed.
    destination.createFolder = folder == KindFolder::kInstall || folder == KindFolder::kShared;
    return destination;
  }
  if (IsAbsolute(override)) {
    if (!IsAcceptableAbsolutePath(override)) return Refused(L"The destination", override);
  } else {
    bool endsInFolder = override.back() == L'\\';
    ts::WText relative = endsInFolder ? override.substr(0, override.size() - 1) : override;
    if (!IsContainedRelativePath(relative)) return Refused(L"The destination", override);
    override = (k == kind::kSharedFolder ? folders.shared : folders.install) + L"\\" + override;
  }
  destination.path = override.back() == L'\\' ? override + LastComponent(name) : override;
  destination.createFolder = true;
  return destination;
}

}  // namespace palisade
