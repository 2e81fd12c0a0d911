#include "core/ts_crash.h"

#include <dbghelp.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "core/system_facts.h"
#include "core/ts_format.h"
#include "core/ts_memory.h"
#include "core/ts_registry.h"
#include "core/ts_system.h"

namespace ts {
namespace {

constexpr DWORD kBreakpoint = 0x80000003;
constexpr DWORD kSingleStep = 0x80000004;
constexpr DWORD kNoncontinuable = 0xC0000025;
constexpr DWORD kOwnLanguageException = 0xE06D7363;
constexpr DWORD kStackOverflow = 0xC00000FD;
constexpr int kMaxFrames = 100;
constexpr DWORD kSymbolNameChars = 2000;
#if defined(__x86_64__)
constexpr DWORD kStackMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr DWORD kStackMachine = IMAGE_FILE_MACHINE_I386;
#endif

struct NamedCode {
  uint32_t code;
  const char* name;
};

constexpr NamedCode kExceptionNames[] = {
    {0xC0000005, "Illegal memory access."},
    {0xC000008C, "Array element is out of bounds."},
    {0x80000003, "Breakpoint encountered."},
    {0x80000002, "Misaligned memory access."},
    {0xC000008D, "One of the operands in a floating-point operation is denormal (too small to represent)."},
    {0xC000008E, "Floating-point division by zero."},
    {0xC000008F, "Floating-point operation cannot be represented exactly as a decimal fraction."},
    {0xC0000090, "Invalid floating point operation."},
    {0xC0000091,
     "The exponent of a floating-point operation is greater than the magnitude allowed by the corresponding type."},
    {0xC0000092, "The stack overflowed or underflowed as the result of a floating-point operation."},
    {0xC0000093,
     "The exponent of a floating-point operation is less than the magnitude allowed by the corresponding type."},
    {0xC000001D, "Invalid instruction executed."},
    {0xC0000006, "Failed to load page into physical memory."},
    {0xC0000094, "Integer divide by zero."},
    {0xC0000095, "Integer overflow."},
    {0xC0000026, "An exception handler returned an invalid disposition."},
    {0xC0000025, "Cannot continue after a noncontinuable exception occurred."},
    {0xC0000096, "Attempt to execute a privileged instruction."},
    {0x80000004, "Single step."},
    {0xC00000FD, "Stack overflow."},
    {0xC000013A, "Ctrl+C pressed."},
    {0x80000001, "Memory Allocated as PAGE_GUARD by VirtualAlloc() was accessed."},
    {0xC0000017,
     "Called by HeapAlloc() if you specify HEAP_GENERATE_EXCEPTIONS and there is no memory or heap corruption."},
    {0xC015000F, "The activation context being deactivated is not the most recently activated one."},
    {0xE06D7363, "Visual C++ structured exception handling."},
};

// Plain flags rather than locks: a second thread that crashes while the
// first is handled hands its crash on to the system.
CrashCallback g_callback = nullptr;
bool g_callbackRunning = false;
DWORD g_mainThread = 0;
// The thread of the guarded call in progress, which handles its own crashes.
DWORD g_guardedThread = 0;
constexpr DWORD kGuardedThreadCrashed = 0xC0A5ED;
Text g_productName;

struct Module {
  uintptr_t base;
  uintptr_t size;
  Text path;
};

// Addresses and general registers in the width of the process's words;
// codes, flags and segment registers in eight digits on either engine.
Text Hex(uintptr_t value) {
  return Format("%0*llX", static_cast<int>(2 * sizeof value), static_cast<unsigned long long>(value));
}
Text Hex32(DWORD value) { return Format("%08X", static_cast<unsigned>(value)); }

struct ToolHelp {
  using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
  using Walk = BOOL(WINAPI*)(HANDLE, MODULEENTRY32W*);
  Snapshot snapshot = nullptr;
  Walk first = nullptr;
  Walk next = nullptr;
};

bool ToolHelpIn(HMODULE library, ToolHelp& help) {
  if (!library) return false;
  help.snapshot = FunctionOf<ToolHelp::Snapshot>(library, "CreateToolhelp32Snapshot");
  help.first = FunctionOf<ToolHelp::Walk>(library, "Module32FirstW");
  help.next = FunctionOf<ToolHelp::Walk>(library, "Module32NextW");
  return help.snapshot && help.first && help.next;
}

// The system's own library holds tool help; some systems keep it in a
// library of its own, taken from the system folder only.
bool ToolHelpModules(std::vector<Module>& modules) {
  ToolHelp help;
  if (!ToolHelpIn(GetModuleHandleW(L"kernel32.dll"), help) && !ToolHelpIn(LoadSystemLibrary(L"tlhelp32.dll"), help)) {
    return false;
  }
  auto [snapshot, first, next] = help;
  HANDLE list = snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
  if (list == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = first(list, &entry); more; more = next(list, &entry)) {
    modules.push_back({reinterpret_cast<uintptr_t>(entry.modBaseAddr), entry.modBaseSize, Utf8FromWide(entry.szExePath)});
  }
  CloseHandle(list);
  return !modules.empty();
}

bool PsapiModules(std::vector<Module>& modules) {
  HMODULE psapi = LoadSystemLibrary(L"psapi.dll");
  if (!psapi) return false;
  using Enumerate = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
  using FileName = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  using Information = BOOL(WINAPI*)(HANDLE, HMODULE, MODULEINFO*, DWORD);
  auto enumerate = FunctionOf<Enumerate>(psapi, "EnumProcessModules");
  auto fileName = FunctionOf<FileName>(psapi, "GetModuleFileNameExW");
  auto information = FunctionOf<Information>(psapi, "GetModuleInformation");
  if (!enumerate || !fileName || !information) return false;
  HMODULE handles[1024];
  DWORD bytes = 0;
  HANDLE process = GetCurrentProcess();
  if (!enumerate(process, handles, sizeof handles, &bytes)) return false;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 1024; ++i) {
    MODULEINFO info = {};
    wchar_t path[MAX_PATH] = {};
    if (!information(process, handles[i], &info, sizeof info)) continue;
    fileName(process, handles[i], path, MAX_PATH);
    modules.push_back({reinterpret_cast<uintptr_t>(info.lpBaseOfDll), info.SizeOfImage, Utf8FromWide(path)});
  }
  return !modules.empty();
}

// Tool help first; the process-status library where tool help fails.
bool LoadedModules(std::vector<Module>& modules) { return ToolHelpModules(modules) || PsapiModules(modules); }

const Module* ModuleAt(const std::vector<Module>& modules, uintptr_t address) {
  for (const Module& module : modules) {
    if (address >= module.base && address - module.base < module.size) return &module;
  }
  return nullptr;
}

Text LowerBaseName(const Text& path) {
  Text name = path.substr(path.find_last_of("\\/") + 1);
  for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return name;
}

// Hours, minutes, seconds and milliseconds of a span of 100-nanosecond units.
Text Duration(ULONGLONG units) {
  ULONGLONG ms = units / 10000;
  return Format("%u:%02u:%02u.%03u", static_cast<unsigned>(ms / 3600000), static_cast<unsigned>(ms / 60000 % 60),
                static_cast<unsigned>(ms / 1000 % 60), static_cast<unsigned>(ms % 1000));
}

ULONGLONG Units(const FILETIME& time) { return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

Text ProcessTimes() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return {};
  GetSystemTimeAsFileTime(&now);
  return "Process/kernel/user time: " + Duration(Units(now) - Units(created)) + " / " + Duration(Units(kernel)) +
         " / " + Duration(Units(user)) + "\r\n";
}

Text RegistryText(const wchar_t* path, const wchar_t* name) {
  RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ) != ERROR_SUCCESS) return {};
  return Utf8FromWide(key.Text(name));
}

