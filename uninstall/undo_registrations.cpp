#include "uninstall/undo_registrations.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "actions/associations.h"
#include "actions/file_destination.h"
#include "actions/firewall.h"
#include "actions/registry.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"
#include "uninstall/registry_safety.h"
#include "uninstall/removal_safety.h"

namespace palisade {
namespace {

constexpr wchar_t kPinnedFolderMark[] = L"\\User Pinned\\";
constexpr int kMaxProductKeySteps = 20;

REGSAM View(bool product64) { return product64 ? KEY_WOW64_64KEY : 0; }

// A key path of the uninstaller's notation that removal safety allows.
bool RemovableKey(const ts::WText& path, HKEY& root, ts::WText& subkey) {
  root = ts::RegistryPathRoot(path, subkey);
  return root && IsRemovableRegistryKey(path);
}

ts::WText Parent(const ts::WText& path) { return path.substr(0, path.rfind(L'\\')); }

// The key with its sub-keys, then each parent that is left empty, until
// one stays or `steps` keys have been taken.
void RemoveKeyAndEmptyParents(ts::WText path, REGSAM view) {
  HKEY root;
  ts::WText subkey;
  if (!RemovableKey(path, root, subkey) || ts::DeleteKeyTree(root, subkey, view) != ERROR_SUCCESS) return;
  for (int step = 1; step < kMaxProductKeySteps; ++step) {
    path = Parent(path);
    if (!RemovableKey(path, root, subkey) || ts::DeleteEmptyKey(root, subkey, view) != ERROR_SUCCESS) return;
  }
}

void RemoveValue(const RegistryEntry& entry, REGSAM view) {
  for (const ts::WText& path : KeyPathsOfUsers(entry.keyPath)) {
    ts::WText subkey;
    HKEY root = ts::RegistryPathRoot(path, subkey);
    if (!root || !IsRemovableRegistryValueKey(path)) continue;
    ts::RegistryKey key;
    if (key.Open(root, subkey, KEY_SET_VALUE | view) == ERROR_SUCCESS) key.DeleteValue(entry.valueName);
  }
}

void RemoveKeyIfEmpty(const ts::WText& keyPath, REGSAM view) {
  for (const ts::WText& path : KeyPathsOfUsers(keyPath)) {
    HKEY root;
    ts::WText subkey;
    if (RemovableKey(path, root, subkey)) ts::DeleteEmptyKey(root, subkey, view);
  }
}

constexpr REGSAM kClassAccess = KEY_READ | KEY_WRITE;

// Puts back the default value that the installation replaced and drops the
// backup; true when there was one.
bool RestoreDefault(ts::RegistryKey& key, const ts::WText& backupName) {
  ts::WText earlier;
  if (!key.ReadText(backupName, earlier) || earlier.empty()) return false;
  if (key.SetText(L"", earlier) != ERROR_SUCCESS) return false;
  key.DeleteValue(backupName);
  return true;
}

bool SameText(const ts::WText& a, const ts::WText& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// The default value of a key below the classes root: put back, or, without
// a backup, deleted when it is the installation's (`ours`; empty: whatever
// it holds, for a value that the record does not keep). True when put back.
bool RestoreOrDeleteDefault(const ts::WText& path, const ts::WText& ours, const ts::WText& backupName) {
  ts::RegistryKey key;
  if (key.Open(HKEY_CLASSES_ROOT, path, kClassAccess) != ERROR_SUCCESS) return false;
  if (RestoreDefault(key, backupName)) return true;
  if (ours.empty() || SameText(key.Text(L""), ours)) key.DeleteValue(L"");
  return false;
}

// A key whose only content may be its default value.
bool HoldsAtMostDefault(const ts::RegistryKey& key) {
  DWORD subkeys = 0, values = 0;
  return key.Contents(subkeys, values) && subkeys == 0 && (values == 0 || (values == 1 && key.HasValue(L"")));
}

// The extension's own value and its open-with entry; true when its earlier
// default value was put back.
bool RestoreExtension(const ts::WText& extension, const ts::WText& progId, const ts::WText& verb,
                      const ts::WText& backupName) {
  ts::RegistryKey key;
  if (key.Open(HKEY_CLASSES_ROOT, extension, kClassAccess) != ERROR_SUCCESS) return false;
  bool restored = RestoreDefault(key, backupName);
  if (SameText(verb, L"open")) {
    ts::WText list = extension + L"\\OpenWithProgids";
    ts::RegistryKey listKey;
    if (listKey.Open(HKEY_CLASSES_ROOT, list, kClassAccess) == ERROR_SUCCESS) listKey.DeleteValue(progId);
    ts::DeleteEmptyKey(HKEY_CLASSES_ROOT, list, 0);
  }
  return restored;
}

// The class's icon, default verb and command; true when the class is gone
// because nothing of it was there before the installation.
bool RemoveClass(const ts::WText& progId, const ts::WText& verb, const ts::WText& icon, const ts::WText& backupName) {
  ts::RegistryKey key;
  if (key.Open(HKEY_CLASSES_ROOT, progId, kClassAccess) != ERROR_SUCCESS) return false;
  bool restored = RestoreDefault(key, backupName);
  if (!icon.empty()) {
    ts::WText iconKey = progId + L"\\DefaultIcon";
    if (!RestoreOrDeleteDefault(iconKey, icon, backupName)) ts::DeleteEmptyKey(HKEY_CLASSES_ROOT, iconKey, 0);
  }
  ts::WText shell = progId + L"\\shell";
  RestoreOrDeleteDefault(shell, verb, backupName);
  ts::WText verbKey = shell + L"\\" + verb;
  if (!RestoreOrDeleteDefault(verbKey + L"\\command", L"", backupName)) {
    ts::DeleteEmptyKey(HKEY_CLASSES_ROOT, verbKey + L"\\command", 0);
    RestoreOrDeleteDefault(verbKey, L"", backupName);
    ts::DeleteEmptyKey(HKEY_CLASSES_ROOT, verbKey, 0);
  }
  ts::DeleteEmptyKey(HKEY_CLASSES_ROOT, shell, 0);
  if (restored || !HoldsAtMostDefault(key)) return false;
  key.DeleteValue(L"");
  return ts::DeleteEmptyKey(HKEY_CLASSES_ROOT, progId, 0) == ERROR_SUCCESS;
}

// The extension's key goes with the class only when nothing else is left
// in it: its default value then named the class that is gone.
void RemoveExtensionOfClass(const ts::WText& extension, const ts::WText& progId) {
  ts::RegistryKey key;
  if (key.Open(HKEY_CLASSES_ROOT, extension, kClassAccess) != ERROR_SUCCESS) return;
  if (SameText(key.Text(L""), progId)) key.DeleteValue(L"");
  ts::DeleteEmptyKey(HKEY_CLASSES_ROOT, extension, 0);
}

// The program that a command line starts: the text in its opening quotes,
// or, without them, up to the first blank after the folder.
bool CommandRunsFromFolder(const ts::WText& command, const ts::WText& folder) {
  if (!command.empty() && command[0] == L'"') {
    size_t close = command.find(L'"', 1);
    return close != ts::WText::npos && IsPathInFolder(command.substr(1, close - 1), folder);
  }
  return IsPathInFolder(command.substr(0, command.find(L' ', folder.size())), folder);
}

// The record may have been edited by anyone who can write the installation
// folder: a class is the product's only while its command runs a program
// of the installation folder, or keeps the backup of the command that the
// product replaced. Anything else (exefile and its like) is left alone.
bool IsProductsClass(const ts::WText& progId, const ts::WText& verb, const ts::WText& backupName,
                     const ts::WText& installFolder) {
  ts::RegistryKey command;
  if (command.Open(HKEY_CLASSES_ROOT, progId + L"\\shell\\" + verb + L"\\command", KEY_READ) != ERROR_SUCCESS) {
    return false;
  }
  return command.HasValue(backupName) || CommandRunsFromFolder(command.Text(L""), installFolder);
}

void RemoveAssociation(const RecordedAssociation& recorded, const ts::WText& backupName,
                       const ts::WText& installFolder) {
  ts::WText extension = WideFromStoredText(recorded.extension);
  ts::WText progId = WideFromStoredText(recorded.progId);
  ts::WText verb = WideFromStoredText(recorded.verb);
  if (!IsClassKeyName(extension) || !IsClassKeyName(progId) || !IsClassKeyName(verb)) return;
  if (!IsProductsClass(progId, verb, backupName, installFolder)) return;
  bool extensionRestored = RestoreExtension(extension, progId, verb, backupName);
  bool classRemoved = RemoveClass(progId, verb, WideFromStoredText(recorded.icon), backupName);
  if (classRemoved && !extensionRestored) RemoveExtensionOfClass(extension, progId);
}

}  // namespace

void RemoveAssociations(const ts::Vector<RecordedAssociation>& associations, const ts::WText& productName,
                        const ts::WText& installFolder) {
  ts::WText backupName = BackupValueName(productName);
  for (const RecordedAssociation& association : associations) {
    RemoveAssociation(association, backupName, installFolder);
  }
  ts::NotifyAssociationsChanged();
}


void UnpinFromTaskbar(const ts::Vector<ts::Text>& entries) {
  for (const ts::Text& stored : entries) {
    RecordedEntry entry = ParseEntry(stored);
    bool pin = entry.kind == RemovalKind::kFile && entry.text.find(kPinnedFolderMark) != ts::WText::npos;
    if (pin && IsPlainLocalPath(entry.text)) {
      ShellExecuteW(nullptr, L"taskbarunpin", entry.text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
  }
}

void RemoveProductKey(const ts::WText& productRegistry, bool product64) {
  ts::WText subkey = L"Software\\" + productRegistry;
  RemoveKeyAndEmptyParents(L"\\HKLM\\" + subkey, View(product64));
  for (const ts::WText& hive : LoadedUserHives()) RemoveKeyAndEmptyParents(L"\\HKU\\" + hive + L"\\" + subkey, View(product64));
}

void RemoveMergeLines(const ts::WText& mergeText, bool product64) {
  std::vector<ts::WText> keys;
  for (const ts::WText& line : ts::NonBlankLines(mergeText)) {
    RegistryEntry entry = ParseRegistryEntry(line);
    if (entry.kind == RegistryEntry::Kind::kValue && RemovedAtUninstall(entry.action)) {
      RemoveValue(entry, View(product64));
    }
    if (entry.kind == RegistryEntry::Kind::kKey) keys.push_back(entry.keyPath);
  }
  // A key is empty only once the keys below it are gone.
  std::stable_sort(keys.begin(), keys.end(), [](const ts::WText& a, const ts::WText& b) { return a.size() > b.size(); });
  for (const ts::WText& key : keys) RemoveKeyIfEmpty(key, View(product64));
}

void RemoveFirewallExceptions(const ts::Vector<ts::Text>& firewall) {
  std::vector<FirewallEntry> entries;
  for (const ts::Text& line : firewall) {
    FirewallEntry entry;
    if (ParseFirewallLine(WideFromStoredText(line), entry)) entries.push_back(entry);
  }
  RemoveFirewallEntries(entries);
}

}  // namespace palisade
