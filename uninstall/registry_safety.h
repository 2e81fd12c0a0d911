#pragma once
// What the uninstaller may remove from the registry. The uninstall record
// lies in the installation folder, which users can often write, and the
// uninstaller runs with administrator rights: whatever a record says, it
// never removes the machine's configuration, a key that every program
// shares, or what Windows itself needs to start programs and find classes.
#include "core/ts_text.h"

namespace palisade {

// A key whose values an uninstaller may delete: at least two steps below
// its root (below a user's hive in HKEY_USERS), without an empty step, not
// in the hives that hold the machine's configuration, and not a key that
// holds one of the system's own keys (Software\Microsoft, Software\Classes
// and the like).
bool IsRemovableRegistryValueKey(const ts::WText& path);

// A key that an uninstaller may delete with its sub-keys: a key whose
// values it may delete, below Software, and neither one of the system's own
// keys (Software\Microsoft\Windows and Windows NT, the class, interface,
// type library and application lists, the classes of programs, links and
// scripts and the classes that their extensions name) nor a key inside
// one, apart from the entries of the lists where every product registers
// itself (App Paths, Uninstall, the shell's name spaces, a class
// identifier below CLSID). The same in the machine's hive, in every user's
// and in the classes root, in either registry view.
bool IsRemovableRegistryKey(const ts::WText& path);

}  // namespace palisade
