// engine_probe: runs one user-facing operation of the engine library so that
// the tests, from outside Wine, can look at what it shows and answer it.
//
//   engine_probe [--silent] [--automatic] [--uninstall] [--main-window]
//                [--message N=TEXT]... ACTION
//
// ACTION: ok, retrycancel, yesnocancel (a notice with those buttons), ask,
// two (two notices in a row), abort, hold-mutex (takes the installers'
// mutex and keeps it while a notice is open), must-uninstall (the
// must-uninstall confirmation: 1001 or 1003), hold-file PATH (keeps the file
// open, shared with no one, while a notice is open), load NAME (loads a DLL
// by name the way any program does, without the engine's restriction of the
// search; result 1 when it was loaded). Prints "result N" for each box.
// deny-key SUBKEY and read-only-key SUBKEY give a key of HKEY_LOCAL_MACHINE
// an access list that lets no one in, or lets everyone only read it; they
// print "result 0" on success. icon-group PATH gives the size of the icon
// group 1 of the executable at PATH (0 when it has none). end-class CLASS
// applies a close rule that ends the process of every window of that class,
// and prints "result 0" once it is back. short-path PATH prints the path's
// short form on a line of its own before "result 0".
#include <windows.h>
#include <sddl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "actions/close_apps.h"
#include "app/gates.h"
#include "state/installer_state.h"
#include "ui/message_box.h"
#include "ui/wizard.h"

namespace palisade {
namespace {

constexpr int kMessageCount = 120;
constexpr wchar_t kMainWindowClass[] = L"PalisadeProbeMain";

void PrintResult(int result) {
  std::printf("result %d\n", result);
  std::fflush(stdout);
}

void SetMessage(const std::wstring& assignment) {
  size_t equals = assignment.find(L'=');
  int number = std::stoi(assignment.substr(0, equals));
  std::wstring text = assignment.substr(equals + 1);
  g_installer.script.messages[static_cast<size_t>(number)][0] = std::u16string(text.begin(), text.end());
}

// A main window off the screen's centre, so that centring on it shows.
HWND CreateMainWindow() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kMainWindowClass;
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(kMainWindowClass, L"Probe main window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 60, 400, 300,
                              nullptr, nullptr, windowClass.hInstance, nullptr);
  return window;
}

int HoldFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  int result = ShowMessage(L"Holding the file", L"Probe", MB_OK);
  CloseHandle(file);
  return result;
}

// The access list in the system's descriptor language: "D:P" alone grants
// nothing; "(A;;KR;;;WD)" lets everyone read.
int LockKey(const std::wstring& subkey, const wchar_t* accessList) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(accessList, SDDL_REVISION_1, &descriptor, nullptr)) return -1;
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, WRITE_DAC, &key);
  if (error == ERROR_SUCCESS) {
    error = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    RegCloseKey(key);
  }
  LocalFree(descriptor);
  return static_cast<int>(error);
}

int IconGroupSize(const std::wstring& path) {
  HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!image) return -1;
  HRSRC group = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
  int size = group ? static_cast<int>(SizeofResource(image, group)) : 0;
  FreeLibrary(image);
  return size;
}

int Run(const std::wstring& action, const wchar_t* argument) {
  if (action == L"ok") return ShowMessage(L"Probe text", L"Probe", MB_OK);
  if (action == L"retrycancel") return ShowMessage(L"Probe text", L"Probe", MB_RETRYCANCEL | MB_ICONWARNING);
  if (action == L"yesnocancel") return ShowMessage(L"Probe text", L"Probe", MB_YESNOCANCEL);
  if (action == L"ask") return Ask(L"Probe question", L"Probe") ? IDYES : IDNO;
  if (action == L"two") {
    PrintResult(ShowMessage(L"First", L"Probe", MB_RETRYCANCEL));
    return ShowMessage(L"Second", L"Probe", MB_RETRYCANCEL);
  }
  if (action == L"abort") Abort();
  if (action == L"must-uninstall") return ConfirmMustUninstall() ? 1001 : 1003;
  if (action == L"hold-file" && argument) return HoldFile(argument);
  if (action == L"deny-key" && argument) return LockKey(argument, L"D:P");
  if (action == L"read-only-key" && argument) return LockKey(argument, L"D:P(A;;KR;;;WD)");
  if (action == L"load" && argument) return LoadLibraryW(argument) ? 1 : 0;
  if (action == L"icon-group" && argument) return IconGroupSize(argument);
  if (action == L"short-path" && argument) {
    std::printf("%s\n", ts::Utf8FromWide(ts::ShortPath(argument)).c_str());
    return 0;
  }
  if (action == L"end-class" && argument) {
    g_installer.script.closeRules = {{ts::Utf8FromWide(argument), "", "", format::close_action::kEndProcess,
                                      format::close_when::kInstall}};
    CloseRunningApplications();
    return 0;
  }
  if (action == L"hold-mutex") {
    if (!AcquireSingleInstanceMutex()) return -1;
    return ShowMessage(L"Holding the mutex", L"Probe", MB_OK);
  }
  return -1;
}

}  // namespace
}  // namespace palisade

int wmain(int argc, wchar_t** argv) {
  using namespace palisade;
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in "\n" as the tests expect
  g_installer.defaultCaption = L"Palisade Setup";
  g_installer.instance = GetModuleHandleW(nullptr);
  g_installer.script.languageNames = {u"English"};
  g_installer.script.messages.assign(kMessageCount, std::vector<std::u16string>(1));
  for (int i = 1; i < argc; ++i) {
    std::wstring argument = argv[i];
    if (argument == L"--silent") {
      g_installer.flags.silent = g_installer.flags.automatic = true;
    } else if (argument == L"--automatic") {
      g_installer.flags.automatic = true;
    } else if (argument == L"--uninstall") {
      g_installer.flags.uninstall = true;
    } else if (argument == L"--main-window") {
      g_installer.backgroundWindow = CreateMainWindow();
    } else if (argument == L"--message" && i + 1 < argc) {
      SetMessage(argv[++i]);
    } else {
      PrintResult(Run(argument, i + 1 < argc ? argv[i + 1] : nullptr));
      return 0;
    }
  }
  return 2;
}
