#pragma once
// The uninstall record, "Uninstall.DAT": what an installation did, kept for
// the uninstaller, which reads it and rewrites it with what it could not
// undo. The record's text form is in record_text.h.
#include <windows.h>

#include <set>
#include <string_view>

#include "core/ts_text.h"
#include "record/record_text.h"

namespace palisade {

// The run's record, built up by every step and written once at the end.
extern UninstallRecord g_uninstallRecord;

// Records one thing the uninstaller must remove, in the order of the steps.
// The narrow form takes a stored text ("|" and UTF-8 unless ASCII); the
// wide form stores its text first. False when nothing was recorded: a text
// of 3 bytes or fewer (a drive root is never removed), a folder recorded
// before (ASCII letters in any case), a text with a line break.
bool RecordForRemoval(std::string_view stored, RemovalKind kind);
bool RecordForRemoval(const ts::WText& text, RemovalKind kind);

// Adds a line to the associations, firewall, driver or package section;
// false for a line with a line break.
bool RecordSectionLine(RecordSection section, std::string_view line);

// Empties the entries and the folder set, as the uninstaller does before it
// removes anything and after it has rewritten the file.
void ClearRecordedEntries();

ts::WText UninstallDataPath(const ts::WText& uninstallFolder);

// Writes the whole file from the run's record and script, replacing an
// earlier one, and gives the hash of the bytes written (record_hashes.h);
// false with the reason in `error` when it cannot.
bool WriteUninstallData(const ts::WText& path, ts::Text& error, ts::WText& hash);

// Reads the file, and gives the hash of the very bytes it parsed, so that
// nothing can change between the check and the reading; ERROR_SUCCESS, or
// the system's error number with `data` untouched.
DWORD ReadUninstallData(const ts::WText& path, UninstallData& data, ts::WText& hash);

// The folders that the file at `path` lists, ASCII letters lower-cased,
// when the product's key (`keyPath` below HKLM) vouches for the file
// (record_hashes.h); none when it cannot be read or is not vouched for,
// as a record that a user put into a folder of theirs before the first
// installation.
std::set<ts::WText> RecordedFolders(const ts::WText& path, const ts::WText& keyPath);


}  // namespace palisade
