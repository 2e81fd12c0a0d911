#include "core/ts_system.h"

#include <shellapi.h>
#include <shlobj.h>

#include "core/system_facts.h"

namespace ts {

WText SystemErrorTextW(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  WText text = length ? WText(buffer, length) : WText(L"Unknown error");
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text;
}

Text SystemErrorText(DWORD error) { return Utf8FromWide(SystemErrorTextW(error)); }

WText ModuleFileName(HMODULE module) {
  WText path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

WText ModuleBaseName() {
  WText path = ModuleFileName();
  size_t slash = path.find_last_of(L"\\/");
  return slash == WText::npos ? path : path.substr(slash + 1);
}

WText SystemFolder() {
  wchar_t buffer[MAX_PATH];
  UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  return WText(buffer, length < MAX_PATH ? length : 0);
}

bool RestrictDllSearchToSystemFolder() {
  // Removes the current folder from the search even on systems that lack the
  // next call (it came with Windows 8 and an update of Windows 7); it is
  // looked up rather than imported so that the installer still starts there.
  SetDllDirectoryW(L"");
  auto setDefault = LoadedFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
  return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  WText path = SystemFolder() + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

namespace {
TraceObserver g_traceObserver = nullptr;
}  // namespace

void SetTraceObserver(TraceObserver observer) { g_traceObserver = observer; }

// The narrow call is used because some systems pass only narrow text on to
// debugger-less listeners.
void TraceRun(const WText& line) {
  if (g_traceObserver) g_traceObserver(line);
  OutputDebugStringA(("Palisade: " + Utf8FromWide(line) + "\n").c_str());
}

namespace {

bool AdjustPrivilege(const wchar_t* name, DWORD attributes) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = attributes;
  bool ok = LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok;
}

// How a process starts: an empty working folder leaves the caller's,
// SW_SHOWDEFAULT leaves the window as the program opens it, and an empty
// environment passes the caller's on.
struct Launch {
  WText workingFolder;
  WORD show = SW_SHOWDEFAULT;
  DWORD creationFlags = 0;
  WText environment;
};

bool Start(const WText& commandLine, const Launch& launch, PROCESS_INFORMATION& process) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (launch.show != SW_SHOWDEFAULT) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = launch.show;
  }
  WText command = commandLine;  // the system may write into it
  WText environment = launch.environment;
  DWORD flags = launch.creationFlags | (environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT);
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags,
                        environment.empty() ? nullptr : environment.data(),
                        launch.workingFolder.empty() ? nullptr : launch.workingFolder.c_str(), &startup,
                        &process) != 0;
}

bool StartAndLetGo(const WText& commandLine, const Launch& launch) {
  PROCESS_INFORMATION process = {};
  if (!Start(commandLine, launch, process)) return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// The caller's environment block with NoDefaultCurrentDirectoryInExePath
// set: the command interpreter then looks for a bare command only along
// the search path, never first in its working folder.
WText EnvironmentWithoutCurrentFolderSearch() {
  constexpr wchar_t kSetting[] = L"NoDefaultCurrentDirectoryInExePath";
  WText block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
    std::wstring_view text(entry);
    bool same = text.size() > wcslen(kSetting) && text[wcslen(kSetting)] == L'=' &&
                CompareStringOrdinal(entry, static_cast<int>(wcslen(kSetting)), kSetting, -1, TRUE) == CSTR_EQUAL;
    if (!same) block.append(entry, text.size() + 1);
  }
  if (strings) FreeEnvironmentStringsW(strings);
  block += kSetting;
  block += L"=1";
  block += L'\0';
  block += L'\0';
  return block;
}

// A batch's commands run in the system folder, which only administrators
// can write: a bare command name can then not be met by a program that
// someone placed in the folder of the batch or of the installer.
Launch BatchLaunch(bool hidden) {
  Launch launch;
  launch.workingFolder = SystemFolder();
  launch.environment = EnvironmentWithoutCurrentFolderSearch();
  if (hidden) launch.show = SW_HIDE;
  return launch;
}

}  // namespace

bool EnablePrivilege(const wchar_t* name) { return AdjustPrivilege(name, SE_PRIVILEGE_ENABLED); }
bool DisablePrivilege(const wchar_t* name) { return AdjustPrivilege(name, 0); }

bool RestartWindows(bool force, DWORD reason) {
  constexpr wchar_t kShutdownPrivilege[] = L"SeShutdownPrivilege";
  if (!EnablePrivilege(kShutdownPrivilege)) return false;
  bool requested = ExitWindowsEx(EWX_REBOOT | (force ? EWX_FORCE : EWX_FORCEIFHUNG), reason) != 0;
  DisablePrivilege(kShutdownPrivilege);
  return requested;
}

