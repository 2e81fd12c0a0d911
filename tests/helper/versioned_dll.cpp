// A DLL that only carries a version resource: the file already in place that
// a version-checked file of the archive meets.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
