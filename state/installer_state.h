#pragma once
// The one process-wide record of a run, alive from start to exit.
#include <windows.h>

#include <cstdint>
#include <set>

#include "core/ts_core.h"
#include "format/setup_script.h"
#include "state/follow_ups.h"
#include "state/installation_type.h"

namespace palisade {

enum class Bitness : uint8_t { kEither = 0, k64Bit = 1, k32BitOnly = 2 };

// Whether the product's folders and keys are the 64-bit ones. The 64-bit
// engine runs only on 64-bit systems, where a product for either system is
// the 64-bit one.
inline bool IsProduct64(uint8_t bitness) {
  constexpr bool kEngine64 = sizeof(void*) == 8;
  return bitness == static_cast<uint8_t>(Bitness::k64Bit) ||
         (kEngine64 && bitness == static_cast<uint8_t>(Bitness::kEither));
}

struct RunFlags {
  bool automatic = false;  // take every default, ask nothing
  bool silent = false;     // no window at all; implies automatic
  bool uninstall = false;
  bool minimised = false;  // the background window starts minimised
};

// What the command line can set or override besides the run flags.
struct CommandLineValues {
  ts::WText installFolder;
  ts::WText productName;
  ts::WText uninstallName;
  ts::WText runAfterInstall;
  // Appended to the pre-installation, post-installation and exit batches;
  // in the system's ANSI code page, as the command interpreter reads them.
  ts::Text batchAdditions[3];
};

// Where the installation folder comes from once the script is read.
enum class InstallFolderSource {
  kFolder,    // installFolder holds it
  kRegistry,  // a registry value names it: installFolder holds the value's path until the folder phase reads it
  kMaster,    // the master product's folder, found by the master-product check
};

// What the user checked on the summary page, carried out at the end of the
// run; all false unless the page set them.
struct SummaryChoices {
  bool openDocument = false;
  bool launchProgram = false;
  bool viewLog = false;
  bool openSecond = false;
};

struct InstallerState {
  ts::WText defaultCaption;
  ts::Text defaultCaptionNarrow;
  HINSTANCE instance = nullptr;
  RunFlags flags;
  CommandLineValues commandLine;
  // The setup script as read, with its defaults applied; narrow texts UTF-8.
  format::SetupScript script;
  uint32_t productFlags2 = 0;  // from the payload header
  int language = 0;  // the message table's column for the chosen language
  ts::WText installFolder;
  // The version of the earlier installation that this run replaces; empty
  // for a first installation.
  ts::WText oldVersion;
  // An existing installation is being replaced (reinstallation, upgrade or
  // downgrade), as the existing-installation check found.
  bool replacesInstallation = false;
  InstallationType installationType = InstallationType::kFirst;
  // A file waits for the next restart to be replaced or deleted.
  bool restartRequired = false;
  // Folders known to be the product's though not made by the step that uses
  // them, ASCII letters lower-cased: those that the record of the
  // installation in this folder lists (all that a reinstallation knows of
  // what the product made earlier), and those made for the shared folder
  // before the files. A file that goes into one records it.
  std::set<ts::WText> productFolders;
  // The SHA-256 of the uninstaller as this run wrote it, or, in the
  // uninstaller, of the file that runs; stored with the record's.
  ts::WText uninstallerHash;
  // The bytes of every file the file phase wrote.
  uint64_t installedBytes = 0;
  // The bytes that the product's files take, shown on the folder page.
  uint64_t requiredBytes = 0;
  // What the file phase hands on to the steps after it.
  FileFollowUps followUps;
  // `SharedFiles`: the shared files this product counts as a user of, as
  // the earlier installation left the list and as this run extends it;
  // quoted items in the stored form, ";" between them.
  ts::Text sharedFileList;
  InstallFolderSource installFolderSource = InstallFolderSource::kFolder;
  // The folder page may not change the folder: it is the master product's,
  // the one a registry value names, or the earlier installation's.
  bool installFolderFixed = false;
  // The installation folder is on a removable disk, a CD-ROM or a RAM disk.
  bool portable = false;
  SummaryChoices summaryChoices;
  HWND backgroundWindow = nullptr;
  HWND openPage = nullptr;
};

extern InstallerState g_installer;

// A file waits for the next restart: an installation ends with the restart
// question as if the script had asked for it, an uninstallation with its own.
void RequireRestart();

}  // namespace palisade
