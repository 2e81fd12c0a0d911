#pragma once
// Undoing what the installation registered beyond its files: associations,
// fonts, taskbar pins, packages, the product key, merged registry lines,
// firewall exceptions and drivers. Each takes what the uninstall record or
// the registration kept.
#include "core/ts_core.h"
#include "record/record_text.h"

namespace palisade {

void RemoveAssociations(const ts::Vector<RecordedAssociation>& associations);
void RemoveFonts(const ts::WText& productFonts);
void UnpinFromTaskbar();
void RemovePackages(const ts::Vector<ts::Text>& packages);
void RemoveProductKey(const ts::WText& productRegistry);
void RemoveMergeLines(const ts::WText& mergeText);
void RemoveFirewallExceptions(const ts::Vector<ts::Text>& firewall);
void RemoveDrivers(const ts::Vector<ts::Text>& drivers);

}  // namespace palisade
