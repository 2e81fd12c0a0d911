// A self-registering COM server for the component tests: registering it
// writes its class key with the DLL's path, unregistering deletes that key.
// Its class is the test's own; nothing else in the prefix uses it. With
// PALISADE_COM_SERVER_REFUSES in its environment, registering writes the
// key but reports failure, as a server does that regsvr32 cannot register;
// with PALISADE_COM_SERVER_CRASHES, registering crashes.
#include <windows.h>

namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{5A1E2B7C-3D4F-4A61-9B8C-7D6E5F4A3B2C}";

HMODULE g_module = nullptr;

HRESULT WriteDefault(const wchar_t* subkey, const wchar_t* text) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return HRESULT_FROM_WIN32(result);
  result = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(result);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
  if (GetEnvironmentVariableW(L"PALISADE_COM_SERVER_CRASHES", nullptr, 0) > 0) {
    *static_cast<volatile int*>(nullptr) = 1;
  }
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(g_module, path, MAX_PATH);
  wchar_t server[256];
  lstrcpyW(server, kClassKey);
  lstrcatW(server, L"\\InprocServer32");
  HRESULT result = WriteDefault(kClassKey, L"Palisade Test Server");
  if (SUCCEEDED(result)) result = WriteDefault(server, path);
  bool refuses = GetEnvironmentVariableW(L"PALISADE_COM_SERVER_REFUSES", nullptr, 0) > 0;
  return refuses ? E_FAIL : result;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return HRESULT_FROM_WIN32(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey));
}