Text BrowserAndOffice() {
  const wchar_t* ie = L"Software\\Microsoft\\Internet Explorer";
  Text browser = RegistryText(ie, L"svcVersion");
  if (browser.empty()) browser = RegistryText(ie, L"Version");
  Text lines = "IE: " + browser + "\r\n";
  const wchar_t* office = L"Software\\Microsoft\\Office\\ClickToRun\\Configuration";
  Text version = RegistryText(office, L"VersionToReport");
  if (!version.empty()) lines += "Office: " + version + " (" + RegistryText(office, L"ProductReleaseIds") + ")\r\n";
  return lines;
}

Text LanguageAndLocale() {
  wchar_t language[128] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, language, 128);
  return "Language: " + Utf8FromWide(language) + "\r\n" +
         Format("Locale: 0x%04X  Codepage: %u\r\n", static_cast<unsigned>(GetUserDefaultLCID()), GetACP());
}

Text WhereAndWhat(const CrashRecord& crash, const std::vector<Module>& modules) {
  Text text = "Exception code: " + Hex32(crash.code) + "\r\nAddress: " + Hex(reinterpret_cast<uintptr_t>(crash.address)) +
              "\r\n";
  if (const Module* module = ModuleAt(modules, reinterpret_cast<uintptr_t>(crash.address))) {
    text += "Module: " + module->path + "\r\n";
  }
  if (crash.code == kAccessViolation) {
    text += Text("Read/write: ") + (crash.write ? "write" : "read") + "\r\nMemory address: " +
            Hex(reinterpret_cast<uintptr_t>(crash.memoryAddress)) + "\r\n";
  }
  return text;
}

