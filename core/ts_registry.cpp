#include "core/ts_registry.h"

#include <algorithm>

namespace ts {
namespace {

struct Root {
  const wchar_t* name;
  HKEY key;
};

const Root kRoots[] = {{L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKCU", HKEY_CURRENT_USER}, {L"HKCR", HKEY_CLASSES_ROOT},
                       {L"HKU", HKEY_USERS},          {L"HKCC", HKEY_CURRENT_CONFIG}, {L"HKDD", HKEY_DYN_DATA}};

}  // namespace

HKEY RootKeyOf(const WText& path, WText& rest) {
  size_t start = !path.empty() && path[0] == L'\\' ? 1 : 0;
  size_t slash = path.find(L'\\', start);
  WText root = path.substr(start, slash == WText::npos ? WText::npos : slash - start);
  for (const Root& candidate : kRoots) {
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, root.c_str(), -1, candidate.name, -1) != CSTR_EQUAL) continue;
    rest = slash == WText::npos ? WText() : path.substr(slash + 1);
    return candidate.key;
  }
  return nullptr;
}

HKEY RegistryPathRoot(const WText& path, WText& subkey) {
  if (path.empty() || path[0] != L'\\') return nullptr;
  return RootKeyOf(path, subkey);
}

bool ReadRegistryValuePath(const WText& path, WText& text) {
  WText rest;
  HKEY root = RootKeyOf(path, rest);
  size_t slash = rest.rfind(L'\\');
  if (!root || slash == WText::npos) return false;
  return ReadRegistryText(root, rest.substr(0, slash), rest.substr(slash + 1), text);
}

bool ReadRegistryText(HKEY root, const WText& key, const WText& value, WText& text) {
  constexpr DWORD kTextTypes = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
  DWORD size = 0;
  if (RegGetValueW(root, key.c_str(), value.c_str(), kTextTypes, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  WText buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(root, key.c_str(), value.c_str(), kTextTypes, nullptr, buffer.data(), &size) != ERROR_SUCCESS) {
    return false;
  }
  buffer.resize(wcslen(buffer.c_str()));
  text = buffer;
  return true;
}

LONG DeleteKeyTree(HKEY root, const WText& subkey, REGSAM view) {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key);
  if (error == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (error != ERROR_SUCCESS) return error;
  error = RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return error;
  error = RegDeleteKeyExW(root, subkey.c_str(), view, 0);
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

LONG DeleteEmptyKey(HKEY root, const WText& subkey, REGSAM view) {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, &key);
  if (error != ERROR_SUCCESS) return error;
  DWORD subkeys = 0, values = 0;
  error = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return error;
  if (subkeys || values) return ERROR_DIR_NOT_EMPTY;
  return RegDeleteKeyExW(root, subkey.c_str(), view, 0);
}

std::vector<WText> SubkeyNames(HKEY root, const WText& subkey) {
  std::vector<WText> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

RegistryKey::~RegistryKey() { Close(); }

void RegistryKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

LONG RegistryKey::Create(HKEY root, const WText& path, REGSAM access, bool* created) {
  Close();
  DWORD disposition = 0;
  LONG result =
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key_, &disposition);
  if (created) *created = result == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return result;
}

LONG RegistryKey::Open(HKEY root, const WText& path, REGSAM access) {
  Close();
  return RegOpenKeyExW(root, path.c_str(), 0, access, &key_);
}

LONG RegistryKey::SetText(const WText& name, const WText& text, DWORD type) {
  return RegSetValueExW(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG RegistryKey::SetNumber(const WText& name, DWORD number) {
  return RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

LONG RegistryKey::SetData(const WText& name, DWORD type, const std::vector<uint8_t>& data) {
  return RegSetValueExW(key_, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

bool RegistryKey::HasValue(const WText& name) const {
  return key_ && RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegistryKey::Contents(DWORD& subkeys, DWORD& values) const {
  return key_ && RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                                  nullptr, nullptr) == ERROR_SUCCESS;
}

LONG RegistryKey::DeleteValue(const WText& name) {
  LONG error = RegDeleteValueW(key_, name.c_str());
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

bool RegistryKey::ReadNumber(const WText& name, DWORD& number) const {
  DWORD size = sizeof number;
  return key_ && RegGetValueW(key_, nullptr, name.c_str(), RRF_RT_REG_DWORD, nullptr, &number, &size) == ERROR_SUCCESS;
}

bool RegistryKey::ReadText(const WText& name, WText& text) const {
  return key_ && ReadRegistryText(key_, L"", name, text);
}

WText RegistryKey::Text(const WText& name) const {
  WText text;
  ReadText(name, text);
  return text;
}

bool RegistryKey::ReadTexts(const WText& name, std::vector<WText>& texts) const {
  DWORD size = 0;
  if (!key_ || RegGetValueW(key_, nullptr, name.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  WText buffer(size / sizeof(wchar_t) + 2, L'\0');
  size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegGetValueW(key_, nullptr, name.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, buffer.data(), &size) != ERROR_SUCCESS) {
    return false;
  }
  buffer.resize(size / sizeof(wchar_t));
  // Each text ends with a NUL and the list with one more; empty texts may
  // stand inside the list (the system's pending deletions have them).
  if (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
  texts.clear();
  for (size_t start = 0; start < buffer.size();) {
    size_t end = std::min(buffer.find(L'\0', start), buffer.size());
    texts.push_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

LONG RegistryKey::SetTexts(const WText& name, const std::vector<WText>& texts) {
  WText data;
  for (const WText& text : texts) data += text + L'\0';
  data += L'\0';
  return RegSetValueExW(key_, name.c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

}  // namespace ts
