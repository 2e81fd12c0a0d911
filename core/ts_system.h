#pragma once
// Small wrappers of process-level Win32 facilities.
#include <windows.h>

#include "core/ts_text.h"

namespace ts {

// The system's own text for an error number, without its closing line break.
WText SystemErrorTextW(DWORD error);
Text SystemErrorText(DWORD error);

WText ModuleFileName(HMODULE module = nullptr);
// The file name of the running executable, without its folder.
WText ModuleBaseName();
WText SystemFolder();

// Keeps LoadLibrary from looking beside the executable or in the current
// folder, so that a DLL planted next to an installer in a downloads folder
// is never loaded. Call it before anything loads a library by name.
bool RestrictDllSearchToSystemFolder();
// Loads a system DLL from the system folder, by its full path.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Enables a privilege in the process token; false when it could not be had.
bool EnablePrivilege(const wchar_t* name);

}  // namespace ts
