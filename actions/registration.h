#pragma once
// The product's registration in the system's list of installed programs,
// the uninstaller beside it, and the smaller tail actions of the run.
#include "core/ts_text.h"

namespace palisade {

struct Payload;

// The product has an uninstaller, a registration and an uninstall record.
bool HasUninstaller();
// Where the uninstaller goes, and the arguments that make it remove this
// product.
ts::WText UninstallerPath();
ts::WText UninstallerArgumentsOfProduct();

// The uninstall data folder, before the files are installed.
void CreateDataFolders();
// The product's folder added to the system search path, when the script
// asks for it.
void WriteExtraFiles();
// "uninstall.ico" beside the uninstaller, for its shortcuts.
void WriteUninstallerIcon();
// The uninstaller: the installer itself, or its image without the payload,
// which gets the script's uninstaller icon.
void WriteUninstaller(const Payload& payload);
// The product's uninstall key and its values with "product.ico", the
// registry value that keeps the installation folder, and the restart marker
// "reboot.dat", each when the script asks for it.
void RegisterProduct();
// The installation's last word on the record: written into the uninstall
// data folder when the product has an uninstaller; a failure goes to the
// failure summary and the installation goes on.
void WriteUninstallRecord();

// The machine's search path as stored (empty when it cannot be read), and
// writing it back; the installer adds the product's folder, the uninstaller
// takes it out.
ts::WText MachineSearchPath();
void SetMachineSearchPath(const ts::WText& path);

}  // namespace palisade
