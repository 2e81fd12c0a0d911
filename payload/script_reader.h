#pragma once
// Reads the decoded setup script into the installer state and applies what
// its fields mean at once: the silent-mode override of the product flags,
// the automatic-mode request, the defaults of empty settings, the message
// table's line breaks and default language, and the installation folder rule.
#include <cstdint>
#include <span>

namespace palisade {

void ReadSetupScriptIntoState(std::span<const uint8_t> script, uint32_t productFlags2);

}  // namespace palisade
