#pragma once
// Registry access in the notation the script uses: a root ("HKLM", "HKCU",
// "HKCR", "HKU", "HKCC", "HKDD") and a path.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/ts_text.h"

namespace ts {

// The root key named at the start of `path` (a leading backslash is
// allowed); `rest` receives what follows the root and its backslash.
// Null for an unknown root.
HKEY RootKeyOf(const WText& path, WText& rest);

// The root of a key path written "\ROOT\sub-key", or "\ROOT" for the root
// itself, with `subkey` set to what follows; null for any other text.
HKEY RegistryPathRoot(const WText& path, WText& subkey);

// Reads a text value named by "ROOT\key\...\value"; false when the root is
// unknown, the value is missing or it is not a text.
bool ReadRegistryValuePath(const WText& path, WText& text);

// Reads a text value as stored (an expandable one is not expanded); false
// when the value is missing or it is not a text.
bool ReadRegistryText(HKEY root, const WText& key, const WText& value, WText& text);

// Deletes the key with all its sub-keys, in the view given (0 or a
// KEY_WOW64_ flag). A key that is not there counts as deleted.
LONG DeleteKeyTree(HKEY root, const WText& subkey, REGSAM view);
// Deletes the key only when it holds neither values nor sub-keys;
// ERROR_DIR_NOT_EMPTY otherwise.
LONG DeleteEmptyKey(HKEY root, const WText& subkey, REGSAM view);

// The names of a key's sub-keys; none when it cannot be opened.
std::vector<WText> SubkeyNames(HKEY root, const WText& subkey);

// An open registry key, closed with the object.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // The system's error number, ERROR_SUCCESS when the key is open.
  // `created`, when given, tells whether the key is new rather than opened.
  LONG Create(HKEY root, const WText& path, REGSAM access, bool* created = nullptr);
  LONG Open(HKEY root, const WText& path, REGSAM access);

  LONG SetText(const WText& name, const WText& text, DWORD type = REG_SZ);
  LONG SetNumber(const WText& name, DWORD number);
  LONG SetData(const WText& name, DWORD type, const std::vector<uint8_t>& data);
  bool HasValue(const WText& name) const;
  // How many sub-keys and values the key holds; false when it cannot tell.
  bool Contents(DWORD& subkeys, DWORD& values) const;
  // Missing already counts as deleted.
  LONG DeleteValue(const WText& name);
  bool ReadText(const WText& name, WText& text) const;
  // The text, or empty when the value is missing or not a text.
  WText Text(const WText& name) const;
  bool ReadNumber(const WText& name, DWORD& number) const;
  // A multi-string value as its list of texts; false when it is missing or
  // of another type.
  bool ReadTexts(const WText& name, std::vector<WText>& texts) const;
  LONG SetTexts(const WText& name, const std::vector<WText>& texts);

 private:
  void Close();

  HKEY key_ = nullptr;
};

}  // namespace ts
