#pragma once
// Fonts: registered the moment the file phase has written them into the
// system's font folder.
#include "core/ts_text.h"

namespace palisade {

// Names the font in the system's font list (value `face`, data
// `fileName`) and adds it to the font table by its file name, which the
// system finds in its font folder. The file phase announces the change
// once, after its last file (`FileFollowUps::fontAdded`).
void RegisterFont(const ts::WText& face, const ts::WText& fileName);

}  // namespace palisade
