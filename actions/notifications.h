#pragma once
// Requests to the product's notification addresses, made in the background
// so that a slow or absent server never holds up the run.
#include "core/ts_text.h"
#include "state/installation_type.h"

namespace palisade {

// When the script has been read.
void SendStartNotification();
// When the work begins.
void SendBeginInstallNotification();
// At the end of the installation: the address for the kind of installation
// the existing-installation check found.
void SendClosingNotification();
// After a successful uninstallation, to the address the product registered.
void SendUninstallNotification();

// Which of the script's closing addresses an installation of this kind
// requests.
int ClosingNotifyIndex(InstallationType type);

// The address as it is requested: without surrounding blanks and line
// breaks, every "%version%" and operating-system placeholder replaced by its
// value, percent-encoded.
ts::Text PreparedNotifyAddress(const ts::Text& address);
// Every byte but letters, digits and "-_.~" as "%XX".
ts::Text PercentEncoded(const ts::Text& utf8);

// Lets the requests still queued finish, then ends the worker. The
// requests go out, so they need no firewall entry of the installer's own.
void StopNotifications();

}  // namespace palisade
