#include "record/uninstall_record.h"

#include "state/installer_state.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "format/product_flags.h"
#include "payload/messages.h"
#include "payload/variables.h"
#include "record/record_hashes.h"

namespace palisade {

UninstallRecord g_uninstallRecord;

namespace {

constexpr wchar_t kDataFileName[] = L"Uninstall.DAT";

// A short read leaves the file object's own reason, which has no number.
DWORD ReadErrorCode(const ts::File& file) { return file.LastErrorCode() ? file.LastErrorCode() : ERROR_READ_FAULT; }

}  // namespace

bool RecordForRemoval(std::string_view stored, RemovalKind kind) { return AddEntry(g_uninstallRecord, stored, kind); }

bool RecordForRemoval(const ts::WText& text, RemovalKind kind) { return RecordForRemoval(StoredText(text), kind); }

bool RecordSectionLine(RecordSection section, std::string_view line) {
  return AddSectionLine(g_uninstallRecord, section, line);
}

void ClearRecordedEntries() {
  g_uninstallRecord.entries.clear();
  g_uninstallRecord.folders.clear();
}

ts::WText UninstallDataPath(const ts::WText& uninstallFolder) { return uninstallFolder + L"\\" + kDataFileName; }

bool WriteUninstallData(const ts::WText& path, ts::Text& error, ts::WText& hash) {
  ts::Text text = UninstallDataText(g_uninstallRecord, g_installer.script, MessageText);
  ts::File file;
  if (!file.Create(path) || !file.WriteBlock(text.data(), static_cast<int>(text.size()))) {
    error = file.LastError();
    return false;
  }
  hash = HashOfBytes(text);
  return true;
}

DWORD ReadUninstallData(const ts::WText& path, UninstallData& data, ts::WText& hash) {
  ts::File file;
  ts::Text text;
  if (!file.OpenForReading(path) || !file.ReadWhole(text)) return ReadErrorCode(file);
  data = ParseUninstallData(text);
  hash = HashOfBytes(text);
  return ERROR_SUCCESS;
}

std::set<ts::WText> RecordedFolders(const ts::WText& path, const ts::WText& keyPath) {
  UninstallData data;
  ts::WText hash;
  std::set<ts::WText> folders;
  if (ReadUninstallData(path, data, hash) != ERROR_SUCCESS || !KeyVouchesForRecord(keyPath, hash)) return folders;
  for (const ts::Text& line : data.entries) {
    RecordedEntry entry = ParseEntry(line);
    if (entry.kind == RemovalKind::kFolder) folders.insert(ts::AsciiLowerCase(entry.text));
  }
  return folders;
}

}  // namespace palisade
