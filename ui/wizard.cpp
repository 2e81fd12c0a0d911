#include "ui/wizard.h"

namespace palisade {

bool ChooseLanguage() { return true; }
bool ShowGreeting() { return true; }
bool AskPassword() { return true; }
bool ShowLicensePage() { return true; }
bool ShowReadmePage() { return true; }
bool ChooseInstallFolder() { return true; }
bool ChooseStartMenuFolder() { return true; }
bool ConfirmUninstallFirst() { return true; }
bool TakeSupportOffer(const ts::WText&) { return false; }

}  // namespace palisade
