#pragma once
// The pictures in the engine's bitmap resources. The engine's own are stored
// xz-compressed (drawn shapes and gradients shrink to a few per cent of
// their size); a picture the builder puts in place of one is a plain DIB, as
// a bitmap resource holds it. Either loads as LoadImage loads a bitmap
// resource with LR_CREATEDIBSECTION.
#include <windows.h>

namespace palisade {

// A DIB section of `width` by `height` pixels (0: the picture's own) in the
// picture's bit count and colours, the picture stretched onto it; null when
// the module has no such picture or it is damaged.
HBITMAP LoadPicture(HINSTANCE module, int resource, int width = 0, int height = 0);

}  // namespace palisade
