#pragma once
// Opening documents, web addresses and programs as the desktop's user. The
// installer runs elevated, often as SYSTEM: whatever it opened itself would
// run with its rights, and a document's program or a browser is then a way
// for the user at the desktop to those rights. The desktop's own shell
// (Explorer) opens it instead, with the rights of the user it runs for.
#include "core/ts_text.h"

namespace ts {

// Hands `file` (a document, an address or a program) with its `arguments`
// to the desktop's shell, which opens it with its default verb in `folder`;
// either may be empty. False when no desktop shell answers (none runs for
// the session, as for a service's run, or under a Wine without Explorer)
// or the shell refused. Never opens anything with the installer's rights.
bool OpenAsDesktopUser(const WText& file, const WText& arguments, const WText& folder);

}  // namespace ts
