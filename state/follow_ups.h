#pragma once
// What the file phase hands on: the lists that the later steps of the run
// carry out (shared-file counts, COM servers, type libraries, drivers,
// fonts and shortcuts). Kept in the installer state, so
// plain data only; the file phase fills them (actions/file_follow_ups.h).
#include <cstdint>

#include "core/ts_core.h"

namespace palisade {

// One requested shortcut, as the shortcut step makes it.
struct ShortcutEntry {
  bool desktop = false;
  bool startMenu = false;
  bool startup = false;
  bool permanent = false;
  bool expandTarget = false;
  bool installerMade = false;
  uint8_t windowState = 0;  // 0 normal, 1 minimised, 2 maximised
  ts::WText target;
  ts::WText name;
  ts::WText icon;
  ts::WText arguments;
  ts::WText workingFolder;
  ts::WText extraFolder;
};

struct FileFollowUps {
  // Each a one-character marker and the path: a blank for a permanent file
  // and every system-shared file, none for a shared-folder file, "^" for a
  // COM server, U+00A9 for a type library.
  ts::Vector<ts::WText> sharedFiles;
  ts::Vector<ts::WText> comServers;
  ts::Vector<ts::WText> typeLibraries;
  ts::Vector<ts::WText> driverPackages;
  // `ProductFonts`: each non-permanent font as "\"face\" \"file\" ".
  ts::WText fontList;
  // A font went into the font table: the system is told once, after the
  // last file.
  bool fontAdded = false;
  ts::Vector<ShortcutEntry> shortcuts;
  // Every file written (not waiting for a restart), for the clean-up of
  // pending restart operations.
  ts::Vector<ts::WText> installedFiles;
};

}  // namespace palisade
