#pragma once
// Snapshots of a scratch prefix: its registry, read from the hive files that
// Wine writes (system.reg, user.reg, userdef.reg), and its file tree below
// drive_c. Two snapshots are compared to show what a run left behind.
//
// Wine's own changes, which any run causes, are ignored; the list is short
// on purpose, so that a product's leftovers are never hidden:
// - the time stamps of keys ("[key] 1234" and "#time=" lines);
// - keys that Wine rewrites by itself when it starts or runs a console
//   program: the device classes, the network cards, the console settings,
//   its record of the host's fonts and of the host menu entries it made for
//   start-menu shortcuts, and the host's fonts in the system's font lists
//   (values naming a file on drive Z:);
// - the default path of the 64-bit common files folder, which Wine writes
//   into the system's CurrentVersion key when a 64-bit program first asks
//   for that folder;
// - empty containers of the system (the Windows Installer's bookkeeping
//   keys and cache folder, the shared-file counts, the control panel's name
//   space), which Windows always has and Wine makes on first use; what
//   they hold still counts.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace palisade::builder {

struct PrefixSnapshot {
  // "hive-file:key path" in lower case, to the key's value lines as stored.
  std::map<std::string, std::set<std::string>> keys;
  // Paths below drive_c, folders with a closing "/".
  std::set<std::string> files;
};

// The registry part of a snapshot, from the hive files' texts by file name.
PrefixSnapshot RegistrySnapshot(const std::map<std::string, std::string>& hiveTexts);

// Waits for the prefix's wineserver to end, which writes the hives, then
// reads them and the file tree.
PrefixSnapshot TakeSnapshot(const std::filesystem::path& prefix);

// One line per difference, "+" for what only `after` holds, "-" for what
// only `before` holds: "+key K", "+value K: V", "+file F" and so on.
std::vector<std::string> SnapshotChanges(const PrefixSnapshot& before, const PrefixSnapshot& after);

}  // namespace palisade::builder
