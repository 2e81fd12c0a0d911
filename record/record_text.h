#pragma once
// The text of "Uninstall.DAT": how the record of an installation is written
// and read back, with no file and no machine state involved.
#include <functional>
#include <set>
#include <string_view>

#include "core/ts_text.h"
#include "core/ts_vector.h"
#include "format/setup_script.h"

namespace palisade {

// What the uninstaller does with an entry; the numbers are the stored kinds.
enum class RemovalKind : int {
  kFile = 0,
  kFolder = 1,
  kRegistryValue = 2,  // key path, a backslash, the value name
  kRegistryKey = 3,    // the key with its subkeys, in the default view
  kRegistryKey64 = 4,  // the key with its subkeys, in the 64-bit view
};

// What one run has recorded: the installer as it works, the uninstaller
// with what it could not undo.
struct UninstallRecord {
  ts::Text entries;             // one line per entry, each ending in CR LF
  std::set<ts::WText> folders;  // the folders recorded, ASCII letters lower-cased
  // The lines of the sections that installation steps fill, each ending in CR LF.
  ts::Text associations;
  ts::Text firewall;
  ts::Text drivers;
  ts::Text packages;
};

enum class RecordSection { kAssociations, kFirewall, kDrivers, kPackages };

// The stored form of a text: ASCII as it is, anything else "|" and UTF-8.
ts::Text StoredText(std::wstring_view text);
// A stored text without the bar is in the system's ANSI code page.
ts::WText WideFromStoredText(std::string_view stored);

// Adds an entry line: false, with nothing added, for a text of 3 bytes or
// fewer (a drive root), for a folder recorded before (ASCII letters in any
// case) and for a text with a line break or a NUL, which would let one
// entry pose as several. A kind outside RemovalKind is stored as a file.
bool AddEntry(UninstallRecord& record, std::string_view stored, RemovalKind kind);
// Adds a line to a section; false, with nothing added, for a line with a
// line break or a NUL.
bool AddSectionLine(UninstallRecord& record, RecordSection section, std::string_view line);

struct RecordedAssociation {
  ts::Text extension;
  ts::Text progId;
  ts::Text verb;
  ts::Text icon;
};
// The "[Associations]" line of one file type, without a line end.
ts::Text AssociationLine(const RecordedAssociation& association);

using MessageLookup = std::function<ts::WText(int number)>;

// The whole file: the record's entries and sections, the messages of the
// chosen language, and the script's product heading, close rules, registry
// merge text and conditional deletions kept for the uninstaller.
ts::Text UninstallDataText(const UninstallRecord& record, const format::SetupScript& script,
                           const MessageLookup& message);

struct RecordedMessage {
  int number = 0;
  ts::WText text;
};

// What a file held. Entries are kept as stored, trimmed and in file order,
// and are not checked here: a file can be edited or damaged, so whoever
// acts on an entry must judge the path first.
struct UninstallData {
  ts::Vector<ts::Text> entries;
  ts::Vector<RecordedMessage> messages;
  ts::Text productHeading;  // UTF-8
  ts::Vector<format::CloseRule> closeRules;
  ts::Vector<RecordedAssociation> associations;
  ts::Vector<ts::Text> firewall;
  ts::Vector<ts::Text> drivers;
  ts::Vector<ts::Text> packages;
  ts::WText mergeText;
  ts::Vector<format::ConditionalDeleteRule> conditionalDeletes;
};

// Reads any bytes: lines that fit no rule are passed over.
UninstallData ParseUninstallData(std::string_view text);

struct RecordedEntry {
  RemovalKind kind = RemovalKind::kFile;
  ts::WText text;
};
// An entry's kind, from its marker, and its text, decoded.
RecordedEntry ParseEntry(std::string_view entry);

// Puts the sections of a file back where the writer takes them from (the
// record, and the script for the messages of a one-language table, the
// heading, close rules, merge text and conditional deletions), so that a
// rewrite keeps whatever the uninstaller leaves in place. Entries are not
// taken over: they are recorded again one by one when they remain.
void AdoptUninstallData(const UninstallData& data, UninstallRecord& record, format::SetupScript& script);

}  // namespace palisade
