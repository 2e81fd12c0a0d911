#pragma once
// The large borderless window behind the wizard: a colour or a vertical
// gradient, a picture, the title and the copyright line. It is the run's
// main window (g_installer.backgroundWindow): it carries the taskbar button
// and owns the pages and message boxes, which are centred on it.
#include <windows.h>

#include "core/ts_text.h"
#include "ui/background_settings.h"

namespace palisade {

// The window with these settings, shown and brought to the front; null when
// it cannot be made, and the run goes on without it. A second call replaces
// the settings that the first window paints with.
HWND CreateBackgroundWindow(const BackgroundSettings& settings, HWND owner, bool minimised);

// The installer's window, from the script just read, unless the run is
// silent or the product wants none. Its settings are kept either way: the
// product's registration stores them for the uninstaller.
void ShowInstallerBackground();

// The uninstaller's window, from the product's uninstall entry and the
// files in its uninstall folder, unless the run is silent or the product
// wants none.
void ShowUninstallerBackground(const ts::WText& uninstallKeyPath, const ts::WText& uninstallFolder);

// After a change of language: the title follows the new language unless the
// script fixes it, and the window paints itself again.
void RepaintBackgroundWindow();

// The title that the background shows, or would show without a window.
const ts::WText& BackgroundTitle();

// The product's icons of this run, shown by the main window and, when the
// script asks, by the pages and message boxes: the setup executable's own
// icon, or the uninstaller's "uninstall.ico".
const ProductIcons& RunIcons();

}  // namespace palisade
