#include <gtest/gtest.h>

#include "actions/shortcuts.h"
#include "format/product_flags.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;
namespace flags2 = format::product_flags2;

InstallerShortcutFacts Facts(uint32_t flagsLow, uint32_t flagsHigh, uint32_t flags2, bool hasUninstaller = true) {
  InstallerShortcutFacts facts;
  facts.productFlagsLow = flagsLow;
  facts.productFlagsHigh = flagsHigh;
  facts.productFlags2 = flags2;
  facts.hasUninstaller = hasUninstaller;
  facts.uninstaller = L"C:\\P\\u\\Uninstall.exe";
  facts.uninstallerArguments = L"/u:\"Acme\"";
  facts.uninstallerName = L"Uninstall Acme";
  facts.uninstallerIcon = L"C:\\P\\u\\uninstall.ico";
  facts.uninstallFolder = L"C:\\P\\u";
  facts.installFolder = L"C:\\P";
  facts.log = L"C:\\P\\u\\Install.log";
  facts.logName = L"Installation log";
  return facts;
}

// Where each entry goes: "s" start menu, "d" desktop, else the further folder.
std::vector<ts::WText> Places(const std::vector<ShortcutEntry>& entries) {
  std::vector<ts::WText> places;
  for (const ShortcutEntry& e : entries) {
    EXPECT_TRUE(e.installerMade);
    places.push_back(ts::WText(e.startMenu ? L"s" : L"") + (e.desktop ? L"d" : L"") + e.extraFolder + L" " + e.target);
  }
  return places;
}

struct InstallerCase {
  const char* name;
  InstallerShortcutFacts facts;
  std::vector<ts::WText> places;
};

TEST(InstallerShortcutEntries, EachPlaceByItsFlag) {
  const ts::WText u = L"C:\\P\\u\\Uninstall.exe", log = L"C:\\P\\u\\Install.log";
  const InstallerCase cases[] = {
      {"none", Facts(0, 0, 0), {}},
      {"start menu", Facts(low::kUninstallerStartMenuShortcut, 0, 0), {L"s " + u}},
      {"desktop", Facts(0, high::kUninstallerDesktopShortcut, 0), {L"d " + u}},
      {"both in one entry", Facts(low::kUninstallerStartMenuShortcut, high::kUninstallerDesktopShortcut, 0),
       {L"sd " + u}},
      {"uninstall folder", Facts(0, high::kUninstallerShortcutInUninstallFolder, 0), {L"C:\\P\\u " + u}},
      {"installation folder", Facts(0, 0, flags2::kUninstallerShortcutInInstallFolder), {L"C:\\P " + u}},
      {"log", Facts(0, high::kLogShortcut, 0), {L"s " + log}},
      {"log without an uninstaller", Facts(low::kUninstallerStartMenuShortcut, high::kLogShortcut, 0, false),
       {L"s " + log}},
      {"all",
       Facts(low::kUninstallerStartMenuShortcut, high::kUninstallerShortcutInUninstallFolder | high::kLogShortcut,
             flags2::kUninstallerShortcutInInstallFolder),
       {L"s " + u, L"C:\\P\\u " + u, L"C:\\P " + u, L"s " + log}},
  };
  for (const InstallerCase& c : cases) EXPECT_EQ(Places(InstallerShortcutEntries(c.facts)), c.places) << c.name;
  std::vector<ShortcutEntry> entries =
      InstallerShortcutEntries(Facts(low::kUninstallerStartMenuShortcut, high::kLogShortcut, 0));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].arguments, L"/u:\"Acme\"");
  EXPECT_EQ(entries[0].name, L"Uninstall Acme");
  EXPECT_EQ(entries[0].icon, L"C:\\P\\u\\uninstall.ico");
  EXPECT_EQ(entries[1].name, L"Installation log");
  EXPECT_EQ(entries[1].icon, L"");
}

ShortcutContext Context(const wchar_t* nameFormat = L"Start %s") {
  ShortcutContext context;
  context.installFolder = L"C:\\P";
  context.uninstallFolder = L"C:\\P\\u";
  context.expand = [](ts::WText& text) {
    for (size_t at; (at = text.find(L"%I%")) != ts::WText::npos;) text.replace(at, 3, L"C:\\P");
  };
  context.folderExists = [](const ts::WText& folder) { return folder == L"C:\\P\\bin" || folder == L"C:\\"; };
  context.nameFormat = nameFormat;
  return context;
}

