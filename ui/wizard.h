#pragma once
// Wizard pages. Each returns false when the user cancels or refuses, which ends the run.

#include "core/ts_text.h"

namespace palisade {

// The language page; sets the chosen language.
bool ChooseLanguage();
// The greeting: message 1 under the caption of message 65.
bool ShowGreeting();
// The password page, for a script that sets a password. A wrong password
// keeps the page open.
bool AskPassword();
// The licence pages: the language's own text, then each licence text of
// the script; false as soon as one is declined.
bool ShowLicensePage();
// The readme pages, in the same way.
bool ShowReadmePage();
// The folder page; sets the installation folder.
bool ChooseInstallFolder();
// The start-menu page; sets the start-menu folder.
bool ChooseStartMenuFolder();
// The uninstaller's support offer for the address; true when the user takes
// it (the uninstallation then stops with nothing removed).
bool TakeSupportOffer(const ts::WText& address);
// The must-uninstall confirmation of an earlier installation; true when the
// user chose to uninstall it.
bool ConfirmMustUninstall();

}  // namespace palisade
