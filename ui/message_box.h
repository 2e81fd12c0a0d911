#pragma once
// Notices and questions put to the user. Boxes are owned by the open wizard
// page or the background window, centred on the installer's main window,
// and their buttons carry the chosen language's captions. In silent mode
// nothing is shown: a notice counts as acknowledged and a question as
// answered yes.
#include <windows.h>

#include "core/ts_text.h"

namespace palisade {

// Returns the identifier of the button pressed (IDOK in silent mode). An
// empty caption means the installer's default caption; no owner means the
// open page or, without one, the background window.
int ShowMessage(const ts::WText& text, const ts::WText& caption, UINT style, HWND owner = nullptr);

// Yes and No with the question icon; true for Yes.
bool Ask(const ts::WText& text, const ts::WText& caption);

// Ends the run because the user refused to go on: says so unless questions
// are suppressed, then leaves through the orderly exit with code 1.
[[noreturn]] void Abort();

}  // namespace palisade
