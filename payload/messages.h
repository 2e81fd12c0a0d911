#pragma once
#include "core/ts_text.h"

namespace palisade {

// Entry `number` of the chosen language's message table; empty when the
// table has no such text (always so before the setup script is read).
ts::WText MessageText(int number);

}  // namespace palisade

namespace palisade {

// Replaces "<product>", "<description>" and "<os>" by the product's name,
// its description and the system's name.
ts::WText SubstituteTags(const ts::WText& text);

// Message `number` with its tags substituted: the form every shown text takes.
ts::WText MessageWithTags(int number);

}  // namespace palisade
