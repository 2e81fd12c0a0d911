#pragma once
// Requests to the product's notification addresses, made in the background.

namespace palisade {

// When the script has been read.
void SendStartNotification();
// When the work begins.
void SendBeginInstallNotification();
// When the product is registered.
void SendClosingNotification();

}  // namespace palisade
