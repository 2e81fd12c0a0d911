#pragma once
// The values of the product's uninstall key, computed from what the run
// knows, in the order in which they are written. Pure: the writer applies
// the list, the tests read it.
#include <cstdint>
#include <vector>

#include "core/ts_text.h"
#include "format/setup_script.h"

namespace palisade {

struct UninstallKeyValue {
  enum class Kind { kText, kExpandableText, kNumber, kDelete };
  ts::WText subkey;  // below the uninstall key; empty for the key itself
  ts::WText name;
  Kind kind = Kind::kText;
  ts::WText text;
  uint32_t number = 0;
  // One of the script's own values, whose failure the run reports by name;
  // the engine's values are checked as a whole through UninstallString.
  bool extra = false;
};

// What the registration needs beyond the script.
struct RegistrationFacts {
  ts::WText uninstallerPath;
  ts::WText uninstallName;
  ts::WText installerPath;
  ts::WText installFolder;
  ts::WText sharedFolder;
  uint32_t productFlags2 = 0;
  uint64_t installedBytes = 0;
  ts::WText installDate;  // "yyyymmdd"
  ts::WText sharedFiles;  // ";"-separated
  ts::WText displayIcon;  // "product.ico" when it was written
  ts::WText fonts;
  ts::WText displayTitle;  // the title that the background window shows
};

// Replaces the installation variables in a text, in place.
using TextExpander = void (*)(ts::WText& text);

// The texts of the script's extra values go through `expand` before they
// are stored or read as numbers; a value of an unknown type is reported
// through `unknownType`, which the caller turns into a corrupt installer.
std::vector<UninstallKeyValue> UninstallKeyValues(const format::SetupScript& script, const RegistrationFacts& facts,
                                                  TextExpander expand, bool& unknownType);

// The name by which a failing extra value is reported: the script's own,
// sub-key included.
ts::WText ExtraValueName(const UninstallKeyValue& value);

// The uninstaller's arguments that name the product to remove.
ts::WText UninstallerArguments(const ts::WText& uninstallName);
// The command lines that start the uninstaller for this product.
ts::WText UninstallString(const RegistrationFacts& facts);
ts::WText QuietUninstallString(const RegistrationFacts& facts);

// The folder that the product adds to the search path: the installation
// folder, the subfolder itself when it is absolute, else the subfolder
// below the installation folder.
ts::WText SearchPathFolder(const ts::WText& installFolder, const ts::WText& subfolder);

// `path` without the entry `folder` (in any letter case), or unchanged.
ts::WText SearchPathWithout(const ts::WText& path, const ts::WText& folder);

// `path` with `folder` appended as one more entry, or `path` unchanged when
// it holds the folder already (in any letter case). Empty for an empty path.
ts::WText SearchPathWith(const ts::WText& path, const ts::WText& folder);

}  // namespace palisade
