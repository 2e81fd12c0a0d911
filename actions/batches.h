#pragma once
// Batch files: command-interpreter commands of the product run at fixed
// moments, behind lines that hand them the installation variables.
#include <functional>
#include <string_view>

#include "actions/batch_text.h"
#include "core/ts_text.h"
#include "format/setup_script.h"

namespace palisade {

// Writes `commands` into a batch file behind the variable lines, runs it
// with the command interpreter and waits for it. With a log name the run is
// logged under that name and its output is copied into the log. True when
// there was nothing to run or it ran; false, logged (and shown unless the
// run is automatic), when it could not be written or started. What the
// commands themselves do is not judged.
bool RunBatch(const ts::WText& commands, bool hidden, const wchar_t* logName);

// One of the script's installation batches, with the command line's
// additions, its window and its output as the product's flags say.
void RunScriptBatch(format::BatchIndex batch);

// The batches before the files. The upgrade and reinstall batches follow
// through RunScriptBatch where the existing installation is judged.
void RunPreInstallBatches();
void RunPostInstallBatch();
void RunExitBatch();
// An uninstall batch (the first before anything is removed, the second at
// the end), with a hidden window when asked.
void RunUninstallBatch(const ts::WText& commands, bool hidden);

// Whether the system's command interpreter reads a batch in UTF-8 after
// "chcp 65001" (Windows 7 and later).
bool SystemReadsUtf8Batches();

// The pure parts, for the tests.

// The SET lines of the installation variables in the batch's order; `value`
// gives a variable's value by its name with the percent signs.
using VariableValue = std::function<ts::WText(std::wstring_view name)>;
ts::WText BatchVariableLines(const VariableValue& value);

}  // namespace palisade
