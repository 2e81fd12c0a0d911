#include "actions/notifications.h"

namespace palisade {

void SendStartNotification() {}
void SendBeginInstallNotification() {}
void SendClosingNotification() {}

}  // namespace palisade
