#pragma once

namespace palisade {

// Sends every unhandled processor exception of the process down the fatal
// path, so that a crash ends like any other fatal error.
void InstallCrashFilter();

}  // namespace palisade
