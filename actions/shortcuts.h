#pragma once
// Desktop, start-menu, startup and root shortcuts and taskbar pins.

namespace palisade {

// Creates every shortcut of the shortcut list.
void CreateShortcuts();

}  // namespace palisade
