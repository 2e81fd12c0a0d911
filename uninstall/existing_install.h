#pragma once
// Earlier installations: of the product itself, which decide the folder,
// whether the new version may be installed and what kind of installation
// the run is, and of the master product that an add-on extends.
#include "core/ts_text.h"
#include "state/installation_type.h"

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

// What the product's own uninstall key says of an earlier installation.
struct EarlierInstallation {
  ts::WText location;        // `InstallLocation`, or else the folder the installation-folder value holds
  ts::WText version;         // `DisplayVersion`
  ts::WText programGroup;    // `ProductStartMenu`
  ts::WText downgradeFloor;  // `NoDowngradeBelow`, trimmed
  bool locationExists = false;
};

// A text of nothing but blanks, tabs and line breaks.
bool IsBlank(const ts::WText& text);
// The kind of installation by the versions; kOverExisting when they are
// not compared, or when either is blank.
InstallationType InstallationTypeOf(const ts::WText& oldVersion, const ts::WText& newVersion, bool compareVersions);
// The earlier version must be uninstalled first: any version when no limit
// is given, else one below the limit.
bool MustUninstallFirst(const ts::WText& oldVersion, const ts::WText& mustUninstallBelow);
// The new version is below the floor that the installed product set.
bool BelowDowngradeFloor(const ts::WText& newVersion, const ts::WText& floor);
// The upgrade warning is due: the script asks for it, an earlier version
// is known, and it is below the warning's limit (any version without one).
bool WarnsOfUpgrade(bool warnWhenUpgrading, const ts::WText& oldVersion, const ts::WText& upgradeWarningBelow);
// The earlier uninstaller's command with the hand-over that starts this
// installer again once it is done: this installer's command line with its
// double quotes as backquotes, as /r: carries them.
ts::WText HandOverCommand(const ts::WText& uninstallCommand, const ts::WText& ownCommandLine);

// Reads the earlier installation's registration: its folder, version,
// shared-file list, start-menu folder and downgrade floor.
void ReadEarlierInstallation();
// The folder that the product's own registration names and that still
// exists: an administrator's installation made it the product's.
bool IsEarlierInstallationFolder(const ts::WText& folder);
// Decides over an earlier installation that still has its folder: hands
// over to its uninstaller when it must go first, refuses a version below
// its floor, asks about the kind of installation and warns of an upgrade,
// and takes its folder. A folder named by a registry value is final and
// none of this runs.
void ExamineExistingInstallation();

}  // namespace palisade
