#pragma once
// Earlier installations: of the product itself, and of the master product
// that an add-on extends.
#include "core/ts_text.h"

namespace palisade {

struct InstalledProduct {
  ts::WText version;   // `DisplayVersion`
  ts::WText location;  // `InstallLocation`
};

// True when the product's uninstall key exists and names an uninstaller.
bool FindInstalledProduct(const ts::WText& uninstallName, InstalledProduct& product);

// The master-product check: refuses the run when the master product is
// missing or older than the script's minimum version, and takes its folder
// for the "<master>" folder rule.
void CheckMasterProduct();

// Reads the earlier installation's registration.
void ReadEarlierInstallation();
// Decides between first installation, reinstallation, upgrade and refusal.
void ExamineExistingInstallation();

}  // namespace palisade