ShortcutEntry Entry(const wchar_t* target, const wchar_t* name, bool expandTarget = true) {
  ShortcutEntry entry;
  entry.target = target;
  entry.name = name;
  entry.expandTarget = expandTarget;
  return entry;
}

TEST(ResolvedShortcutEntry, NameFromTheTargetWhenEmpty) {
  EXPECT_EQ(ResolvedShortcutEntry(Entry(L"C:\\P\\notes.exe", L""), Context()).name, L"Start notes");
  EXPECT_EQ(ResolvedShortcutEntry(Entry(L"C:\\P\\notes.v2.exe", L""), Context(L"")).name, L"notes.v2");
  EXPECT_EQ(ResolvedShortcutEntry(Entry(L"C:\\P\\README", L""), Context(L"")).name, L"README");
  EXPECT_EQ(ResolvedShortcutEntry(Entry(L"C:\\P\\notes.exe", L"Tools\\Notes"), Context()).name, L"Tools\\Notes");
}

struct TargetCase {
  const wchar_t* target;
  bool expandTarget;
  const wchar_t* resolved;
};

TEST(ResolvedShortcutEntry, RelativeTargetsBelowTheInstallationFolder) {
  const TargetCase cases[] = {
      {L"notes.exe", true, L"C:\\P\\notes.exe"},
      {L"%I%\\bin\\notes.exe", true, L"C:\\P\\bin\\notes.exe"},
      {L"https://acme.example/", true, L"https://acme.example/"},
      {L"D:\\Tools\\x.exe", true, L"D:\\Tools\\x.exe"},
      {L"%I%\\left.exe", false, L"%I%\\left.exe"},
  };
  for (const TargetCase& c : cases) {
    EXPECT_EQ(ResolvedShortcutEntry(Entry(c.target, L"N", c.expandTarget), Context()).target, c.resolved)
        << ts::Utf8FromWide(c.target);
  }
}

struct FolderCase {
  const wchar_t* workingFolder;
  const wchar_t* icon;
  const wchar_t* resolvedFolder;
  const wchar_t* resolvedIcon;
};

TEST(ResolvedShortcutEntry, WorkingFolderThatExistsAndIconInTheUninstallFolder) {
  const FolderCase cases[] = {
      {L"", L"", L"C:\\P", L""},
      {L"%I%\\bin", L"notes.ico", L"C:\\P\\bin", L"C:\\P\\u\\notes.ico"},
      {L"C:\\Missing", L"%I%\\art\\n.ico", L"C:\\P", L"C:\\P\\art\\n.ico"},
      {L"C:\\", L"D:\\n.ico", L"C:\\", L"D:\\n.ico"},
  };
  for (const FolderCase& c : cases) {
    ShortcutEntry entry = Entry(L"x.exe", L"N");
    entry.workingFolder = c.workingFolder;
    entry.icon = c.icon;
    ShortcutEntry resolved = ResolvedShortcutEntry(entry, Context());
    EXPECT_EQ(resolved.workingFolder, c.resolvedFolder) << ts::Utf8FromWide(c.workingFolder);
    EXPECT_EQ(resolved.icon, c.resolvedIcon) << ts::Utf8FromWide(c.icon);
  }
  ShortcutEntry entry = Entry(L"x.exe", L"N");
  entry.arguments = L"--home %I%";
  entry.extraFolder = L"%I%\\links";
  ShortcutEntry resolved = ResolvedShortcutEntry(entry, Context());
  EXPECT_EQ(resolved.arguments, L"--home C:\\P");
  EXPECT_EQ(resolved.extraFolder, L"C:\\P\\links");
}

const ShortcutFolders kFolders = {L"D", L"", L"S\\Acme", L"U"};
const ShortcutFolders kWithDesktopFolder = {L"D", L"D\\Acme", L"S\\Acme", L"U"};
const ShortcutFolders kWithoutProgramGroup = {L"D", L"", L"", L"U"};

