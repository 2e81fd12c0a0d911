#pragma once

namespace palisade {

// Makes the installer's crash handling the process's unhandled-exception
// filter: the report goes into the log and before the user, who may send it.
void InstallCrashFilter();

}  // namespace palisade
