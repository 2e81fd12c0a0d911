#pragma once
// File types associated with the product: each extension points at a class
// (ProgID) that carries a description, an icon and a command. Every value
// that an association replaces is kept beside it under the backup name, so
// that the uninstaller can put it back.
#include <cstdint>
#include <string_view>

#include "core/ts_text.h"
#include "format/setup_script.h"

namespace palisade {

// One entry of the association list, wide, with its command and icon
// ready to be written.
struct AssociationEntry {
  uint32_t mode = 0;  // format::association_mode
  ts::WText extension;
  ts::WText progId;  // empty or "!...": the class that the extension already names
  ts::WText description;
  ts::WText verb;
  ts::WText verbLabel;
  ts::WText command;
  ts::WText icon;
};

// The script's entry with the variables of its command and icon expanded,
// and a relative icon below the installation folder.
AssociationEntry ResolvedAssociation(const format::AssociationRecord& record);

// The value name that keeps a replaced value: the product's name and
// " Backup", without backslashes, line breaks and tabs.
ts::WText BackupValueName(std::wstring_view productName);

// Whether a text from the script or the record may name a key right below
// the classes root: not empty, and no backslash or control character that
// would reach another key.
bool IsClassKeyName(std::wstring_view name);

// Associates one extension, logging what it did and recording it for the
// uninstaller.
void AssociateFile(AssociationEntry entry, const ts::WText& backupName);

// The installation's step: every entry of the association list, then the
// shell is told.
void AssociateFiles();

}  // namespace palisade
