#include <gtest/gtest.h>

#include "core/ts_registry.h"
#include "core/ts_text.h"
#include "uninstall/registry_safety.h"

namespace palisade {
namespace {

struct KeyCase {
  const wchar_t* path;
  bool removable;
};

TEST(IsRemovableRegistryKey, ProductKeysOnly) {
  EXPECT_TRUE(IsRemovableRegistryKey(L"\\HKLM\\Software\\Acme"));
  EXPECT_TRUE(IsRemovableRegistryKey(L"\\HKCU\\Software\\Acme\\Notes"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM\\Software"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM\\SYSTEM\\CurrentControlSet"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM\\sam\\SAM"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKXX\\Software\\Acme"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM"));
}

TEST(IsRemovableRegistryKey, NeitherSharedKeysNorEmptyStepsNorAUsersWholeHive) {
  const KeyCase cases[] = {
      {L"\\HKLM\\Software\\Microsoft", false},
      {L"\\HKCU\\software\\classes", false},
      {L"\\HKLM\\Software\\Policies", false},
      {L"\\HKLM\\Software\\Wow6432Node", false},
      {L"\\HKLM\\Software\\Microsoft\\Acme", true},
      {L"\\HKLM\\Software\\Classes\\.acme", true},
      {L"\\HKLM\\Software\\\\Acme", false},
      {L"\\HKLM\\Software\\Acme\\", false},
      {L"\\HKU\\S-1-5-21-0-0-0-1000\\Software", false},
      {L"\\HKU\\S-1-5-21-0-0-0-1000\\Software\\Microsoft", false},
      {L"\\HKU\\S-1-5-21-0-0-0-1000\\Software\\Acme", true},
      {L"\\HKU\\.DEFAULT\\Software\\Acme", true},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(IsRemovableRegistryKey(c.path), c.removable) << ts::Utf8FromWide(c.path);
}

// A record names keys that the uninstaller deletes with all their
// sub-keys. The system's own keys, whichever hive, view or spelling
// reaches them, stay; the product's own keys and its entries in the lists
// where every product registers itself go.
TEST(IsRemovableRegistryKey, NeverTheSystemsOwnKeysInAnyHiveOrView) {
  const KeyCase cases[] = {
      {L"\\HKLM\\Software\\Microsoft\\Windows", false},
      {L"\\HKLM\\SOFTWARE\\microsoft\\windows\\CurrentVersion", false},
      {L"\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", false},
      {L"\\HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", false},
      {L"\\HKLM\\Software\\Wow6432Node\\Microsoft\\Windows", false},         // the 32-bit view
      {L"\\HKLM\\Software\\Wow6432Node", false},
      {L"\\HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", false},
      {L"\\HKU\\S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Windows NT", false},
      {L"\\HKLM\\Software\\Classes\\exefile", false},
      {L"\\HKLM\\Software\\Classes\\exefile\\shell\\open\\command", false},  // inside a system class
      {L"\\HKCR\\exefile\\shell", false},
      {L"\\HKCU\\Software\\Classes\\batfile", false},
      {L"\\HKU\\S-1-5-21-0-0-0-1000_Classes\\lnkfile\\shell", false},       // a user's classes hive
      {L"\\HKLM\\Software\\Classes\\Wow6432Node\\CLSID", false},
      {L"\\HKLM\\Software\\Classes\\CLSID", false},
      {L"\\HKLM\\Software\\Classes\\Interface", false},
      {L"\\HKLM\\Software\\Classes\\TypeLib\\{00020430-0000-0000-C000-000000000046}", false},
      {L"\\HKLM\\Software\\Classes\\AppID", false},
      {L"\\HKLM\\Software\\Classes\\.exe", false},
      {L"\\HKLM\\Software\\Classes\\*\\shellex", false},
      {L"\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths", false},
      {L"\\HKCC\\Software\\Acme", false},                                    // the hardware profile
      {L"\\HKCU\\Environment\\Acme", false},                                 // outside Software
      // The product's own keys and its entries in the shared lists.
      {L"\\HKLM\\Software\\Acme\\Notes", true},
      {L"\\HKLM\\Software\\Wow6432Node\\Acme", true},
      {L"\\HKU\\S-1-5-21-0-0-0-1000\\Software\\Acme", true},
      {L"\\HKLM\\Software\\Classes\\Acme.Note", true},
      {L"\\HKU\\S-1-5-21-0-0-0-1000_Classes\\Acme.Note\\shell", true},
      {L"\\HKLM\\Software\\Classes\\CLSID\\{7A3F2C10-5B4E-4D2A-9C61-2E8F0B1D4A77}", true},
      {L"\\HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\"
       L"{7A3F2C10-5B4E-4D2A-9C61-2E8F0B1D4A77}",
       true},
      {L"\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\acme.exe", true},
      {L"\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Notes", true},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(IsRemovableRegistryKey(c.path), c.removable) << ts::Utf8FromWide(c.path);
}

// The class that a program extension names on this machine belongs to the
// system too, whatever it is called.
TEST(IsRemovableRegistryKey, NeverTheClassThatAProgramExtensionNames) {
  ts::RegistryKey key;
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.scr", KEY_READ | KEY_SET_VALUE), ERROR_SUCCESS);
  ts::WText earlier = key.Text(L"");
  ASSERT_EQ(key.SetText(L"", L"Palisade.ScreenSaverTest"), ERROR_SUCCESS);
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKLM\\Software\\Classes\\Palisade.ScreenSaverTest"));
  EXPECT_FALSE(IsRemovableRegistryKey(L"\\HKCR\\palisade.screensavertest\\shell"));
  key.SetText(L"", earlier);
  EXPECT_TRUE(IsRemovableRegistryKey(L"\\HKLM\\Software\\Classes\\Palisade.ScreenSaverTest"));
}

// Values are deleted one by one: those of a product in the system's lists
// (a Run entry) go, but never one of a key that holds the system's keys.
TEST(IsRemovableRegistryValueKey, TheSystemsListsYesTheKeysAboveThemNo) {
  const KeyCase cases[] = {
      {L"\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
      {L"\\HKCU\\Software\\Acme", true},
      {L"\\HKCU\\Environment\\Acme", true},
      {L"\\HKLM\\Software\\Microsoft", false},
      {L"\\HKLM\\Software\\Microsoft\\Windows", false},
      {L"\\HKLM\\Software\\Classes", false},
      {L"\\HKLM\\Software", false},
      {L"\\HKLM\\SYSTEM\\CurrentControlSet\\Control", false},
      {L"\\HKU\\S-1-5-21-0-0-0-1000\\Software", false},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(IsRemovableRegistryValueKey(c.path), c.removable) << ts::Utf8FromWide(c.path);
  }
}

}  // namespace
}  // namespace palisade
