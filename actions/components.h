#pragma once
// Component registration: what the file phase collected (COM servers, type
// libraries, driver packages) is registered together after it, once the
// shared-file counts are updated. Fonts, packages and applets are handled
// by the file phase the moment their file is written (fonts.h,
// msi_packages.h, applets.h).
#include "core/ts_text.h"

namespace palisade {

// COM servers, then type libraries, then driver packages.
void RegisterComponents();

// The progress page's status while `what` is being registered: the
// message-table text "Registering <file>..." with `what` in it.
void ShowRegistrationStatus(const ts::WText& what);

}  // namespace palisade
