#include "uninstall/self_delete.h"

#include <windows.h>

#include "core/system_facts.h"
#include "core/ts_format.h"
#include "core/ts_system.h"
#include "uninstall/removal_safety.h"

namespace palisade {
namespace {

constexpr int kMaxFolderLines = 50;
constexpr wchar_t kBatchName[] = L"delunins.bat";

bool IsAscii(const ts::WText& text) {
  for (wchar_t c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

// UTF-8 after "chcp 65001" where the command interpreter understands it,
// else the Western code page, as the system's batch files are written.
ts::Text EncodedBatch(const ts::WText& commands) {
  bool utf8 = !IsAscii(commands) && (ts::System().major > 6 || (ts::System().major == 6 && ts::System().minor >= 1));
  if (utf8) return "@chcp 65001 >nul\r\n" + ts::Utf8FromWide(commands);
  int length = WideCharToMultiByte(1252, 0, commands.data(), static_cast<int>(commands.size()), nullptr, 0, "?", nullptr);
  ts::Text text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(1252, 0, commands.data(), static_cast<int>(commands.size()), text.data(), length, "?", nullptr);
  return "@chcp 1252 >nul\r\n" + text;
}

bool WriteBatch(const ts::WText& path, const ts::Text& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  return CloseHandle(file) && ok;
}

bool StartHidden(const ts::WText& batch) {
  ts::WText command = L"\"" + ts::CommandInterpreter() + L"\" /c \"" + ts::ShortPath(batch) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

ts::WText BatchCommandLine(const ts::WText& commandLine) {
  ts::WText line;
  bool quoted = false;
  for (wchar_t c : commandLine) {
    if (c == L'"') quoted = !quoted;
    if (c == L'%') {
      line += L'%';
    } else if (!quoted && (c == L'^' || c == L'&' || c == L'|' || c == L'<' || c == L'>')) {
      line += L'^';
    }
    line += c;
  }
  return line;
}

ts::WText SelfDeletionCommands(const ts::WText& uninstaller, const ts::WText& installFolder,
                               const ts::WText& uninstallSubfolder, const ts::WText& batch, bool wholeInstallFolder,
                               const ts::WText& thenStart) {
  ts::WText commands = ts::Format(L":Repeat\r\ndel \"%s\"\r\nif exist \"%s\" goto Repeat\r\nCHOICE /T 3 /D Y\r\n",
                                  uninstaller.c_str(), uninstaller.c_str());
  ts::WText subfolder = uninstallSubfolder;
  while (!subfolder.empty() && subfolder.back() == L'\\') subfolder.pop_back();
  for (int line = 0; line < kMaxFolderLines && !subfolder.empty(); ++line) {
    commands += L"rd \"" + installFolder + L"\\" + subfolder + L"\"\r\n";
    size_t slash = subfolder.find_last_of(L'\\');
    subfolder = slash == ts::WText::npos ? ts::WText() : subfolder.substr(0, slash);
  }
  commands += (wholeInstallFolder ? L"rd /s /q \"" : L"rd \"") + installFolder + L"\"\r\n";
  if (!thenStart.empty()) {
    ts::WText folder = ts::ProgramFolderOf(thenStart);
    commands += L"start \"\" " + (folder.empty() ? L"" : L"/D \"" + folder + L"\" ") + BatchCommandLine(thenStart) + L"\r\n";
  }
  commands += L"del \"" + batch + L"\"\r\n";
  return commands;
}

bool DeleteUninstaller(const ts::WText& uninstaller, const ts::WText& installFolder,
                       const ts::WText& uninstallSubfolder, bool wholeInstallFolder, const ts::WText& thenStart) {
  ts::WText batch = ts::TempFolder() + L"\\" + kBatchName;
  bool whole = wholeInstallFolder && IsRemovableFolder(installFolder, ProtectedFolders());
  ts::WText commands = SelfDeletionCommands(uninstaller, installFolder, uninstallSubfolder, batch, whole, thenStart);
  return WriteBatch(batch, EncodedBatch(commands)) && StartHidden(batch);
}

}  // namespace palisade
