#pragma once
// Control-panel applets: registered the moment the file phase has written
// them (or has left them waiting for the next restart), by the keys that
// make the shell list them; both keys, when the installation made them,
// are recorded for the uninstaller.
#include "core/ts_text.h"

namespace palisade {

struct Applet {
  ts::WText path;
  ts::WText name;  // as stored; empty takes the file's name
  ts::WText arguments;
  ts::WText classId;
};

// The name shown: the stored one, else the file's name without its
// extension; empty when neither gives one.
ts::WText AppletName(const Applet& applet);
// A braced GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in hexadecimal
// digits of either case: the only text that may become part of a key path.
bool IsClassIdentifier(const ts::WText& text);
// The command that opens the applet: the path quoted, then the arguments.
ts::WText AppletCommand(const Applet& applet);

// Registers the applet; an applet without a usable name or class
// identifier is a damaged installer (corrupt-installer errors 78 and 79).
void RegisterApplet(const Applet& applet);

}  // namespace palisade
