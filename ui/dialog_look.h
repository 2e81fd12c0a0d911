#pragma once
// What every window of the installer's own (pages and message boxes) has in
// common: the product's icons, centring on the main window, and buttons
// that fit their captions, with the button images when the script asks.
#include <windows.h>

#include <initializer_list>

namespace palisade {

// The bitmaps of the button images.
inline constexpr int kForwardImage = 4;   // OK, Yes, Next: a tick
inline constexpr int kBackwardImage = 5;  // Cancel, No: a no-entry sign
inline constexpr int kBrowseImage = 6;    // a folder with a magnifier
inline constexpr int kRetryImage = 7;     // two circling arrows

// The product's small and big icons, when the script puts them on dialogs.
void SetProductIcons(HWND window);

// Puts the centre of `window` on the centre of the main (background)
// window, or of the work area when there is none.
void CentreOnMainWindow(HWND window);

// When the script's button-images option is on: bitmap `image` on the
// button at 10 by 10 dialog units, and a space after its caption so that
// the two stand apart. Does nothing otherwise.
void PutButtonImage(HWND dialog, int button, int image);

// Widens each of the buttons (those the window has and shows) to its
// caption and image, and lays the row out again around its old centre with
// its old gaps; the window grows when the row no longer fits.
void FitButtonRow(HWND window, std::initializer_list<int> buttons);

}  // namespace palisade
