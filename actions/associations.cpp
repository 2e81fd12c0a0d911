#include "actions/associations.h"

#include <windows.h>

#include "actions/install_log.h"
#include "core/ts_format.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/variables.h"
#include "record/uninstall_record.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

namespace mode = format::association_mode;
namespace flags2 = format::product_flags2;

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
constexpr wchar_t kCreateMark = L'!';

// Sets a key's default value; an earlier, different one is kept under the
// backup name first.
LONG ReplaceDefault(ts::RegistryKey& key, const ts::WText& value, const ts::WText& backupName) {
  ts::WText earlier = key.Text(L"");
  if (!earlier.empty() && earlier != value) key.SetText(backupName, earlier);
  return key.SetText(L"", value);
}

// What one entry has done so far.
struct Progress {
  AssociationEntry entry;
  bool useExisting = false;
  bool extensionSet = false;
  bool commandSet = false;
};

// The ProgID that the extension's default value names, or, with "!", the
// one to create; false when there is none.
bool TakeClass(Progress& p, ts::RegistryKey& extension, const ts::WText& backupName) {
  ts::WText existing = extension.Text(L"");
  if (!existing.empty()) {
    p.entry.progId = existing;
    return true;
  }
  // Nothing after the "!" names no class to create.
  if (p.entry.progId.size() <= 1) return false;
  p.entry.progId.erase(0, 1);
  p.useExisting = false;
  p.extensionSet = IsClassKeyName(p.entry.progId) &&
                   ReplaceDefault(extension, p.entry.progId, backupName) == ERROR_SUCCESS;
  return true;
}

// A full association points the extension at the class; an open-with entry
// leaves the extension's default alone and, having no class to take over,
// names the class after its "!". False when there is no class to use.
bool SetExtension(Progress& p, ts::RegistryKey& extension, const ts::WText& backupName) {
  if (p.entry.mode != mode::kFull) {
    if (!p.entry.progId.empty() && p.entry.progId[0] == kCreateMark) {
      p.entry.progId.erase(0, 1);
      p.useExisting = false;
    }
    return !p.entry.progId.empty();
  }
  if (p.useExisting) return TakeClass(p, extension, backupName);
  p.extensionSet = ReplaceDefault(extension, p.entry.progId, backupName) == ERROR_SUCCESS;
  return true;
}

void AddToOpenWithList(const Progress& p) {
  bool listed = p.entry.mode != mode::kFull || _wcsicmp(p.entry.verb.c_str(), L"open") == 0;
  if (p.entry.progId.empty() || !listed) return;
  ts::RegistryKey list;
  if (list.Create(HKEY_CLASSES_ROOT, p.entry.extension + L"\\OpenWithProgids", kAccess) == ERROR_SUCCESS) {
    list.SetText(p.entry.progId, L"");
  }
  LogWideConcat({p.entry.extension, L" Open With ", p.entry.command, L"\r\n"});
}

LONG CreateBelow(const ts::WText& path, ts::RegistryKey& key) { return key.Create(HKEY_CLASSES_ROOT, path, kAccess); }

void WriteClass(Progress& p, const ts::WText& backupName) {
  const AssociationEntry& e = p.entry;
  ts::RegistryKey progId;
  if (!IsClassKeyName(e.progId) || CreateBelow(e.progId, progId) != ERROR_SUCCESS) return;
  if (!p.useExisting && !e.description.empty()) ReplaceDefault(progId, e.description, backupName);
  ts::RegistryKey icon;
  if (!e.icon.empty() && CreateBelow(e.progId + L"\\DefaultIcon", icon) == ERROR_SUCCESS) {
    ReplaceDefault(icon, e.icon, backupName);
  }
  ts::RegistryKey shell;
  if (CreateBelow(e.progId + L"\\shell", shell) != ERROR_SUCCESS) return;
  // In a full association the verb becomes the default action.
  if (e.mode == mode::kFull) ReplaceDefault(shell, e.verb, backupName);
  ts::RegistryKey verb;
  if (!IsClassKeyName(e.verb) || CreateBelow(e.progId + L"\\shell\\" + e.verb, verb) != ERROR_SUCCESS) return;
  verb.SetText(L"", e.verbLabel);
  ts::RegistryKey command;
  if (CreateBelow(e.progId + L"\\shell\\" + e.verb + L"\\command", command) != ERROR_SUCCESS) return;
  p.commandSet = ReplaceDefault(command, e.command, backupName) == ERROR_SUCCESS;
}

