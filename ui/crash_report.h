#pragma once
// The crash dialog, which shows the report to the user, and the form that
// sends it on to the product's crash report address.
#include <vector>

#include "core/ts_http.h"
#include "core/ts_text.h"

namespace palisade {

// What the user entered in the crash dialog.
struct CrashReportInput {
  ts::Text email;
  ts::Text comments;
};

// The form fields of a report sent from `installerFile` (the executable's
// name without its folder), in the order the form takes them.
std::vector<ts::FormField> CrashReportForm(const ts::Text& report, const CrashReportInput& input,
                                           const ts::Text& sender, const ts::Text& installerFile);

// The report carries the user's e-mail address, comments and paths, so it
// goes only to an "https://" address; false for any other, "http://"
// included.
bool CrashReportAddressIsSecure(const ts::Text& address);

// Shows the report; true when the user chose to send it, with what they
// entered. "Inform Us" needs a sender and a secure address.
bool ShowCrashDialog(const ts::Text& report, CrashReportInput& input);
// Posts the report to the product's address, when it has a secure one.
void SendCrashReport(const ts::Text& report, const CrashReportInput& input);

}  // namespace palisade
