#pragma once
#include <initializer_list>

#include "core/ts_text.h"

namespace palisade {

// Entry `number` of the chosen language's message table; empty when the
// table has no such text (always so before the setup script is read).
ts::WText MessageText(int number);

// Replaces "<product>", "<description>" and "<os>", in any letter case, by
// the product's name, its description and the system's name.
ts::WText SubstituteTags(const ts::WText& text);

// Replaces only "<os>", in any letter case, by the system's name in the form
// that messages use ("Windows 7"; "WINE 8.0 reporting as Windows 7" under
// WINE).
ts::WText SubstituteSystemName(const ts::WText& text);

// Message `number` with its tags substituted: the form every shown text takes.
ts::WText MessageWithTags(int number);

// Fills the printf-style conversions of a message-table text ("%s", "%d",
// "%5u" ...) in order with the given texts. The table comes from the
// payload, so its conversions are never handed to a real printf: one with no
// value left stays as written, and "%%" becomes "%".
ts::WText FillConversions(const ts::WText& text, std::initializer_list<ts::WText> values);

}  // namespace palisade
