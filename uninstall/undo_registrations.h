#pragma once
// Undoing what the installation registered beyond its files: associations,
// taskbar pins, the product key, merged registry lines and firewall
// exceptions (fonts, packages and drivers: undo_components.h). Each takes
// what the uninstall record or the registration kept.
#include "core/ts_core.h"
#include "record/record_text.h"

namespace palisade {

// Each file type goes back to what it was: the values that the installation
// replaced are put back from their backups, and the keys that it made go
// once nothing else is left in them. `productName` names the backups. Only
// the product's own classes are touched: those whose command runs a
// program of `installFolder` or keeps the backup of the command it replaced.
void RemoveAssociations(const ts::Vector<RecordedAssociation>& associations, const ts::WText& productName,
                        const ts::WText& installFolder);
// The entries of the record that are taskbar pins, unpinned by the shell.
void UnpinFromTaskbar(const ts::Vector<ts::Text>& entries);
// The product's key below Software, in the machine's hive and in every
// user's, with its sub-keys, then its parents while they are empty. The
// 64-bit view for a 64-bit product.
void RemoveProductKey(const ts::WText& productRegistry, bool product64);
// The values of the [Registry2] lines whose action removes them, then the
// keys that the lines name when nothing is left in them, deepest first.
void RemoveMergeLines(const ts::WText& mergeText, bool product64);
// The exceptions of the recorded [Firewall] lines; a line of another field
// count is passed over.
void RemoveFirewallExceptions(const ts::Vector<ts::Text>& firewall);

}  // namespace palisade
