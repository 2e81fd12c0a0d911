#pragma once
// Painting the background into a device context: the window's own, or a
// memory bitmap, where the tests look at the result pixel by pixel.
#include <windows.h>

#include <cstdint>

#include "ui/background_settings.h"
#include "ui/bitmap_file.h"

namespace palisade {

// The picture made ready once, as it is drawn on every paint.
struct PreparedPicture {
  DibBytes dib;  // empty: nothing to draw
  format::DibLayout layout;
  // A palette picture with a transparent entry: the mask has that entry
  // white and every other black, the holed copy has that entry black.
  DibBytes mask;
  DibBytes holed;
  // A 32-bit picture with an alpha channel: its pixels premultiplied by
  // their alpha, as blending expects them.
  DibBytes premultiplied;
};

// A DIB that cannot be drawn gives an empty preparation.
PreparedPicture PreparePicture(const DibBytes& dib, int32_t transparentIndex);

// What WM_ERASEBKGND paints: the colours, then the picture.
void PaintBackground(HDC dc, const RECT& client, const BackgroundSettings& settings, const PreparedPicture& picture);

// The vertical gradient in solid bands, for systems whose GradientFill is
// missing or fails.
void PaintGradientBands(HDC dc, const RECT& client, COLORREF top, COLORREF bottom);

// What WM_PAINT draws: the title, then the copyright.
void PaintBackgroundTexts(HDC dc, const RECT& client, const BackgroundSettings& settings);

}  // namespace palisade
