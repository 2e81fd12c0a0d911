#pragma once
// The installation folder: whether it is fit to take the product, and the
// access list of the folders that the installation makes on its way. An
// elevated run must not write where a standard user steers it (through a
// link, or into a folder the user owns), nor leave a folder that users can
// write below a drive root.
#include <vector>

#include "core/ts_text.h"

namespace palisade {

// The steps of a full path from its root down: "C:\", "C:\A", "C:\A\B";
// "\\server\share\", "\\server\share\A". A closing backslash adds no step.
std::vector<ts::WText> PathSteps(const ts::WText& fullPath);

// Why `folder` may not take the product, as the failure text; empty when
// it may. Refused: a step on its way that is a link (judged on each step
// that exists), and, for a run with an administrator's rights, a step below
// the drive root owned by anyone but the administrators. The folder of the
// product's own earlier installation is taken as it is; so is a volume that
// keeps no owners (FAT).
ts::WText InstallFolderRefusal(const ts::WText& folder, bool earlierInstallationsFolder);

// A folder made on the way to one of `productFolders` (or one of them),
// outside `programFolders` (the folders that other users cannot write
// already), gets the program folders' own access list: below a drive root
// or in the program data folder it would inherit write access for users.
// Folders made inside such a folder inherit its list.
bool NeedsProgramFolderList(const ts::WText& folder, const std::vector<ts::WText>& productFolders,
                            const std::vector<ts::WText>& programFolders);

// Makes one folder of the product, with the program folders' access list
// when NeedsProgramFolderList says so for this run's installation and
// shared folders and the run has an administrator's rights (a standard
// user's own installation keeps what it inherits, or the user would lose
// the right to change it). ERROR_SUCCESS or the system's error.
unsigned long CreateProductFolder(const ts::WText& folder);

// A folder found on the way to the installation or shared folder when it
// is about to be used that is a link would take the product elsewhere
// (one put there after the installation folder was checked, or on the way
// to the shared folder): true, with the reason for the failure.
bool LeadsElsewhere(const ts::WText& folder, ts::WText& reason);

}  // namespace palisade
