#pragma once
// Exceptions in the Windows Firewall: programs allowed through it and ports
// opened in it, as the script's [Firewall] lines name them, and their
// removal by the uninstaller from the lines the record kept.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/ts_text.h"

namespace palisade {

// One line: four fields separated by ";".
struct FirewallEntry {
  bool isPort = false;  // the first field is all decimal digits
  ts::WText program;    // the first field of a program entry, as written
  int port = 0;
  uint32_t protocols = 0;  // format::firewall_protocol bits
  ts::WText name;          // empty: the product's name
  bool keep = false;       // the fourth field holds a "1": the uninstaller leaves it
};

// False for a line of another field count.
bool ParseFirewallLine(std::wstring_view line, FirewallEntry& entry);

// A program entry's path with its variables expanded, below the
// installation folder when it is relative.
ts::WText FirewallProgramPath(const ts::WText& program);

// A program entry whose program lies in the installation folder: the only
// kind whose exception the uninstaller removes, since an edited record
// could name any other program's.
bool IsProductsProgram(const FirewallEntry& entry);

// The installation's step: adds every exception, logs each result and
// records those that the uninstaller removes. A line that is not four
// fields stops the run as a damaged installer before anything is added.
void AddFirewallExceptions();

// Removes the exception of each entry that is the product's, as far as the
// firewall allows: a program of the installation folder, or a port whose
// exception carries the entry's name (the product's name when it has
// none); when the firewall cannot be reached, nothing. Nothing is reported to the user.
void RemoveFirewallEntries(const std::vector<FirewallEntry>& entries);

}  // namespace palisade
