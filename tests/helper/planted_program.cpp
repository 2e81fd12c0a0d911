// planted_program: stands in for a system program (regedit.exe, reg.exe)
// that someone placed where a search by its bare name would meet it. It
// notes that it ran, with its command line, in C:\planted\NAME.txt (NAME
// being the file name it was started under) and does nothing else.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring name(self);
  name = name.substr(name.find_last_of(L'\\') + 1);
  CreateDirectoryW(L"C:\\planted", nullptr);
  std::wstring mark = L"C:\\planted\\" + name + L".txt";
  HANDLE file = CreateFileW(mark.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::wstring line = std::wstring(GetCommandLineW()) + L"\r\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), text.data(), size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
