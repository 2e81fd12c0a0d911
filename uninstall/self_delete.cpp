#include "uninstall/self_delete.h"

#include <windows.h>

#include "actions/batch_text.h"
#include "actions/batches.h"
#include "core/ts_file.h"
#include "core/ts_private_folder.h"
#include "core/ts_system.h"

namespace palisade {
namespace {

constexpr int kMaxFolderLines = 50;
constexpr wchar_t kBatchName[] = L"delunins.bat";

// A path in double quotes as the batch must read it.
ts::WText Quoted(const ts::WText& path) { return BatchLiteral(L"\"" + path + L"\""); }

bool WriteBatch(const ts::WText& path, const ts::Text& text) {
  ts::File file;
  return file.CreateNew(path) && file.WriteBlock(text.data(), static_cast<int>(text.size()));
}

}  // namespace

ts::WText SelfDeletionCommands(const ts::WText& uninstaller, const ts::WText& installFolder,
                               const ts::WText& uninstallSubfolder, const ts::WText& batch,
                               const ts::WText& thenStart) {
  ts::WText commands = L":Repeat\r\ndel " + Quoted(uninstaller) + L"\r\nif exist " + Quoted(uninstaller) +
                       L" goto Repeat\r\nCHOICE /T 3 /D Y\r\n";
  ts::WText subfolder = uninstallSubfolder;
  while (!subfolder.empty() && subfolder.back() == L'\\') subfolder.pop_back();
  for (int line = 0; line < kMaxFolderLines && !subfolder.empty(); ++line) {
    commands += L"rd " + Quoted(installFolder + L"\\" + subfolder) + L"\r\n";
    size_t slash = subfolder.find_last_of(L'\\');
    subfolder = slash == ts::WText::npos ? ts::WText() : subfolder.substr(0, slash);
  }
  commands += L"rd " + Quoted(installFolder) + L"\r\n";
  if (!thenStart.empty()) {
    ts::WText folder = ts::ProgramFolderOf(thenStart);
    commands += L"start \"\" " + (folder.empty() ? L"" : L"/D " + Quoted(folder) + L" ") + BatchLiteral(thenStart) +
                L"\r\n";
  }
  commands += L"del " + Quoted(batch) + L"\r\n";
  return commands;
}

// The interpreter drops the outer quotes of what follows "/c" and reads the
// rest as one command line.
ts::WText SelfDeletionArguments(const ts::WText& batch, const ts::WText& folder) {
  return L"\"\"" + batch + L"\" & rd \"" + folder + L"\"\"";
}

bool DeleteUninstaller(const ts::WText& uninstaller, const ts::WText& installFolder,
                       const ts::WText& uninstallSubfolder, const ts::WText& thenStart) {
  ts::PrivateFolder folder;
  if (folder.Create() != ERROR_SUCCESS) return false;
  ts::WText batch = folder.FileIn(kBatchName);
  bool utf8 = false;
  ts::Text text =
      EncodedBatch(SelfDeletionCommands(uninstaller, installFolder, uninstallSubfolder, batch, thenStart),
                   SystemReadsUtf8Batches(), utf8);
  if (!WriteBatch(batch, text) ||
      !ts::StartBatchHidden(SelfDeletionArguments(ts::ShortPath(batch), ts::ShortPath(folder.Path())))) {
    DeleteFileW(batch.c_str());
    return false;
  }
  // The interpreter removes the folder once the batch has ended.
  folder.Release();
  return true;
}

}  // namespace palisade
