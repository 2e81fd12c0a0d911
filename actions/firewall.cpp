#include "actions/firewall.h"

namespace palisade {

void AddFirewallExceptions() {}

}  // namespace palisade