bool ExpandEnvironmentText(const WText& text, WText& expanded) {
  constexpr DWORD kBufferLength = 32000;
  WText buffer(kBufferLength, L'\0');
  if (!ExpandEnvironmentStringsW(text.c_str(), buffer.data(), kBufferLength)) return false;
  // A result that does not fit is cut rather than refused.
  buffer.back() = L'\0';
  buffer.resize(wcslen(buffer.c_str()));
  expanded = buffer;
  return true;
}

INT_PTR OpenWithShell(const WText& file, const wchar_t* verb) {
  return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, verb, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

void SplitCommandLine(const WText& commandLine, WText& program, WText& arguments) {
  program.clear();
  arguments.clear();
  size_t start = commandLine.find_first_not_of(L" \t");
  if (start == WText::npos) return;
  bool quoted = commandLine[start] == L'"';
  if (quoted) ++start;
  size_t end = commandLine.find_first_of(quoted ? L"\"" : L" \t", start);
  program = commandLine.substr(start, end == WText::npos ? WText::npos : end - start);
  if (end == WText::npos) return;
  size_t rest = commandLine.find_first_not_of(L" \t", end + 1);
  if (rest == WText::npos) return;
  size_t last = commandLine.find_last_not_of(L" \t");
  arguments = commandLine.substr(rest, last + 1 - rest);
}

WText ProgramOf(const WText& commandLine) {
  WText program, arguments;
  SplitCommandLine(commandLine, program, arguments);
  return program;
}

WText ProgramFolderOf(const WText& commandLine) {
  WText program = ProgramOf(commandLine);
  size_t slash = program.find_last_of(L'\\');
  if (slash == WText::npos) return {};
  // "C:" alone would name the drive's current folder, not its root.
  return program.substr(0, slash == 2 && program[1] == L':' ? slash + 1 : slash);
}

bool StartProcess(const WText& commandLine, const WText& workingFolder) {
  Launch launch;
  launch.workingFolder = workingFolder;
  return StartAndLetGo(commandLine, launch);
}

namespace {

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

namespace {

bool RunLaunchAndWait(const WText& commandLine, const Launch& launch, DWORD* exitCode) {
  PROCESS_INFORMATION process = {};
  if (!Start(commandLine, launch, process)) return false;
  CloseHandle(process.hThread);
  while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    PumpMessages();
  }
  if (exitCode && !GetExitCodeProcess(process.hProcess, exitCode)) *exitCode = static_cast<DWORD>(-1);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool RunAndWait(const WText& commandLine, const WText& workingFolder, bool hidden, DWORD* exitCode) {
  Launch launch;
  launch.workingFolder = workingFolder;
  if (hidden) {
    launch.show = SW_HIDE;
    launch.creationFlags = CREATE_NO_WINDOW;
  }
  return RunLaunchAndWait(commandLine, launch, exitCode);
}

bool RunBatchAndWait(const WText& arguments, bool hidden) {
  Launch launch = BatchLaunch(hidden);
  if (hidden) launch.creationFlags = CREATE_NO_WINDOW;
  return RunLaunchAndWait(InterpreterCommandLine(arguments), launch, nullptr);
}

bool StartBatchHidden(const WText& arguments) {
  Launch launch = BatchLaunch(true);
  launch.creationFlags = CREATE_NEW_CONSOLE;
  return StartAndLetGo(InterpreterCommandLine(arguments), launch);
}

WText CommandInterpreter() {
  if (System().platform == kPlatform9x) return WindowsFolder() + L"\\command.com";
  return SystemFolder() + L"\\cmd.exe";
}

// Delayed expansion stays off whatever the registry says, so that a "!"
// in a path written into a batch is a plain character.
WText InterpreterCommandLine(const WText& arguments) {
  return L"\"" + CommandInterpreter() + L"\" /v:off /c " + arguments;
}

WText FullPath(const WText& path) {
  DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (!length) return path;
  WText result(length, L'\0');
  length = GetFullPathNameW(path.c_str(), length, result.data(), nullptr);
  if (!length || length >= result.size()) return path;
  result.resize(length);
  return result;
}

WText LongPath(const WText& path) {
  DWORD length = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (!length) return path;
  WText result(length, L'\0');
  length = GetLongPathNameW(path.c_str(), result.data(), length);
  result.resize(length);
  return result;
}

WText ShortPath(const WText& path) {
  DWORD length = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (!length) return path;
  WText shortPath(length, L'\0');
  length = GetShortPathNameW(path.c_str(), shortPath.data(), length);
  if (!length || length >= shortPath.size()) return path;
  shortPath.resize(length);
  return shortPath;
}

void NotifyFolderChanged(const WText& folder) {
  SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, folder.c_str(), nullptr);
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace ts
