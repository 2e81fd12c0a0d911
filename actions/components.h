#pragma once
// Component registration: what the file phase collected (COM servers, type
// libraries, driver packages) is registered together after it, once the
// shared-file counts are updated. Fonts, packages and applets are handled
// by the file phase the moment their file is written (fonts.h,
// msi_packages.h, applets.h).
#include "core/ts_text.h"

namespace palisade {

// COM servers, then type libraries, then driver packages.
void RegisterComponents();

// The progress page's status while `what` is being registered: the
// message-table text "Registering <file>..." with `what` in it.
void ShowRegistrationStatus(const ts::WText& what);

// Runs `call` (a step into the component's own code) on a thread of its own
// with COM ready; a crash there ends only the step: "CRASHED!" is logged,
// `crashText` and the component's path go to the failure summary, and the
// result is false. No window may be touched inside `call`.
bool SurvivesComponentCode(void (*call)(void* context), void* context, const wchar_t* crashText,
                           const ts::WText& path);

template <typename Call>
bool SurvivesComponentCode(Call& call, const wchar_t* crashText, const ts::WText& path) {
  return SurvivesComponentCode([](void* context) { (*static_cast<Call*>(context))(); }, &call, crashText, path);
}

}  // namespace palisade
