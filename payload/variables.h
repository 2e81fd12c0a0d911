#pragma once
// Installation variables: words such as %InstallDir% in the script's paths
// and commands that stand for folders and facts of the target machine.
#include <span>

#include "core/ts_text.h"

namespace palisade {

// Replaces every installation variable in `text` (names in any case, each
// value computed now), then the environment's variables. A name that neither
// knows stays as written; the environment never supplies a name that the
// installation variables have. Never fails: a step that cannot be done
// leaves the text as far as it got.
void Expand(ts::WText& text);

struct InstallationVariable {
  const wchar_t* name;  // with its percent signs
  ts::WText (*value)();
};

// In the order in which Expand replaces them.
std::span<const InstallationVariable> InstallationVariables();

// A path that names a whole place (a drive letter or a network path) as it
// stands; any other below the installation folder.
ts::WText BelowInstallFolder(const ts::WText& path);

// The folder that holds the uninstall record: the installation folder,
// joined with the uninstall sub-folder when the script names one.
ts::WText UninstallFolder();

// The product's shared folder, in full and without a closing backslash. In
// a portable installation it is the portable shared folder joined to the
// installation folder (the installation folder itself when the script
// names none), so that the product travels with its drive; otherwise it is
// `SharedPath` with its variables expanded, below the common-files folder
// of the product's bitness when it is relative. `%SharedDir%`, the
// `SharedPath` value and the files of the shared kind all take it from here.
ts::WText SharedFolder();

}  // namespace palisade
