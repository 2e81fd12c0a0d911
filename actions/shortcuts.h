#pragma once
// Shortcuts: the script's, the file records' and the installer's own, on
// the desktop (or in the product's folder there), in the start-menu
// folder, in Startup and in one further folder; then the shortcut in the
// drive's root folder of a portable installation and the taskbar pin.
// Every link made is recorded for the uninstaller unless it is permanent.
#include <cstdint>
#include <functional>
#include <vector>

#include "core/ts_shortcut.h"
#include "format/setup_script.h"
#include "state/follow_ups.h"

namespace palisade {

void CreateShortcuts();

// The pure parts, for the tests.

ShortcutEntry ScriptShortcutEntry(const format::ShortcutRecord& record);

// What the installer's own entries are made of.
struct InstallerShortcutFacts {
  uint32_t productFlagsLow = 0;
  uint32_t productFlagsHigh = 0;
  uint32_t productFlags2 = 0;
  bool hasUninstaller = false;
  ts::WText uninstaller;
  ts::WText uninstallerArguments;
  ts::WText uninstallerName;  // message 33
  ts::WText uninstallerIcon;
  ts::WText uninstallFolder;
  ts::WText installFolder;
  ts::WText log;
  ts::WText logName;  // message 86
};

// The uninstaller's shortcuts, in the places the product flags name, and
// the log's, all marked installer-made.
std::vector<ShortcutEntry> InstallerShortcutEntries(const InstallerShortcutFacts& facts);

struct ShortcutContext {
  ts::WText installFolder;
  ts::WText uninstallFolder;
  std::function<void(ts::WText&)> expand;
  std::function<bool(const ts::WText&)> folderExists;
  ts::WText nameFormat;  // message 38, which takes the target's name
};

// The entry made ready for its links: variables expanded, the icon whole
// (a relative one lies in the uninstall data folder), a working folder that
// exists (else the installation folder), a relative target below the
// installation folder, and a name (the target's when it has none).
ShortcutEntry ResolvedShortcutEntry(ShortcutEntry entry, const ShortcutContext& context);

struct ShortcutFolders {
  ts::WText desktop;        // the user's or all users'
  ts::WText desktopFolder;  // the product's folder on the desktop; empty when it has none
  ts::WText programGroup;   // the product's start-menu folder; empty when none may be made
  ts::WText startup;
};

enum class LinkPlace { kDesktop, kDesktopFolder, kStartMenu, kStartup, kExtraFolder };

struct PlannedLink {
  LinkPlace place;
  ts::WText path;    // as the log shows it, without the link's extension
  ts::WText folder;  // recorded with the link; empty when the link's folder is not the product's
};

// Where a resolved entry's links go. A name with a backslash makes a
// folder of the product in the desktop, the desktop folder, the start menu
// or Startup; a further folder is always the product's.
std::vector<PlannedLink> PlannedLinks(const ShortcutEntry& entry, const ShortcutFolders& folders);

// The file of a link: ".LNK" appended unless the path ends in it.
ts::WText LinkFilePath(const ts::WText& path);

// What the link stores: the icon is the target's when the entry names
// none, the working folder has no closing backslash (but a drive keeps its
// root's), the window state becomes a show command.
ts::ShellLinkFields LinkFields(const ShortcutEntry& entry);

}  // namespace palisade
