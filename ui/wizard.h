#pragma once
// Wizard pages. Each returns false when the user cancels or refuses, which ends the run.

#include "core/ts_text.h"

namespace palisade {

// The language page; sets the chosen language.
bool ChooseLanguage();
// The greeting: message 1 under the caption of message 65.
bool ShowGreeting();
// The password page, for a script that sets a password.
bool AskPassword();
// The license text of the chosen language, to be accepted.
bool ShowLicensePage();
// The readme text of the chosen language.
bool ShowReadmePage();
// The folder page; sets the installation folder.
bool ChooseInstallFolder();
// The start-menu page; sets the start-menu folder.
bool ChooseStartMenuFolder();
// The must-uninstall page: true when the user chooses to run the earlier
// installation's uninstaller first.
bool ConfirmUninstallFirst();
// The uninstaller's support offer for the address; true when the user takes
// it (the uninstallation then stops with nothing removed).
bool TakeSupportOffer(const ts::WText& address);

}  // namespace palisade