void Record(const AssociationEntry& e) {
  RecordedAssociation line = {StoredText(e.extension), StoredText(e.progId), StoredText(e.verb), StoredText(e.icon)};
  RecordSectionLine(RecordSection::kAssociations, AssociationLine(line));
}

void Report(const Progress& p) {
  if (!p.commandSet) {
    AddToFailureSummary(ts::Format(L"Failed to associate file type:  \"%s\".\r\n\r\n", p.entry.extension.c_str()));
  } else if (p.extensionSet) {
    LogWideFormat(L"Associated %s with %s\r\n", p.entry.extension.c_str(), p.entry.command.c_str());
  }
}

bool Skipped() {
  return g_installer.script.associations.empty() ||
         (g_installer.portable && (g_installer.productFlags2 & flags2::kNoAssociationsWhenPortable));
}

}  // namespace

AssociationEntry ResolvedAssociation(const format::AssociationRecord& record) {
  AssociationEntry entry;
  entry.mode = record.mode;
  entry.extension = ts::WideFromUtf8(record.extension);
  entry.progId = ts::WideFromUtf8(record.progId);
  entry.description = ts::WideFromUtf8(record.description);
  entry.verb = ts::WideFromUtf8(record.verb);
  entry.verbLabel = ts::WideFromUtf8(record.verbLabel);
  entry.command = ts::WideFromUtf8(record.command);
  Expand(entry.command);
  entry.icon.assign(record.icon.begin(), record.icon.end());
  Expand(entry.icon);
  if (!entry.icon.empty()) entry.icon = BelowInstallFolder(entry.icon);
  return entry;
}

ts::WText BackupValueName(std::wstring_view productName) {
  ts::WText name;
  for (wchar_t c : ts::WText(productName) + L" Backup") {
    if (c != L'\\' && c != L'\r' && c != L'\n' && c != L'\t') name += c;
  }
  return name;
}

bool IsClassKeyName(std::wstring_view name) {
  if (name.empty()) return false;
  for (wchar_t c : name) {
    if (c == L'\\' || c < L' ') return false;
  }
  return true;
}

void AssociateFile(AssociationEntry entry, const ts::WText& backupName) {
  Progress p;
  p.entry = std::move(entry);
  p.useExisting = p.entry.progId.empty() || p.entry.progId[0] == kCreateMark;
  const ts::WText& extension = p.entry.extension;
  ts::RegistryKey key;
  bool createKey = !p.useExisting || !p.entry.progId.empty();
  LONG opened = !IsClassKeyName(extension)           ? ERROR_BAD_PATHNAME
                : createKey                          ? key.Create(HKEY_CLASSES_ROOT, extension, kAccess)
                                                     : key.Open(HKEY_CLASSES_ROOT, extension, kAccess);
  if (opened != ERROR_SUCCESS && p.useExisting) {
    LogWideFormat(L"Association failed/key inaccessible:  \"%s\".\r\n\r\n", extension.c_str());
    return;
  }
  if (opened == ERROR_SUCCESS) {
    if (!SetExtension(p, key, backupName)) {
      LogWideFormat(L"Association failed/no label:  \"%s\".\r\n\r\n", extension.c_str());
      return;
    }
    AddToOpenWithList(p);
  }
  WriteClass(p, backupName);
  Record(p.entry);
  Report(p);
}

void AssociateFiles() {
  if (Skipped()) return;
  ts::WText backupName = BackupValueName(ts::WideFromUtf8(g_installer.script.productName));
  for (const format::AssociationRecord& record : g_installer.script.associations) {
    if (record.extension.empty()) continue;
    AssociateFile(ResolvedAssociation(record), backupName);
  }
  ts::NotifyAssociationsChanged();
}

}  // namespace palisade
