#pragma once
// Driver packages: each INF file that the file phase installed is copied
// into the system's driver store; the name the system gives the copy goes
// to the record's "[INF]" section for the uninstaller.
#include <windows.h>

#include "core/ts_text.h"
#include "core/ts_vector.h"

namespace palisade {

// The error a package without a signature catalogue gets.
inline constexpr DWORD kUnsignedDriverError = 0xE000022F;

void InstallDriverPackages(const ts::Vector<ts::WText>& packages);

// The failure line of a package: the code in eight hexadecimal digits and
// the system's text, or for an unsigned package that the system has no
// text for, the reason in words.
ts::WText DriverFailureText(DWORD error, const ts::WText& systemText);

// The system's name of a driver package copy: "oem" and a decimal number
// and ".inf", in any letter case, without a folder.
bool IsOemInfName(const ts::WText& name);

}  // namespace palisade