std::vector<ts::WText> Plan(const ShortcutEntry& entry, const ShortcutFolders& folders) {
  std::vector<ts::WText> plan;
  const wchar_t* kPlaceNames[] = {L"desktop", L"desktop folder", L"start menu", L"startup", L"folder"};
  for (const PlannedLink& link : PlannedLinks(entry, folders)) {
    plan.push_back(ts::WText(kPlaceNames[static_cast<int>(link.place)]) + L" " + link.path +
                   (link.folder.empty() ? L"" : L" ~" + link.folder));
  }
  return plan;
}

struct PlanCase {
  const char* name;
  bool desktop, startMenu, startup;
  const wchar_t* entryName;
  const wchar_t* extraFolder;
  const ShortcutFolders* folders;
  std::vector<ts::WText> plan;
};

TEST(PlannedLinks, EachPlaceAndTheFoldersRecordedWithIt) {
  const PlanCase cases[] = {
      {"desktop", true, false, false, L"N", L"", &kFolders, {L"desktop D\\N"}},
      {"desktop folder", true, false, false, L"N", L"", &kWithDesktopFolder, {L"desktop folder D\\Acme\\N"}},
      {"sub-folder on the desktop", true, false, false, L"T\\N", L"", &kFolders, {L"desktop D\\T\\N ~D\\T"}},
      {"start menu", false, true, false, L"N", L"", &kFolders, {L"start menu S\\Acme\\N"}},
      {"sub-folder in the start menu", false, true, false, L"T\\N", L"", &kFolders,
       {L"start menu S\\Acme\\T\\N ~S\\Acme\\T"}},
      {"sub-folder in Startup", false, false, true, L"T\\N", L"", &kFolders, {L"startup U\\T\\N ~U\\T"}},
      {"further folder is the product's", false, false, false, L"N", L"C:\\X", &kFolders, {L"folder C:\\X\\N ~C:\\X"}},
      {"every place in order", true, true, true, L"N", L"C:\\X", &kWithDesktopFolder,
       {L"desktop folder D\\Acme\\N", L"start menu S\\Acme\\N", L"startup U\\N", L"folder C:\\X\\N ~C:\\X"}},
      {"no start-menu folder to use", false, true, false, L"N", L"", &kWithoutProgramGroup, {}},
  };
  for (const PlanCase& c : cases) {
    ShortcutEntry entry = Entry(L"x.exe", c.entryName);
    entry.desktop = c.desktop;
    entry.startMenu = c.startMenu;
    entry.startup = c.startup;
    entry.extraFolder = c.extraFolder;
    EXPECT_EQ(Plan(entry, *c.folders), c.plan) << c.name;
  }
}

TEST(LinkFilePath, LinkExtensionOnce) {
  EXPECT_EQ(LinkFilePath(L"D\\Acme Notes"), L"D\\Acme Notes.LNK");
  EXPECT_EQ(LinkFilePath(L"D\\Acme.lnk"), L"D\\Acme.lnk");
  EXPECT_EQ(LinkFilePath(L"D\\Acme.Lnk"), L"D\\Acme.Lnk");
  EXPECT_EQ(LinkFilePath(L"D\\Acme.lnk.txt"), L"D\\Acme.lnk.txt.LNK");
}

struct FieldsCase {
  const wchar_t* workingFolder;
  uint8_t windowState;
  const wchar_t* storedFolder;
  int showCommand;
};

TEST(LinkFields, WorkingFolderAndShowCommand) {
  const FieldsCase cases[] = {
      {L"C:\\P\\bin\\\\", 0, L"C:\\P\\bin", 0},
      {L"C:\\", 1, L"C:\\", SW_SHOWMINNOACTIVE},
      {L"C:", 2, L"C:\\", SW_SHOWMAXIMIZED},
      {L"", 3, L"", 0},
  };
  for (const FieldsCase& c : cases) {
    ShortcutEntry entry = Entry(L"C:\\P\\x.exe", L"N");
    entry.workingFolder = c.workingFolder;
    entry.windowState = c.windowState;
    ts::ShellLinkFields fields = LinkFields(entry);
    EXPECT_EQ(fields.workingFolder, c.storedFolder) << ts::Utf8FromWide(c.workingFolder);
    EXPECT_EQ(fields.showCommand, c.showCommand) << +c.windowState;
    EXPECT_EQ(fields.icon, L"C:\\P\\x.exe") << "the target's icon when the entry names none";
  }
}

}  // namespace
}  // namespace palisade
