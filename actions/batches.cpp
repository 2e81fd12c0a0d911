#include "actions/batches.h"

#include <windows.h>

#include "actions/install_log.h"
#include "core/system_facts.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_private_folder.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "payload/variables.h"
#include "state/installation_type.h"
#include "state/installer_state.h"
#include "ui/message_box.h"
#include "core/ts_deferred.h"

namespace palisade {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;
namespace flags2 = format::product_flags2;

constexpr wchar_t kBatchFileName[] = L"SETUPBAT.BAT";
constexpr wchar_t kCaptureFileName[] = L"cs_batch.log";
constexpr wchar_t kErrorCaption[] = L"Error";

struct BatchVariable {
  const wchar_t* name;
  bool quoted;  // texts are quoted whole, so that blanks in them stay in the value
};

constexpr BatchVariable kBatchVariables[] = {
    {L"InstallDir", true},     {L"Bits", true},           {L"UninstallDir", true},     {L"SharedDir", true},
    {L"InstallerFilepath", true}, {L"InstallerDir", true}, {L"InstallerFilename", true}, {L"InstallerDrive", true},
    {L"SystemDir", true},      {L"DeviceDir", true},      {L"MediaDir", true},         {L"FavoritesDir", true},
    {L"FavoritesAllDir", true}, {L"FontDir", true},       {L"DesktopDir", true},       {L"DesktopAllDir", true},
    {L"DesktopShortcuts", true}, {L"DocumentDir", true},  {L"DocumentAllDir", true},   {L"ProductName", true},
    {L"CompanyName", true},    {L"ProgramsDir", true},    {L"ProgramsDir32", true},    {L"ProgramsDir64", true},
    {L"StartMenuAllDir", true}, {L"StartMenuChosen", true}, {L"StartMenuDir", true},   {L"SMProgramsDir", true},
    {L"SMProgramsAllDir", true}, {L"StartupDir", true},   {L"StartupAllDir", true},    {L"CommonDir", true},
    {L"CommonDir32", true},    {L"CommonDir64", true},    {L"Inetpub", true},          {L"AppDataDir", true},
    {L"AppDataAllDir", true},  {L"InstallDrive", false},  {L"BootDrive", false},       {L"Version", false},
    {L"OldVersion", false},    {L"Portable", false},      {L"OldVersionMajor", false}, {L"OldVersionMinor", false},
    {L"OS", false},            {L"OSMajor", false},       {L"OSMinor", false},         {L"OSName", false},
    {L"OSDescription", false}, {L"OSServer", false},
};

// How each installation batch runs: the bit that hides its window and the
// bit that copies its output into the log, under the name the log gives it.
struct ScriptBatch {
  format::BatchIndex batch;
  bool hiddenInHighWord;
  uint32_t hiddenBit;
  uint32_t captureBit;  // of `ProductFlags2`; 0: never captured
  const wchar_t* logName;
  int addition;  // the /b1: to /b3: commands appended; -1 for none
};

constexpr ScriptBatch kScriptBatches[] = {
    {format::kPreInstallBatch, false, low::kPreInstallBatchHidden, flags2::kCapturePreInstallBatch,
     L"Pre-Installation Batch", 0},
    {format::kUpgradeBatch, true, high::kUpgradeBatchHidden, flags2::kCaptureUpgradeBatch, L"Upgrade Batch", -1},
    {format::kReinstallBatch, true, high::kReinstallBatchHidden, flags2::kCaptureReinstallBatch, L"Reinstall Batch",
     -1},
    {format::kPostInstallBatch, false, low::kPostInstallBatchHidden, flags2::kCapturePostInstallBatch,
     L"Post-Installation Batch", 1},
    {format::kExitBatch, false, low::kExitBatchHidden, 0, L"Installation-Exit Batch", 2},
};

bool IsBlank(std::wstring_view text) { return text.find_first_not_of(L" \t\r\n") == std::wstring_view::npos; }

ts::WText VariableValueByName(std::wstring_view name) {
  for (const InstallationVariable& variable : InstallationVariables()) {
    if (name == variable.name) return variable.value();
  }
  return {};
}

bool Exists(const ts::WText& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ReportBatchFailure(const wchar_t* format, const ts::WText& path, const ts::WText& reason) {
  ts::WText text = ts::Format(format, path.c_str(), reason.c_str());
  if (!g_installer.flags.automatic) ShowMessage(text, kErrorCaption, MB_ICONERROR | MB_SETFOREGROUND);
  LogWideConcat({text, L"\r\n\r\n"});
}

// The batch and its capture file live in a folder of their own that only
// the run can write, so that nobody can change the batch before the
// command interpreter reads it, nor have a file of theirs taken for it.
bool WriteBatchFile(ts::PrivateFolder& folder, const ts::Text& bytes, ts::WText& path) {
  DWORD error = folder.Create();
  path = folder.Path().empty() ? ts::TempFolder() + L"\\" + kBatchFileName : folder.FileIn(kBatchFileName);
  ts::File file;
  if (error == ERROR_SUCCESS && file.CreateNew(path) && file.WriteBlock(bytes.data(), static_cast<int>(bytes.size()))) {
    return true;
  }
  ts::WText reason = error != ERROR_SUCCESS ? ts::SystemErrorTextW(error) : ts::WideFromUtf8(file.LastError());
  ReportBatchFailure(L"Unable to create batch file \"%s\".\r\n\r\n%s", path, reason);
  return false;
}

// An empty capture file, or empty when none can be made (the run goes on
// without its output).
ts::WText CreateCaptureFile(const ts::PrivateFolder& folder) {
  ts::WText path = folder.FileIn(kCaptureFileName);
  ts::File file;
  if (file.CreateNew(path)) return path;
  LogWideConcat({L"Failed to create batch output capture file.  ", ts::WideFromUtf8(file.LastError()), L"\r\n"});
  return {};
}

// The interpreter writes in the code page that the batch set, so the
// output is read in that same code page.
void LogCapturedOutput(const ts::WText& path, bool utf8) {
  ts::File file;
  ts::Text output;
  if (!file.OpenForReading(path) || !file.ReadWhole(output)) return;
  size_t end = output.find_last_not_of(" \t\r\n");
  if (end == ts::Text::npos) return;
  output.resize(end + 1);
  output += "\r\n\r\n";
  if (utf8) {
    LogRaw(output);
  } else {
    LogText(output);
  }
}

// The capture file may still be held by a process the batch left running;
// then it and its folder go at the next restart.
void RemoveBatchFolder(ts::PrivateFolder& folder, const ts::WText& capture) {
  if (!capture.empty() && !DeleteFileW(capture.c_str()) && Exists(capture)) {
    ts::DeleteAtRestart(capture);
    ts::DeleteAtRestart(folder.Path());
    folder.Release();
    return;
  }
  folder.Remove();
}

bool HighFlag(uint32_t bit) { return (g_installer.script.productFlagsHigh & bit) != 0; }
bool LowFlag(uint32_t bit) { return (g_installer.script.productFlagsLow & bit) != 0; }

}  // namespace

bool SystemReadsUtf8Batches() {
  const ts::SystemRecord& system = ts::System();
  return system.platform == ts::kPlatformNt && (system.major > 6 || (system.major == 6 && system.minor >= 1));
}

ts::WText BatchVariableLines(const VariableValue& value) {
  ts::WText lines;
  for (const BatchVariable& variable : kBatchVariables) {
    ts::WText text = value(L"%" + ts::WText(variable.name) + L"%");
    ts::WText line = variable.quoted ? ts::Format(L"SET \"%s=%s\"", variable.name, text.c_str())
                                     : ts::Format(L"SET %s=%s", variable.name, text.c_str());
    lines += BatchLiteral(line) + L"\r\n";
  }
  return lines;
}

bool RunBatch(const ts::WText& commands, bool hidden, const wchar_t* logName) {
  if (IsBlank(commands)) return true;
  hidden = hidden || g_installer.flags.silent;
  if (logName) LogWideConcat({L"\r\nRunning ", logName, L"...\r\n"});
  ts::WText interpreter = ts::CommandInterpreter();
  if (!Exists(interpreter)) {
    LogWideConcat({L"The CLI ", interpreter, L" does not exist!\r\n"});
    return false;
  }
  bool utf8 = false;
  ts::Text bytes = BatchFileBytes(BatchVariableLines(VariableValueByName), commands, SystemReadsUtf8Batches(),
                                  hidden || g_installer.flags.automatic, utf8);
  ts::PrivateFolder folder;
  ts::WText path;
  if (!WriteBatchFile(folder, bytes, path)) return false;
  ts::WText command = ts::ShortPath(path);
  ts::WText capture = logName ? CreateCaptureFile(folder) : ts::WText();
  if (!capture.empty()) command += L" > " + ts::ShortPath(capture);
  bool ran = ts::RunBatchAndWait(command, hidden);
  if (!ran) {
    ReportBatchFailure(L"Unable to launch batch file \"%s\".\r\n\r\n%s", path, ts::SystemErrorTextW(GetLastError()));
  }
  if (ran && !capture.empty()) LogCapturedOutput(capture, utf8);
  DeleteFileW(path.c_str());
  RemoveBatchFolder(folder, capture);
  return ran;
}

void RunScriptBatch(format::BatchIndex batch) {
  for (const ScriptBatch& entry : kScriptBatches) {
    if (entry.batch != batch) continue;
    ts::WText commands = ts::WideFromUtf8(g_installer.script.batches[batch]);
    if (entry.addition >= 0) {
      commands = BatchWithAdditions(commands, ts::WideFromAnsi(g_installer.commandLine.batchAdditions[entry.addition]));
    }
    bool hidden = entry.hiddenInHighWord ? HighFlag(entry.hiddenBit) : LowFlag(entry.hiddenBit);
    bool capture = (g_installer.productFlags2 & entry.captureBit) != 0;
    RunBatch(commands, hidden, capture ? entry.logName : nullptr);
  }
}

// The kind of installation picks the batches that follow the
// pre-installation batch: the upgrade batch, then the reinstall batch.
void RunPreInstallBatches() {
  RunScriptBatch(format::kPreInstallBatch);
  if (RunsUpgradeBatch(g_installer.installationType)) RunScriptBatch(format::kUpgradeBatch);
  if (RunsReinstallBatch(g_installer.installationType, g_installer.productFlags2)) {
    RunScriptBatch(format::kReinstallBatch);
  }
}
void RunPostInstallBatch() { RunScriptBatch(format::kPostInstallBatch); }
void RunExitBatch() { RunScriptBatch(format::kExitBatch); }

void RunUninstallBatch(const ts::WText& commands, bool hidden) { RunBatch(commands, hidden, nullptr); }

}  // namespace palisade
