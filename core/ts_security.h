#pragma once
#include "core/ts_text.h"

namespace ts {

// Adds to the access list of a file or folder an entry that gives the
// well-known group Everyone full access, inherited by what the folder holds,
// keeping the entries already there. ERROR_SUCCESS or the system's error.
unsigned long GrantEveryoneFullAccess(const WText& path);

}  // namespace ts
