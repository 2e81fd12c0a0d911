// Stands in for a DLL that an attacker drops beside an installer: when it is
// loaded it leaves a mark on standard error and a file beside itself.
#include <windows.h>

namespace {

void LeaveMark(HMODULE self) {
  wchar_t path[MAX_PATH + 8];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  lstrcpyW(path + length, L".loaded");
  HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  if (error && error != INVALID_HANDLE_VALUE) WriteFile(error, "planted DLL loaded\r\n", 20, &written, nullptr);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(self);
  return TRUE;
}