Text Registers(const CONTEXT& c) {
  // The 64-bit engine names its registers as x64 does, with the eight
  // further ones after the eight the 32-bit report names.
#if defined(__x86_64__)
  const std::pair<const char*, uintptr_t> registers[] = {
      {"\r\n  RAX: ", c.Rax}, {"\r\n  RBX: ", c.Rbx}, {"\r\n  RCX: ", c.Rcx}, {"\r\n  RDX: ", c.Rdx},
      {"\r\n  RDI: ", c.Rdi}, {"\r\n  RSI: ", c.Rsi}, {"\r\n  RIP: ", c.Rip}, {"\r\n  RBP: ", c.Rbp},
      {"\r\n  RSP: ", c.Rsp}, {"\r\n   R8: ", c.R8},  {"\r\n   R9: ", c.R9},  {"\r\n  R10: ", c.R10},
      {"\r\n  R11: ", c.R11}, {"\r\n  R12: ", c.R12}, {"\r\n  R13: ", c.R13}, {"\r\n  R14: ", c.R14},
      {"\r\n  R15: ", c.R15},
#else
  const std::pair<const char*, uintptr_t> registers[] = {
      {"\r\n  EAX: ", c.Eax}, {"\r\n  EBX: ", c.Ebx}, {"\r\n  ECX: ", c.Ecx}, {"\r\n  EDX: ", c.Edx},
      {"\r\n  EDI: ", c.Edi}, {"\r\n  ESI: ", c.Esi}, {"\r\n  EIP: ", c.Eip}, {"\r\n  EBP: ", c.Ebp},
      {"\r\n  ESP: ", c.Esp},
#endif
  };
  const std::pair<const char*, DWORD> segments[] = {
      {"\r\n   CS: ", c.SegCs}, {"\r\n   DS: ", c.SegDs}, {"\r\n   ES: ", c.SegEs},
      {"\r\n   FS: ", c.SegFs}, {"\r\n   GS: ", c.SegGs}, {"\r\n   SS: ", c.SegSs},
  };
  Text text = "\r\nCPU Registers:\r\nFlags: " + Hex32(c.EFlags);
  for (const auto& [label, value] : registers) text += label + Hex(value);
  for (const auto& [label, value] : segments) text += label + Hex32(value);
  return text;
}

Text ModuleLines(const std::vector<Module>& modules) {
  Text text = "\r\n\r\nModules:\r\n";
  for (const Module& m : modules) text += Hex(m.base) + " " + Hex(m.base + m.size - 1) + " " + m.path + "\r\n";
  return text;
}

struct DbgHelp {
  decltype(&SymInitialize) initialize;
  decltype(&StackWalk64) walk;
  PFUNCTION_TABLE_ACCESS_ROUTINE64 tableAccess;
  PGET_MODULE_BASE_ROUTINE64 moduleBase;
  decltype(&SymFromAddr) fromAddress;
};

bool LoadDbgHelp(DbgHelp& d) {
  HMODULE module = LoadSystemLibrary(L"DBGHELP.DLL");
  if (!module) return false;
  d.initialize = FunctionOf<decltype(d.initialize)>(module, "SymInitialize");
  d.walk = FunctionOf<decltype(d.walk)>(module, "StackWalk64");
  d.tableAccess = FunctionOf<decltype(d.tableAccess)>(module, "SymFunctionTableAccess64");
  d.moduleBase = FunctionOf<decltype(d.moduleBase)>(module, "SymGetModuleBase64");
  d.fromAddress = FunctionOf<decltype(d.fromAddress)>(module, "SymFromAddr");
  return d.initialize && d.walk && d.tableAccess && d.moduleBase && d.fromAddress;
}

bool Readable(const void* address, size_t size) {
  MEMORY_BASIC_INFORMATION info;
  if (!VirtualQuery(address, &info, sizeof info) || info.State != MEM_COMMIT) return false;
  if (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return false;
  return reinterpret_cast<uintptr_t>(address) + size <=
         reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
}

// A call through a null pointer leaves no instruction to start from: the
// frame pointer still leads to the caller's return address and frame.
STACKFRAME64 FirstFrame(const CONTEXT& context) {
#if defined(__x86_64__)
  const uintptr_t pc = context.Rip, framePointerValue = context.Rbp, stack = context.Rsp;
#else
  const uintptr_t pc = context.Eip, framePointerValue = context.Ebp, stack = context.Esp;
#endif
  STACKFRAME64 frame = {};
  frame.AddrPC.Offset = pc;
  frame.AddrFrame.Offset = framePointerValue;
  frame.AddrStack.Offset = stack;
  frame.AddrPC.Mode = frame.AddrFrame.Mode = frame.AddrStack.Mode = AddrModeFlat;
  const uintptr_t* framePointer = reinterpret_cast<const uintptr_t*>(framePointerValue);
  if (!pc && Readable(framePointer, 2 * sizeof(uintptr_t))) {
    frame.AddrPC.Offset = framePointer[1];
    frame.AddrFrame.Offset = framePointer[0];
  }
  return frame;
}

Text CallStack(const CrashRecord& crash, const std::vector<Module>& modules) {
  DbgHelp d;
  if (!LoadDbgHelp(d)) return {};
  HANDLE process = GetCurrentProcess();
  d.initialize(process, nullptr, TRUE);
  CONTEXT context = crash.context;
  STACKFRAME64 frame = FirstFrame(context);
  std::vector<char> buffer(sizeof(SYMBOL_INFO) + kSymbolNameChars);
  Text text;
  for (int i = 0; i < kMaxFrames; ++i) {
    if (!d.walk(kStackMachine, process, GetCurrentThread(), &frame, &context, nullptr, d.tableAccess, d.moduleBase,
                nullptr)) {
      break;
    }
    if (!frame.AddrPC.Offset || !frame.AddrFrame.Offset) break;
    const Module* module = ModuleAt(modules, static_cast<uintptr_t>(frame.AddrPC.Offset));
    text += Hex(static_cast<uintptr_t>(frame.AddrFrame.Offset)) + " " + Hex(static_cast<uintptr_t>(frame.AddrPC.Offset)) +
            " " + (module ? LowerBaseName(module->path) : Text());
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer.data());
    *symbol = {};
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = kSymbolNameChars;
    DWORD64 displacement = 0;
    if (d.fromAddress(process, frame.AddrPC.Offset, &displacement, symbol)) text += Text(" ") + symbol->Name;
    text += "\r\n";
  }
  return text;
}

// Whether the message is itself the out-of-memory report, which says so.
bool IsOutOfMemoryReport(const CrashRecord& crash) {
  return crash.code == kFatalPseudoCode && crash.message.rfind(Text(kOutOfMemoryTitle) + ".", 0) == 0;
}

Text SystemLines(const CrashRecord& crash) {
  Text text = Format("Thread ID: %lu  Main Thread: %lu\r\n", GetCurrentThreadId(), g_mainThread);
  text += ProcessTimes();
  text += "OS: " + Utf8FromWide(SystemName(system_name::kDescription)) + "\r\n";
  text += BrowserAndOffice();
  text += LanguageAndLocale();
  if (OutOfMemoryOccurred() && !IsOutOfMemoryReport(crash)) text += "A previous out-of-memory condition occurred.\r\n";
  Text commandLine = Utf8FromWide(GetCommandLineW());
  if (!commandLine.empty()) text += "Command line: " + commandLine + "\r\n";
  return text;
}

void FillRecord(const EXCEPTION_POINTERS& pointers, CrashRecord& crash) {
  const EXCEPTION_RECORD& e = *pointers.ExceptionRecord;
  crash.code = e.ExceptionCode;
  crash.address = e.ExceptionAddress;
  crash.continuable = !(e.ExceptionFlags & EXCEPTION_NONCONTINUABLE);
  if (e.ExceptionCode == kAccessViolation && e.NumberParameters >= 1) crash.write = e.ExceptionInformation[0] != 0;
  if (e.ExceptionCode == kAccessViolation && e.NumberParameters >= 2) {
    crash.memoryAddress = reinterpret_cast<const void*>(e.ExceptionInformation[1]);
  }
  crash.context = *pointers.ContextRecord;
}

// Where a guarded thread goes on after its crash: nothing of its work can
// be trusted any more, so it ends at once.
void WINAPI EndCrashedThread() { ExitThread(kGuardedThreadCrashed); }

// The crashed thread resumes as if it had just called EndCrashedThread: on
// x64 a function expects its stack 8 bytes short of a 16-byte boundary.
void ContinueAtThreadEnd(CONTEXT& context) {
#if defined(__x86_64__)
  context.Rsp = (context.Rsp & ~DWORD64{15}) - 8;
  context.Rip = reinterpret_cast<DWORD64>(&EndCrashedThread);
#else
  context.Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&EndCrashedThread));
