#include "uninstall/undo_registrations.h"

namespace palisade {

void RemoveAssociations(const ts::Vector<RecordedAssociation>&) {}
void RemoveFonts(const ts::WText&) {}
void UnpinFromTaskbar() {}
void RemovePackages(const ts::Vector<ts::Text>&) {}
void RemoveProductKey(const ts::WText&) {}
void RemoveMergeLines(const ts::WText&) {}
void RemoveFirewallExceptions(const ts::Vector<ts::Text>&) {}
void RemoveDrivers(const ts::Vector<ts::Text>&) {}

}  // namespace palisade
