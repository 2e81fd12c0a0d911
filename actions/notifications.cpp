#include "actions/notifications.h"

#include <windows.h>
#include <wininet.h>

#include "core/ts_system.h"
#include "core/ts_thread.h"
#include "format/setup_script.h"
#include "payload/variables.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

// A server that accepts and never answers costs each request at most this
// long per stage where WinInet honours the limits; the wait for the worker
// at exit has a limit of its own, for the WinInet versions that do not.
constexpr DWORD kRequestTimeoutMs = 5000;
constexpr DWORD kExitWaitMs = 10000;
constexpr DWORD kConnectAttempts = 1;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_PRAGMA_NOCACHE;

constexpr const wchar_t* kPlaceholders[] = {L"%version%", L"%OS%",           L"%OSMajor%",
                                            L"%OSMinor%", L"%OSDescription%", L"%OSName%", L"%OSServer%"};

using InternetOpenFunction = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
using InternetSetOptionFunction = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);
using InternetOpenUrlFunction = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
using InternetReadFileFunction = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
using InternetCloseHandleFunction = BOOL(WINAPI*)(HINTERNET);

struct WinInet {
  InternetOpenUrlFunction openUrl = nullptr;
  InternetReadFileFunction readFile = nullptr;
  InternetCloseHandleFunction closeHandle = nullptr;
  HINTERNET session = nullptr;
};

// Touched by the main thread only before the worker starts and after it
// ended; the worker only reads it.
WinInet g_inet;
ts::WorkerThread g_worker;
bool g_workerTried = false;

void SetTimeouts(InternetSetOptionFunction setOption) {
  DWORD timeout = kRequestTimeoutMs;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    setOption(g_inet.session, option, &timeout, sizeof timeout);
  }
  DWORD attempts = kConnectAttempts;
  setOption(g_inet.session, INTERNET_OPTION_CONNECT_RETRIES, &attempts, sizeof attempts);
}

// Dial-up connections are made through the remote-access library, which
// WinInet finds already loaded when the system has it.
bool OpenWinInet() {
  HMODULE wininet = ts::LoadSystemLibrary(L"WinInet.DLL");
  if (!wininet) return false;
  ts::LoadSystemLibrary(L"RASAPI32.DLL");
  auto open = ts::FunctionOf<InternetOpenFunction>(wininet, "InternetOpenA");
  auto setOption = ts::FunctionOf<InternetSetOptionFunction>(wininet, "InternetSetOptionA");
  g_inet.openUrl = ts::FunctionOf<InternetOpenUrlFunction>(wininet, "InternetOpenUrlA");
  g_inet.readFile = ts::FunctionOf<InternetReadFileFunction>(wininet, "InternetReadFile");
  g_inet.closeHandle = ts::FunctionOf<InternetCloseHandleFunction>(wininet, "InternetCloseHandle");
  if (!open || !setOption || !g_inet.openUrl || !g_inet.readFile || !g_inet.closeHandle) return false;
  g_inet.session = open(g_installer.script.productName.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!g_inet.session) return false;
  SetTimeouts(setOption);
  return true;
}

// The answer is read to its end and dropped: only the request matters.
void Fetch(const ts::Text& address) {
  HINTERNET request = g_inet.openUrl(g_inet.session, address.c_str(), nullptr, 0, kRequestFlags, 0);
  if (!request) return;
  char buffer[4096];
  DWORD read = 0;
  while (g_inet.readFile(request, buffer, sizeof buffer, &read) && read) {
  }
  g_inet.closeHandle(request);
}

bool StartWorker() {
  if (g_workerTried) return g_worker.Running();
  g_workerTried = true;
  if (!OpenWinInet()) return false;
  if (!g_worker.Start(Fetch, THREAD_PRIORITY_BELOW_NORMAL)) return false;
  ts::TraceRun(L"notification worker started");
  return true;
}

void Notify(const ts::Text& address) {
  ts::Text prepared = PreparedNotifyAddress(address);
  if (prepared.empty() || !StartWorker()) return;
  ts::TraceRun(L"notify " + ts::WideFromUtf8(prepared));
  g_worker.Post(prepared);
}

ts::WText VariableValue(const wchar_t* name) {
  for (const InstallationVariable& variable : InstallationVariables()) {
    if (!_wcsicmp(variable.name, name)) return variable.value();
  }
  return {};
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.' || c == '~';
}

}  // namespace

ts::Text PercentEncoded(const ts::Text& utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  ts::Text encoded;
  for (unsigned char c : utf8) {
    if (IsUnreserved(c)) {
      encoded += static_cast<char>(c);
    } else {
      encoded += {'%', kHex[c >> 4], kHex[c & 0xF]};
    }
  }
  return encoded;
}

ts::Text PreparedNotifyAddress(const ts::Text& address) {
  const char* blanks = " \r\n\t";
  size_t first = address.find_first_not_of(blanks);
  if (first == ts::Text::npos) return {};
  ts::WText prepared = ts::WideFromUtf8(address.substr(first, address.find_last_not_of(blanks) - first + 1));
  for (const wchar_t* placeholder : kPlaceholders) {
    if (ts::FindIgnoringCase(prepared, placeholder) == ts::WText::npos) continue;
    ts::Text value = PercentEncoded(ts::Utf8FromWide(VariableValue(placeholder)));
    ts::ReplaceIgnoringCase(prepared, placeholder, ts::WideFromUtf8(value));
  }
  return ts::Utf8FromWide(prepared);
}

int ClosingNotifyIndex(InstallationType type) {
  switch (type) {
    case InstallationType::kUpgrade:
      return format::kNotifyUpgrade;
    case InstallationType::kDowngrade:
      return format::kNotifyOverNewer;
    case InstallationType::kOverExisting:
    case InstallationType::kReinstall:
      return format::kNotifyReinstall;
    case InstallationType::kFirst:
      break;
  }
  return format::kNotifyFirstInstall;
}

void SendStartNotification() { Notify(g_installer.script.startNotifyUrl); }

void SendBeginInstallNotification() { Notify(g_installer.script.beginNotifyUrl); }

void SendClosingNotification() {
  Notify(g_installer.script.closingNotifyUrls[static_cast<size_t>(ClosingNotifyIndex(g_installer.installationType))]);
}

void SendUninstallNotification() { Notify(g_installer.script.uninstallNotifyUrl); }

// A worker still waiting on a server when the time is up ends with the
// process; its handles are left to it.
void StopNotifications() {
  bool ended = g_worker.StopAndWait(kExitWaitMs);
  if (ended && g_inet.session) {
    g_inet.closeHandle(g_inet.session);
    g_inet.session = nullptr;
  }
}

}  // namespace palisade
