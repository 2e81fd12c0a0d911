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

// Writes "Palisade: " and the line to the debugger output, where a debugger,
// a log viewer or the tests can follow what a run does.
void TraceRun(const WText& line);

// Called with each line that TraceRun writes, before it is written; lets a
// test build of the engine act at an exact point of a real run.
using TraceObserver = void (*)(const WText& line);
void SetTraceObserver(TraceObserver observer);

// The reason given for a restart that an installation asks for: planned,
// by an application, for its installation.
inline constexpr DWORD kPlannedInstallationReason = 0x80040002;

// Asks Windows to restart, with the shutdown privilege held for the request
// only. Without `force` a program that does not answer is closed, one that
// asks to wait is waited for. False when the privilege or the request is
// refused.
bool RestartWindows(bool force, DWORD reason);

// Enables a privilege in the process token; false when it could not be had.
bool EnablePrivilege(const wchar_t* name);
// Disables it again once the step that needed it is done.
bool DisablePrivilege(const wchar_t* name);

// A function of a library that the caller holds, by its name; null when
// the library lacks it or could not be loaded (a null module).
template <typename Function>
Function FunctionOf(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A function of a DLL that the process has loaded already, looked up at run
// time so that the installer still starts on systems that lack it; null there.
template <typename Function>
Function LoadedFunction(const wchar_t* module, const char* name) {
  return FunctionOf<Function>(GetModuleHandleW(module), name);
}

// Hands a file to the shell with a verb (null for the file's default verb).
// Returns the shell's result: above 32 on success, SE_ERR_ACCESSDENIED when
// the user lacks the right, which the verb "runas" may overcome.
INT_PTR OpenWithShell(const WText& file, const wchar_t* verb);

// A command line's program, its first token (a double-quoted stretch
// without its quotes, or the text up to the first blank), and the rest,
// without the blanks around it.
void SplitCommandLine(const WText& commandLine, WText& program, WText& arguments);

// The folder of the program that a command line starts: its first token up
// to its last backslash; empty when the program is named without a folder.
WText ProgramFolderOf(const WText& commandLine);
// The program that a command line starts: its first token, without quotes.
WText ProgramOf(const WText& commandLine);

// Starts a command line and does not wait for it; false, with the system's
// error in GetLastError, when it could not be started. An empty working
// folder leaves the caller's.
bool StartProcess(const WText& commandLine, const WText& workingFolder);

// Starts a command line and waits for it to end, handling the thread's
// window messages meanwhile so that the installer's windows stay
// responsive; `hidden` gives it no visible window. False, with the system's
// error in GetLastError, when it could not be started; otherwise
// `exitCode`, when given, receives its exit code.
bool RunAndWait(const WText& commandLine, const WText& workingFolder, bool hidden, DWORD* exitCode = nullptr);

// The command interpreter: the system's own, by its full path. %ComSpec%
// is not asked, as the environment may come from a user who could name
// a program of their own there.
WText CommandInterpreter();
// The command line that has the command interpreter carry out `arguments`
// ("/c" and what follows it is theirs), with delayed expansion off.
WText InterpreterCommandLine(const WText& arguments);

// Runs the command interpreter on `arguments` and waits as RunAndWait does,
// or starts it hidden in a console of its own without waiting. Either way
// it works in the system folder and with NoDefaultCurrentDirectoryInExePath
// in its environment, so that a bare command in a batch is found only along
// the search path. False, with the system's error in GetLastError, when it
// could not be started.
bool RunBatchAndWait(const WText& arguments, bool hidden);
bool StartBatchHidden(const WText& arguments);

// The full path as Win32 reads it (GetFullPathNameW): "." and ".." steps
// resolved, forward slashes turned, the closing dot of a step dropped; as
// it is when the system cannot say.
WText FullPath(const WText& path);

// The path with its short names made long, so that it compares with the
// names that a folder listing gives; as it is when it does not exist.
WText LongPath(const WText& path);

// The short (8.3) form of an existing path, which a command interpreter
// takes without quotes; the path itself when the system has none.
WText ShortPath(const WText& path);

// Tells the shell that what a folder holds has changed, so that a window
// showing it (the desktop) shows the change.
void NotifyFolderChanged(const WText& folder);
// Tells the shell that file types changed, so that it shows the new icons
// and verbs.
void NotifyAssociationsChanged();

// `text` with the environment's variables expanded, cut at 31,999
// characters, the most that the system expands in one call. False, and
// `expanded` untouched, when the system cannot expand it.
bool ExpandEnvironmentText(const WText& text, WText& expanded);

}  // namespace ts
