#include "uninstall/undo_registrations.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "actions/registry.h"
#include "core/ts_registry.h"
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
    HKEY root;
    ts::WText subkey;
    if (!RemovableKey(path, root, subkey)) continue;
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

}  // namespace

void RemoveAssociations(const ts::Vector<RecordedAssociation>&) {}

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
  for (const ts::WText& line : RegistryEntryLines(mergeText)) {
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

void RemoveFirewallExceptions(const ts::Vector<ts::Text>&) {}

}  // namespace palisade
