#pragma once
// The summary page at the end of an installation: up to four options as
// check boxes (start the program, open the document, open the second
// document or address, view the log). Closing it with OK stores the checked
// ones in g_installer.summaryChoices; the close box stores none.

namespace palisade {

void ShowSummaryPage();

}  // namespace palisade
