#pragma once

namespace palisade {

// Runs an installation from the payload to the orderly exit; never returns.
[[noreturn]] void RunInstallDriver();

}  // namespace palisade
