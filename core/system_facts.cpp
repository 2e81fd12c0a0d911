#include "core/system_facts.h"

#include <windows.h>
#include <objbase.h>


namespace ts {
namespace {

// RtlGetVersion tells the truth where GetVersionEx is subject to the
// compatibility shims of the application manifest.
void ReadVersion(SystemRecord& record) {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (!rtlGetVersion || rtlGetVersion(&info) != 0) {
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
  }
  record.platform = info.dwPlatformId;
  record.major = info.dwMajorVersion;
  record.minor = info.dwMinorVersion;
  record.build = info.dwBuildNumber;
  record.productType = info.wProductType ? info.wProductType : 1;
}

void ReadWine(SystemRecord& record) {
  using WineVersionFunction = const char*(CDECL*)();
  auto wineVersion = reinterpret_cast<WineVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  record.underWine = wineVersion != nullptr;
  if (wineVersion) record.wineVersion = wineVersion();
}

SystemRecord ReadSystemRecord() {
  SystemRecord record;
  ReadVersion(record);
  ReadWine(record);
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  record.is64Bit = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                   info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ||
                   info.wProcessorArchitecture == 12;  // ARM64
  return record;
}

WText WithoutTrailingBackslash(WText path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

WText ShellFolder(int id) {
  using Function = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
  auto getPath = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHGetSpecialFolderPathW")));
  wchar_t buffer[MAX_PATH] = {};
  if (!getPath || !getPath(nullptr, buffer, id, FALSE)) return {};
  return WithoutTrailingBackslash(buffer);
}

WText KnownFolder(const GUID& id) {
  using Function = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
  auto getPath = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHGetKnownFolderPath")));
  PWSTR path = nullptr;
  if (!getPath || FAILED(getPath(id, 0, nullptr, &path))) return {};
  WText result = WithoutTrailingBackslash(path);
  CoTaskMemFree(path);
  return result;
}

WText RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return {};
  return WithoutTrailingBackslash(buffer);
}

WText EnvironmentText(const wchar_t* name) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length && length < MAX_PATH ? WithoutTrailingBackslash(buffer) : WText();
}

WText FirstOf(std::initializer_list<WText> candidates) {
  for (const WText& candidate : candidates) {
    if (!candidate.empty()) return candidate;
  }
  return {};
}

WText Without(WText text, const WText& part) {
  size_t at = text.find(part);
  if (at != WText::npos) text.erase(at, part.size());
  return text;
}

constexpr int kProgramFilesShellFolder = 0x26;
constexpr GUID kProgramFilesKnownFolder = {0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}};
constexpr GUID kProgramFilesX64KnownFolder = {0x6D809377, 0x6AF0, 0x444B, {0x89, 0x57, 0xA3, 0x77, 0x3F, 0x02, 0x20, 0x0E}};

WText NativeProgramFilesFolder() {
  return FirstOf({ShellFolder(kProgramFilesShellFolder), KnownFolder(kProgramFilesKnownFolder),
                  RegistryText(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir"),
                  L"c:\\Program Files"});
}

}  // namespace

const SystemRecord& System() {
  static const SystemRecord record = ReadSystemRecord();
  return record;
}

bool IsAtLeastServer2003OrVista() {
  const SystemRecord& s = System();
  return s.platform == 2 && (s.major >= 6 || (s.major == 5 && s.minor == 2 && s.productType != 1));
}

WText ProgramFilesFolder(FolderKind kind) {
  WText native = NativeProgramFilesFolder();
  if (kind == FolderKind::k32Bit || !System().is64Bit) return native;
  return FirstOf({KnownFolder(kProgramFilesX64KnownFolder), EnvironmentText(L"ProgramW6432"), Without(native, L" (x86)")});
}

bool DisableFileSystemRedirection() {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return true;
  using Function = BOOL(WINAPI*)(PVOID*);
  auto disable = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64DisableWow64FsRedirection")));
  PVOID previous = nullptr;
  return disable && disable(&previous);
}

}  // namespace ts
