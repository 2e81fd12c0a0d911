#include <gtest/gtest.h>

#include "actions/registry.h"

namespace palisade {
namespace {

using Kind = RegistryEntry::Kind;

// One value line of the [Registry2] text, assembled field by field.
const ts::WText kValueLine = ts::WText() +
                             L"\"\\HKLM\\Software\\Acme, Inc\"" +  // key path, quoted for its comma
                             L"," + L"\"Last \"\"run\"\"\"" +       // value name, its quotes doubled
                             L"," + L"3" +                         // type: binary
                             L"," + L" 01 ff 7A" +                 // data, blanks around it dropped
                             L"," + L"6";                          // action: set when missing

TEST(ParseRegistryEntry, ValueLineFieldByField) {
  RegistryEntry entry = ParseRegistryEntry(kValueLine);
  EXPECT_EQ(entry.kind, Kind::kValue);
  EXPECT_EQ(entry.keyPath, L"\\HKLM\\Software\\Acme, Inc");
  EXPECT_EQ(entry.valueName, L"Last \"run\"");
  EXPECT_EQ(entry.type, 3u);
  EXPECT_EQ(entry.data, L"01 ff 7A");
  EXPECT_EQ(entry.action, 6u);
}

struct LineCase {
  const wchar_t* line;
  Kind kind;
  const wchar_t* keyPath;
};

TEST(ParseRegistryEntry, KeyLinesAndIllegalFieldCounts) {
  const LineCase cases[] = {
      {L"  \\HKCU\\Software\\Acme  ", Kind::kKey, L"\\HKCU\\Software\\Acme"},
      {L"\\HKAU\\Software\\Caf\u00E9", Kind::kKey, L"\\HKAU\\Software\\Caf\u00E9"},
      {L"\\HKLM\\Software\\Acme,Name", Kind::kIllegal, L""},
      {L"\\HKLM\\Software\\Acme,Name,1", Kind::kIllegal, L""},
      {L"\\HKLM\\Software\\Acme,Name,1,data", Kind::kIllegal, L""},
      {L"\\HKLM\\Software\\Acme,Name,1,data,3,extra", Kind::kIllegal, L""},
  };
  for (const LineCase& c : cases) {
    RegistryEntry entry = ParseRegistryEntry(c.line);
    EXPECT_EQ(entry.kind, c.kind) << ts::Utf8FromWide(c.line);
    EXPECT_EQ(entry.keyPath, c.keyPath) << ts::Utf8FromWide(c.line);
  }
}

struct DataCase {
  uint32_t type;
  const wchar_t* data;
  bool converted;
  std::vector<uint8_t> bytes;
};

TEST(RegistryValueData, EachTypeStoredAsTheRegistryHoldsIt) {
  const DataCase cases[] = {
      {1, L"a\u00E9", true, {'a', 0, 0xE9, 0, 0, 0}},
      {2, L"%x%", true, {'%', 0, 'x', 0, '%', 0, 0, 0}},
      {3, L"01 ff 7A", true, {0x01, 0xFF, 0x7A}},
      {3, L"0 1", true, {0x01}},
      {3, L"", true, {}},
      {3, L"1 23", false, {}},
      {3, L"0g", false, {}},
      {4, L"16", true, {0x10, 0, 0, 0}},
      {4, L"4294967295", true, {0xFF, 0xFF, 0xFF, 0xFF}},
      {4, L"-1", true, {0xFF, 0xFF, 0xFF, 0xFF}},
      {11, L"4294967296", true, {0, 0, 0, 0, 1, 0, 0, 0}},
      {7, L"ignored", true, {}},
  };
  for (const DataCase& c : cases) {
    std::vector<uint8_t> bytes = {0xEE};
    EXPECT_EQ(RegistryValueData(c.type, c.data, bytes), c.converted) << c.type << " " << ts::Utf8FromWide(c.data);
    if (c.converted) EXPECT_EQ(bytes, c.bytes) << c.type << " " << ts::Utf8FromWide(c.data);
  }
}

TEST(RemovedAtUninstall, TheActionsThatSayNothingOfKeepingTheValue) {
  const bool removed[] = {false, false, true, true, false, true, false, false};
  for (uint32_t action = 0; action < 8; ++action) EXPECT_EQ(RemovedAtUninstall(action), removed[action]) << action;
}

TEST(KeyPathsOfUsers, OnlyTheAllUsersRootStandsForOtherPaths) {
  for (const wchar_t* path : {L"\\HKLM\\Software\\Acme", L"\\HKCU\\Software\\Acme", L"\\HKAUX\\Software"}) {
    EXPECT_EQ(KeyPathsOfUsers(path), std::vector<ts::WText>{path}) << ts::Utf8FromWide(path);
  }
  for (const ts::WText& path : KeyPathsOfUsers(L"\\hkau\\Software\\Acme")) {
    EXPECT_EQ(path.rfind(L"\\HKU\\", 0), 0u) << ts::Utf8FromWide(path);
    EXPECT_EQ(path.substr(path.size() - 14), L"\\Software\\Acme") << ts::Utf8FromWide(path);
  }
}

struct MergeCase {
  const char* name;
  const wchar_t* text;
  std::string bytes;
};

TEST(MergeFileBytes, AsTheRegistryEditorWritesThem) {
  const MergeCase cases[] = {
      {"ASCII", L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]", "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]"},
      {"version 4 in the ANSI code page", L"REGEDIT4\r\n\"A\"=\"\u00E9\"", "REGEDIT4\r\n\"A\"=\"\xE9\""},
      {"version 5 in UTF-16", L"W5\r\n\u00E9", std::string("\xFF\xFEW\0" "5\0\r\0\n\0\xE9\0", 12)},
  };
  for (const MergeCase& c : cases) EXPECT_EQ(MergeFileBytes(c.text), c.bytes) << c.name;
}

}  // namespace
}  // namespace palisade
