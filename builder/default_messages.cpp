#include "builder/default_messages.h"

namespace palisade::builder {
namespace {

// "<product>", "<description>" and "<os>" are replaced by the engine in
// every text it fetches; "\n" becomes a Windows line break.
constexpr DefaultMessage kMessages[] = {
    // Background window title when the project sets none.
    {0, "<product> Setup", ""},
    // Greeting page text.
    {1,
     "Welcome! This program installs <product> on this computer.\n\n"
     "Close your other programs before you continue.",
     ""},
    // Caption of the question asked over an existing installation.
    {2, "<product> Is Already Installed", ""},
    // Installation-type lines, each followed by the installed folder: 3 no
    // version comparison, 4 same version, 5 older version, 6 newer version.
    {3, "<product> is already installed in this folder:", ""},
    {4, "This version of <product> is already installed in this folder:", ""},
    {5, "An older version of <product> is installed in this folder and will be updated:", ""},
    {6, "A newer version of <product> is installed in this folder:", ""},
    // Question that closes the installation-type text.
    {7, "Do you want to continue?", ""},
    // Status: the archive is being read.
    {8, "Reading the installation data...", ""},
    // An earlier installation must be removed first (dialog text, and the
    // notice when it cannot be removed automatically).
    {9, "The installed version of <product> has to be removed before this version can be installed.", ""},
    // Uninstaller's closing report; receives the list of what failed.
    {10, "<product> could not be removed completely. These items are left:\n\n%s", "s"},
    // Folder page prompt and folder browser title.
    {11, "Choose the folder to install <product> in:", ""},
    // The master product is missing; receives its name.
    {12, "<product> is an add-on for %s, which is not installed on this computer. Please install it first.", "s"},
    // Corrupt installer; receives the error code.
    {13,
     "This installer is damaged and cannot continue. It was probably not downloaded completely.\n\n"
     "Delete it, download it again and run the new copy. If that does not help, check this computer for viruses.\n\n"
     "Error code: %d",
     "d"},
    // Caption of the uninstaller's completion notice.
    {15, "Removal Complete", ""},
    // Caption of the restart questions, the cancel question, the upgrade
    // warning and the uninstaller's failure report.
    {20, "<product> Setup", ""},
    // Caption of error boxes and of the must-uninstall dialog.
    {21, "Setup Error", ""},
    // Folder page title.
    {24, "Installation Folder", ""},
    // Start of a failure line for a folder that could not be created.
    {25, "Could not create the folder", ""},
    // Status after the components are registered.
    {26, "Creating shortcuts and registry entries...", ""},
    // Password page label.
    {27, "Password:", ""},
    // Question when the user cancels the progress page.
    {28, "Do you really want to stop installing <product>?", ""},
    // Status while files are copied.
    {29, "Copying files...", ""},
    // Carried to the uninstaller with its other texts.
    {30, "<product> Removal", ""},
    // Start of a failure line for a file that could not be written.
    {31, "Could not write", ""},
    // Name of the uninstaller's shortcut.
    {33, "Uninstall <product>", ""},
    // Uninstaller's completion notice.
    {34, "<product> has been removed from this computer.", ""},
    // Caption of the question before a shared file is deleted.
    {35, "Remove Shared File?", ""},
    // Status once the product is registered.
    {36, "Finishing the installation...", ""},
    // Restart question at the end of an installation.
    {37, "Some files are in use and will be replaced when Windows restarts. Restart now?", ""},
    // Name of a shortcut that the project did not name; receives the
    // target's file name.
    {38, "%s", "s"},
    // Progress page headline while installing.
    {39, "Installing <product>", ""},
    // Question after a failed installation; receives the log file's path.
    {40,
     "Some parts of <product> could not be installed. The details are in the log file:\n%s\n\n"
     "Do you want to see the log now?",
     "s"},
    // Caption of that question.
    {41, "Installation Problems", ""},
    // Summary text and completion notice.
    {42, "<product> is installed and ready to use.", ""},
    // Summary title, also the last line of a clean log.
    {43, "Installation Complete", ""},
    // License page: title, accept button, decline button, prompt.
    {44, "License Agreement", ""},
    {45, "I &Accept", ""},
    {46, "I &Decline", ""},
    {47, "Please read the license agreement. Choose Accept to continue.", ""},
    // Forward and cancel buttons of every page.
    {48, "&Next >", ""},
    {49, "Cancel", ""},
    // Readme page: title, prompt.
    {50, "Read Me", ""},
    {51, "Please read this information before you continue.", ""},
    // Browse button of the folder pages.
    {52, "&Browse...", ""},
    // Uninstaller's confirmation question.
    {53, "Do you want to remove <product> and all of its parts from this computer?", ""},
    // Progress page title while installing; status when the archive is
    // verified and in place of file names when they are hidden.
    {54, "Installing <product>...", ""},
    // Uninstaller's confirmation caption, progress page title and the
    // caption of its close-the-program question.
    {55, "Remove <product>", ""},
    // Question before a font is removed; receives the font's name; caption.
    {56, "The font %s was installed with <product>. Remove it?", "s"},
    {57, "Remove Font?", ""},
    // Start of a failure line for a file that could not be removed.
    {58, "Could not remove", ""},
    // Question before a shared file is deleted; receives its path.
    {59, "No other program seems to use this shared file:\n%s\n\nRemove it?", "s"},
    // The running Windows is excluded; receives its name.
    {61, "<product> cannot be installed on %s.", "s"},
    // Status while the archive is checked.
    {62, "Checking the installation data...", ""},
    // The language's own licence and readme texts, each shown on a page of
    // its own before the project's licence and readme files; empty: none.
    {63, "", ""},
    {64, "", ""},
    // Greeting caption, window caption of banner pages and caption of the
    // close-the-program question.
    {65, "<product> Setup", ""},
    // Uninstaller status texts: fonts, shared files and the log, registry
    // entries, file associations.
    {67, "Removing fonts...", ""},
    {68, "Removing shared files...", ""},
    {69, "Removing registry entries...", ""},
    {70, "Removing file associations...", ""},
    // Uninstaller's progress headline.
    {71, "Removing <product>", ""},
    // Warning before an upgrade from an old version.
    {72, "The installed version of <product> is old, and its settings may not carry over. Continue anyway?", ""},
    // Restart question at the end of an uninstallation.
    {74, "Some files can only be removed when Windows restarts. Restart now?", ""},
    // Password page: title, prompt.
    {75, "Password", ""},
    {76, "This installation is protected by a password. Enter it to continue.", ""},
    // Status while a component is registered.
    {77, "Registering <file>...", ""},
    // Status after the shortcuts.
    {78, "Writing registry entries...", ""},
    // Yes and No buttons of message boxes.
    {79, "&Yes", ""},
    {80, "&No", ""},
    // Wrong bitness; receives the number of bits the product needs.
    {81, "<product> is a %d-bit program and cannot be installed on this version of Windows.", "d"},
    // Language page prompt.
    {82, "Choose the language for the installation:", ""},
    // Summary check boxes: open the document, start the program, view the
    // log.
    {83, "&Open the documentation", ""},
    {84, "&Start <product> now", ""},
    {85, "View the installation &log", ""},
    // Name of the log's shortcut.
    {86, "<product> Installation Log", ""},
    // Summary check box: open the second document or address.
    {87, "Open &more information", ""},
    // Start-menu page: prompt, title.
    {88, "Choose the Start menu folder for the shortcuts of <product>:", ""},
    {89, "Start Menu Folder", ""},
    // Forward button of the last page before the installation starts.
    {90, "&Install", ""},
    // Another installation is running.
    {91, "Another installation is already running. Wait until it has finished, then try again.", ""},
    // Folder page: disk space lines.
    {92, "Space required:", ""},
    {93, "Space available:", ""},
    // Language page title.
    {94, "Language", ""},
    // Summary page's closing button.
    {95, "&Finish", ""},
    // Status while the restore point is created.
    {97, "Creating a system restore point...", ""},
    // The user stopped the installation.
    {98, "The installation of <product> was cancelled.", ""},
    // A program must be closed before installing; receives its name.
    {99, "%s is running. Please close it, then choose Retry to continue the installation.", "s"},
    // Retry button of message boxes.
    {100, "&Retry", ""},
    // The user stopped the uninstallation.
    {101, "The removal of <product> was cancelled.", ""},
    // Wrong password.
    {102, "That password is not correct. Please try again.", ""},
    // Greeting banner line.
    {103, "Welcome", ""},
    // Uninstall button of the must-uninstall and support-offer dialogs.
    {104, "&Uninstall", ""},
    // Greeting link; the words between <a> and </a> become the link.
    {105, "Visit the <a>product's web site</a>.", ""},
    // Downgrade refused; receives the lowest version that may be installed.
    {106, "This version of <product> cannot replace the installed one. Only version %s or later can be installed.",
     "s"},
    // A program must be closed before uninstalling; receives its name.
    {107, "%s is running. Please close it, then choose Retry to continue removing <product>.", "s"},
    // Uninstaller status: Windows Installer packages.
    {108, "Removing Windows Installer packages...", ""},
    // Support offer: text, and caption of the dialog and its accept button.
    {109, "Having trouble with <product>? Before you remove it, our support team may be able to help.", ""},
    {110, "Get Support", ""},
    // Caption of the cancelled notices.
    {111, "Cancelled", ""},
    // The master product is too old; receives its name and its version.
    {112, "<product> needs a newer version of %s. The installed version is %s.", "ss"},
    // Status when the work begins.
    {113, "Preparing the installation...", ""},
    // Product heading per language; empty keeps the project's heading.
    {114, "", ""},
};

}  // namespace

std::span<const DefaultMessage> DefaultMessages() { return kMessages; }

int DefaultMessageCount() { return kMessages[std::size(kMessages) - 1].number + 1; }

}  // namespace palisade::builder
