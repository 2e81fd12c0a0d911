#pragma once
// Exceptions in the Windows Firewall.

namespace palisade {

// Opens the ports and programs that the script lists.
void AddFirewallExceptions();

}  // namespace palisade
