// lnkread: reads a shell link (".lnk" file) through the shell's own link
// object and prints what it holds, so that the tests, outside Wine, can
// check the links the engine made.
//
//   lnkread PATH
//
// Prints UTF-8 lines "target\t...", "arguments\t...", "folder\t...",
// "icon\t<file>,<index>" and "show\t<command>". Exit code 0, or 1 when the
// link cannot be read.
//
// Wine's link object does not hand back the show command it saved, so that
// one is read from the link's header, where every shell keeps it.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

void Print(const std::wstring& line) {
  std::wstring text = line + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

constexpr DWORD kShowCommandOffset = 60;

DWORD HeaderShowCommand(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD show = 0, read = 0;
  if (file == INVALID_HANDLE_VALUE) return show;
  if (SetFilePointer(file, kShowCommandOffset, nullptr, FILE_BEGIN) == kShowCommandOffset) {
    ReadFile(file, &show, sizeof show, &read, nullptr);
  }
  CloseHandle(file);
  return show;
}

int Read(const wchar_t* path) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return 1;
  }
  IPersistFile* file = nullptr;
  bool loaded = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                SUCCEEDED(file->Load(path, STGM_READ));
  if (loaded) {
    wchar_t text[MAX_PATH * 4] = {};
    int index = 0;
    link->GetPath(text, MAX_PATH * 4, nullptr, SLGP_RAWPATH);
    Print(std::wstring(L"target\t") + text);
    text[0] = 0;
    link->GetArguments(text, MAX_PATH * 4);
    Print(std::wstring(L"arguments\t") + text);
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH * 4);
    Print(std::wstring(L"folder\t") + text);
    text[0] = 0;
    link->GetIconLocation(text, MAX_PATH * 4, &index);
    Print(std::wstring(L"icon\t") + text + L"," + std::to_wstring(index));
    Print(L"show\t" + std::to_wstring(HeaderShowCommand(path)));
  }
  if (file) file->Release();
  link->Release();
  return loaded ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  CoInitialize(nullptr);
  int result = Read(argv[1]);
  CoUninitialize();
  return result;
}