#endif
}

struct GuardedCall {
  void (*work)(void*);
  void* context;
};

DWORD WINAPI RunGuardedCall(void* parameter) {
  const GuardedCall& call = *static_cast<GuardedCall*>(parameter);
  call.work(call.context);
  return 0;
}

}  // namespace

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) {
  DWORD code = pointers->ExceptionRecord->ExceptionCode;
  if (code == kBreakpoint || code == kSingleStep || code == kNoncontinuable || code == kOwnLanguageException) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  if (g_guardedThread && GetCurrentThreadId() == g_guardedThread) {
    ContinueAtThreadEnd(*pointers->ContextRecord);
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  if (!g_callback || g_callbackRunning) return EXCEPTION_CONTINUE_SEARCH;
  static CrashRecord crash;  // the stack may be what failed
  crash = CrashRecord();
  FillRecord(*pointers, crash);
  g_callbackRunning = true;
  LONG result = g_callback(crash);
  g_callbackRunning = false;
  if (code == kStackOverflow) ExitProcess(0);
  return result;
}

void ReportFatalToCrashCallback(const Text& message) {
  if (!g_callback || g_callbackRunning) return;
  static CrashRecord crash;
  crash = CrashRecord();
  crash.code = kFatalPseudoCode;
  crash.address = __builtin_return_address(0);
  crash.message = message;
  RtlCaptureContext(&crash.context);
  g_callbackRunning = true;
  g_callback(crash);
  g_callbackRunning = false;
}

bool CallGuarded(void (*work)(void* context), void* context) {
  GuardedCall call{work, context};
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, RunGuardedCall, &call, CREATE_SUSPENDED, &id);
  if (!thread) return false;
  g_guardedThread = id;
  ResumeThread(thread);
  WaitForSingleObject(thread, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  g_guardedThread = 0;
  return exitCode != kGuardedThreadCrashed;
}

void SetCrashCallback(CrashCallback callback) {
  g_mainThread = GetCurrentThreadId();
  g_callback = callback;
  SetUnhandledExceptionFilter(CrashFilter);
}

void SetCrashProductName(const Text& name) { g_productName = name; }

const char* ExceptionName(uint32_t code) {
  for (const NamedCode& named : kExceptionNames) {
    if (named.code == code) return named.name;
  }
  return "";
}

Text BuildCrashReport(const CrashRecord& crash) {
  std::vector<Module> modules;
  bool haveModules = LoadedModules(modules);
  bool fatal = crash.code == kFatalPseudoCode;
  Text report = fatal ? "Fatal error: " + crash.message : Text("Exception: ") + ExceptionName(crash.code);
  report += "\r\n\r\nProduct: " + g_productName + "\r\n\r\n";
  if (!fatal) report += WhereAndWhat(crash, modules);
  report += SystemLines(crash);
  if (!fatal) report += Registers(crash.context);
  if (haveModules) report += ModuleLines(modules);
  report += "\r\nCall Stack:\r\n" + CallStack(crash, modules);
  return report;
}

}  // namespace ts
