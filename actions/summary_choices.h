#pragma once
// Carries out what the user checked on the summary page, in this order:
// open the document, start the program, show the log, open the second
// document or address. Only after an installation without failures.

namespace palisade {

void CarryOutSummaryChoices();

}  // namespace palisade
