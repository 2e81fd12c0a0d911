#pragma once
// Checks that refuse an installation before anything is changed.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "state/installer_state.h"

namespace palisade {

inline constexpr char kSingleInstanceMutex[] = "Palisade Engine";

// Takes the machine-wide installer mutex without waiting. False when another
// installer holds it. The mutex is kept until the process ends.
bool AcquireSingleInstanceMutex();

// Ends a run that cannot go on, before anything is installed: the text is
// shown as an error unless the run is automatic (and the script does not ask
// for errors in automatic mode), always written to standard error, and the
// run ends with exit code 1.
[[noreturn]] void Refuse(const ts::WText& text);

// The bitness (64 or 32) that the product needs when this system cannot take
// it, or 0 when it can.
int RefusedBitness(Bitness product, bool system64);

// The wizard pages of an installation, in the order they come.
enum class WizardPage { kLanguage, kGreeting, kPassword, kLicenseAndReadme, kInstallFolder, kStartMenu };

// What decides whether a page is shown.
struct PageFacts {
  bool automatic = false;
  size_t languageCount = 1;
  uint32_t productFlagsLow = 0;
  uint32_t productFlagsHigh = 0;
  uint32_t productFlags2 = 0;
  bool hasPassword = false;
  bool masterFolderRule = false;  // the folder is the master product's
  bool portable = false;          // the folder is on a removable disk
  bool folderFixed = false;       // an earlier installation decided the folder
};

// Whether the installation shows the page: the language page for more than
// one language; the greeting unless the script turns it off, even in
// automatic mode when the script asks; the password page for a password;
// the others only when the run is not automatic, the folder pages when the
// script asks for them (no folder page for the master's folder nor for one
// that an earlier installation decided, and no start-menu page for a
// portable installation when the script says so).
bool ShowsPage(WizardPage page, const PageFacts& facts);

// A folder typed on the folder page is taken only when it is a whole path:
// a drive letter, a colon and a backslash, or a network path. Anything else
// would put the product below whatever folder the installer runs in.
bool IsChosenFolder(std::wstring_view folder);

}  // namespace palisade
