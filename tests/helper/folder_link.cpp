#include "folder_link.h"

#include <windows.h>

namespace {

// The Linux name of a Windows path under Wine; empty elsewhere.
std::wstring LinuxName(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  auto unixFileName =
      reinterpret_cast<UnixFileName>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  char* name = unixFileName ? unixFileName(path.c_str()) : nullptr;
  if (!name) return std::wstring();
  wchar_t wide[MAX_PATH * 4] = {};
  MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, MAX_PATH * 4);
  HeapFree(GetProcessHeap(), 0, name);
  return wide;
}

bool IsLink(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Wine hands a Linux program a process handle that is signalled at once,
// so the link is looked for until it is there.
bool RunLinuxLink(const std::wstring& link, const std::wstring& target) {
  std::wstring command = L"/bin/ln -s \"" + LinuxName(target) + L"\" \"" + LinuxName(link) + L"\"";
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(L"/bin/ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  constexpr int kLooks = 1000;
  for (int look = 0; look < kLooks && !IsLink(link); ++look) Sleep(10);
  return IsLink(link);
}

}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (!LinuxName(link).empty()) return RunLinuxLink(link, target);
  return CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) && IsLink(link);
}
