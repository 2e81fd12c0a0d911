#pragma once
// The product's registration in the system's list of installed programs, and the uninstaller beside it.

namespace palisade {

// The uninstall data folder and the shared folder, with their rights.
void CreateDataFolders();
// The background picture, readme and license copies for the uninstaller, and the search-path entry.
void WriteExtraFiles();
// The uninstaller image, with its icon.
void WriteUninstaller();
// The product's uninstall key and its values.
void RegisterProduct();

}  // namespace palisade
