// A bad project file stops the build with one line per mistake, in the form
// editors understand, exit status 2, and no output file.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "bitmap_file.h"
#include "builder_test_support.h"
#include "icon_file.h"
#include "test_bytes.h"

namespace palisade::builder {
namespace {

using test_support::BuilderTest;

struct BadProject {
  const char* name;
  const char* project;  // line 1 is the first line of the text
  const char* error;    // what follows "FILE"; a further line starts with "PROJECT"
};

const BadProject kBadProjects[] = {
    {"MisspelledKey", "[product]\nname = \"A\"\nversion = \"1\"\ninstal-folder = \"A\"\n",
     ":4: unknown key \"instal-folder\" in [product]; did you mean \"install-folder\"?"},
    {"MisspelledTable", "[product]\nname = \"A\"\nversion = \"1\"\n[wizzard]\n",
     ":4: unknown key \"wizzard\" in the project file; did you mean \"wizard\"?"},
    {"MissingName", "[product]\nversion = \"1\"\n", ":1: missing key \"name\" in [product]; add name = \"Acme Notes\""},
    {"MissingProduct", "[wizard]\ngreeting = false\n",
     ": missing table [product]; add [product] with a name and a version"},
    {"BadWord", "[product]\nname = \"A\"\nversion = \"1\"\nbitness = \"63\"\n",
     ":4: bad value \"63\" for \"bitness\" in [product]; did you mean \"64\"?"},
    {"BadProgressPlacement", "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nprogress-placement = \"top\"\n",
     ":5: bad value \"top\" for \"progress-placement\" in [wizard]; expected one of \"center\", \"top-center\", "
     "\"bottom-center\", \"top-left\", \"top-right\", \"bottom-left\", \"bottom-right\""},
    {"WrongType", "[product]\nname = \"A\"\nversion = \"1\"\nsingle-instance = \"yes\"\n",
     ":4: \"single-instance\" in [product] must be true or false; found a text"},
    {"VersionAsNumber", "[product]\nname = \"A\"\nversion = 2.1\n",
     ":3: \"version\" in [product] must be a text; found a fractional number"},
    {"OutOfRange", "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nminimum-status-time = 10000\n",
     ":5: \"minimum-status-time\" in [wizard] is 10000, outside 0 to 9999; use a number from 0 to 9999"},
    {"BadColour", "[product]\nname = \"A\"\nversion = \"1\"\n[background]\ntitle-color = \"red\"\n",
     ":5: bad colour \"red\" for \"title-color\" in [background]; write a colour as \"#RRGGBB\", for example "
     "\"#1E3A5F\""},
    {"NoMatchingFile", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"missing/**\"\n",
     ":5: no file matches \"missing/**\"; patterns are relative to the project file's folder"},
    {"FileInstalledTwice",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\n[[files]]\nfrom = \"app/sub/b.txt\"\n"
     "rename = \"A.TXT\"\n",
     ":7: \"A.TXT\" is installed twice; the [[files]] entry at line 4 installs the same file; leave it out of one of "
     "them with \"exclude\""},
    {"FontWithoutFaceName",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"font\"\n",
     ":6: a font needs its face name; add font-name = \"Acme Sans\""},
    {"ControlPanelFileWithoutApplet",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"control-panel\"\n",
     ":6: a control-panel file and its [applet] table go together; write kind = \"control-panel\" with applet = { "
     "class-id = \"{...}\" }"},
    {"AppletOnAnotherKind",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\n"
     "applet = { class-id = \"{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}\" }\n",
     ":6: a control-panel file and its [applet] table go together; write kind = \"control-panel\" with applet = { "
     "class-id = \"{...}\" }"},
    {"AppletClassIdThatIsNoGuid",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"control-panel\"\n"
     "applet = { class-id = \"Acme\" }\n",
     ":7: the applet needs its class identifier; write class-id = \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\""},
    {"AppletNamedByAFileThatIsAllExtension",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nrename = \".cpl\"\n"
     "kind = \"control-panel\"\napplet = { class-id = \"{1B2C3D4E-5F60-4718-A9B0-C1D2E3F4A5B6}\" }\n",
     ":8: the applet \".cpl\" has no name, and its file name is all extension; add name = \"Acme Settings\" to its "
     "applet table"},
    {"MsiSettingsOnAnotherKind",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nmsi = { ui-level = \"none\" }\n",
     ":6: only msi files take [msi] settings; set kind = \"msi\""},
    {"MsiUiLevelUnknown",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"msi\"\n"
     "msi = { ui-level = \"quiet\" }\n",
     ":7: bad value \"quiet\" for \"ui-level\" in the msi settings of [[files]]; expected one of \"default\", "
     "\"none\", \"basic\", \"reduced\", \"full\""},
    {"FontNameOnAnotherKind",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nfont-name = \"Acme Sans\"\n",
     ":6: only fonts take a font name; set kind = \"font\" or remove \"font-name\""},
    {"SystemFileInSubfolder",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/**/b.txt\"\nkind = \"system-shared\"\n",
     ":5: the file \"sub/b.txt\" lies in a subfolder, but files of this kind go into one folder; match the files "
     "without their folders, or use another kind"},
    {"MessageLosesItsArgument",
     "[product]\nname = \"A\"\nversion = \"1\"\n[messages.English]\n81 = \"Needs %s bits\"\n",
     ":5: message 81 is formatted with %d, but the text has %s; use %% for a percent sign"},
    {"MessageNumberOutOfRange", "[product]\nname = \"A\"\nversion = \"1\"\n[messages.English]\n10000 = \"x\"\n",
     ":5: \"10000\" in [messages.English] is not a message number of the installer; the messages and their numbers "
     "are listed in docs/project-file.md"},
    {"MessageNumberBeyondTheTable", "[product]\nname = \"A\"\nversion = \"1\"\n[messages.English]\n200 = \"x\"\n",
     ":5: \"200\" in [messages.English] is not a message number of the installer; the messages and their numbers are "
     "listed in docs/project-file.md"},
    {"MessageNumberTheInstallerDoesNotUse",
     "[product]\nname = \"A\"\nversion = \"1\"\n[messages.English]\n14 = \"x\"\n",
     ":5: \"14\" in [messages.English] is not a message number of the installer; the messages and their numbers are "
     "listed in docs/project-file.md"},
    {"UnknownLanguage", "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nlanguages = [\"English\", \"Deutch\"]\n",
     ":5: unknown language \"Deutch\" in [wizard] languages; did you mean \"Deutsch\"?; or give its texts in a table "
     "file with file = \"...\" in [messages.Deutch]"},
    {"TableFileWithAMessageTheInstallerDoesNotHave",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nlanguages = [\"Svenska\"]\n"
     "[messages.Svenska]\nfile = \"lang/sv.toml\"\n",
     ":7: lang/sv.toml:2: \"420\" in lang/sv.toml is not a message number of the installer; the messages and their "
     "numbers are listed in docs/project-file.md"},
    {"TableFileThatIsNotToml",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nlanguages = [\"Svenska\"]\n"
     "[messages.Svenska]\nfile = \"app/a.txt\"\n",
     ":7: app/a.txt:1: Error while parsing key-value pair: encountered end-of-file; a table file holds lines such as "
     "42 = \"...\""},
    {"LicenceTwice",
     "[product]\nname = \"A\"\nversion = \"1\"\n[messages.English]\n63 = \"x\"\nlicense = \"app/a.txt\"\n",
     ":6: \"license\" and message 63 in [messages.English] give the same text; keep one of them"},
    {"UnlistedLanguage",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nlanguages = [\"English\", \"Deutsch\"]\n"
     "[messages.Deutch]\n42 = \"Fertig\"\n",
     ":6: unknown key \"Deutch\" in [messages]; did you mean \"Deutsch\"?"},
    {"BadRegistryRoot", "[product]\nname = \"A\"\nversion = \"1\"\n[[registry]]\nkey = 'HKXX\\Software'\n",
     ":5: bad registry key \"HKXX\\Software\"; start it with HKLM, HKCU, HKCR, HKU, HKCC, HKDD or HKAU and a "
     "backslash"},
    {"FirewallProgramAndPort",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[firewall]]\nprogram = \"a.exe\"\nport = 80\n",
     ":5: a [[firewall]] entry names either a program or a port; give exactly one of program = \"...\" and port = "
     "8080"},
    {"FirewallEmptyProgram", "[product]\nname = \"A\"\nversion = \"1\"\n[[firewall]]\nprogram = \"\"\n",
     ":5: the program is empty; give its path"},
    {"FirewallPortWithoutProtocol",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[firewall]]\nport = 80\nprotocols = []\n",
     ":6: a port is opened for no protocol; give [\"tcp\"], [\"udp\"] or both"},
    {"AssociationProgIdReachesAnotherKey",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[associations]]\nextension = \".a\"\nprog-id = 'Acme\\Note'\n",
     ":6: the prog-id \"Acme\\Note\" is not one key name; write a class name such as \"Acme.Note\""},
    {"AssociationExtensionReachesAnotherKey",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[associations]]\nextension = '.a\\b'\n",
     ":5: the extension \".a\\b\" is not one key name; leave out backslashes and control characters"},
    {"AssociationEmptyVerb",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[associations]]\nextension = \".a\"\nprog-id = \"A.Doc\"\n"
     "verb = \"\"\n",
     ":7: the verb \"\" is not one key name; write a verb such as \"open\""},
    {"OpenWithOnlyWithoutProgId",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[associations]]\nextension = \".a\"\nopen-with-only = true\n",
     ":6: an open-with-only association needs the prog-id to add; add prog-id = \"Acme.Note\""},
    {"ShortKey", "[product]\nname = \"A\"\nversion = \"1\"\n[encryption]\nenabled = true\nkey = \"abc\"\n",
     ":6: bad \"key\" in [encryption]; write 8 bytes as 16 hexadecimal digits"},
    {"UnknownKeyInFileShortcut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nshortcut = { desktp = true }\n",
     ":6: unknown key \"desktp\" in the shortcut of [[files]]; did you mean \"desktop\"?"},
    {"ToClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = \"../../Windows\"\n",
     ":6: \"to\" = \"..\\..\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToOnADrive",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = 'C:\\Windows'\n",
     ":6: \"to\" = \"C:\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToOnANetworkPath",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '\\\\server\\share'\n",
     ":6: \"to\" = \"\\\\server\\share\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToFromTheRoot",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '\\Windows'\n",
     ":6: \"to\" = \"\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"ToClimbsOutOfItsVariable",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '%AppDataDir%\\..\\..\\Windows'\n",
     ":6: \"to\" = \"%AppDataDir%\\..\\..\\Windows\" would leave the installation folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"SharedFileClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"shared-folder\"\nto = \"sub/../..\"\n",
     ":7: \"to\" = \"sub\\..\\..\" would leave the shared folder; write a folder below it, such as \"bin\", "
     "or a destination that starts with a variable, such as '%AppDataAllDir%\\Acme'"},
    {"RenameClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nrename = \"..\"\n",
     ":6: \"rename\" = \"..\" would leave the installation folder; give a plain file name, without \":\""},
    {"RenameOnADrive",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nrename = \"C:evil.txt\"\n",
     ":6: \"rename\" = \"C:evil.txt\" would leave the installation folder; give a plain file name, without \":\""},
    {"MatchedNameClimbsOut",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"odd/**\"\n",
     ":5: the file \"..\\..\\evil.txt\" cannot be installed on Windows: \"\\\" is not allowed in a name; rename "
     "the file, or leave it out with \"exclude\""},
    {"NameWithAColon", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"names/colon/**\"\n",
     ":5: the file \"notes:v2.txt\" cannot be installed on Windows: \":\" is not allowed in a name; rename the file, "
     "or leave it out with \"exclude\""},
    {"NameOfTheConsole", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"names/console/**\"\n",
     ":5: the file \"con.txt\" cannot be installed on Windows: \"con\" is the name of a device; rename the file, or "
     "leave it out with \"exclude\""},
    {"NameOfADeviceInASubfolder",
     "[product]\nname = \"A\"\nversion = \"1\"\n\n[[files]]\nfrom = \"names/device/**\"\n",
     ":6: the file \"sub/AUX.txt\" cannot be installed on Windows: \"aux\" is the name of a device; rename the file, "
     "or leave it out with \"exclude\""},
    {"NameWithAQuestionMark", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"names/question/**\"\n",
     ":5: the file \"q?.txt\" cannot be installed on Windows: \"?\" is not allowed in a name; rename the file, or "
     "leave it out with \"exclude\""},
    {"NameEndingInADot", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"names/dot/**\"\n",
     ":5: the file \"trail.\" cannot be installed on Windows: a name cannot end in a dot or a blank; rename the file, "
     "or leave it out with \"exclude\""},
    {"NameWithABackslash", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"names/backslash/**\"\n",
     ":5: the file \"a\\b.txt\" cannot be installed on Windows: \"\\\" is not allowed in a name; rename the file, or "
     "leave it out with \"exclude\""},
    {"InstallFolderValueWithoutValueName",
     "[product]\nname = \"A\"\nversion = \"1\"\ninstall-folder-value = 'HKLM\\Software'\n",
     ":4: bad registry value \"HKLM\\Software\" for \"install-folder-value\" in [product]; write the root, the key "
     "and the value name, such as 'HKLM\\Software\\Acme\\InstallDir'"},
    {"InstallFolderValueWithUnknownRoot",
     "[product]\nname = \"A\"\nversion = \"1\"\ninstall-folder-value = 'HKXX\\Software\\Acme\\Dir'\n",
     ":4: bad registry value \"HKXX\\Software\\Acme\\Dir\" for \"install-folder-value\" in [product]; write the "
     "root, the key and the value name, such as 'HKLM\\Software\\Acme\\InstallDir'"},
    {"IconThatIsNoIcon", "[product]\nname = \"A\"\nversion = \"1\"\n[uninstaller]\nicon = \"app/a.txt\"\n",
     ":5: \"icon\" in [uninstaller] is not an icon file; save the icon as .ico"},
    {"VersionSettingOnTwoLines",
     "[product]\nname = \"A\"\nversion = \"1\"\n[upgrade]\nno-downgrade-below = \"2.0\\nRebootMarker=1\"\n",
     ":5: \"no-downgrade-below\" in [upgrade] holds a line break; write it on one line"},
    {"CrashReportOverPlainHttp",
     "[product]\nname = \"A\"\nversion = \"1\"\n[crash-report]\naddress = \"http://acme.example/crash\"\n",
     ":5: crash report address \"http://acme.example/crash\" is plain HTTP; write it as \"https://host/path\": the "
     "report carries the user's e-mail address and comments, so it goes only over TLS"},
    {"CrashReportAddressWithoutHost",
     "[product]\nname = \"A\"\nversion = \"1\"\n[crash-report]\nsender = \"a@b.example\"\naddress = \"https:///crash\"\n",
     ":6: crash report address \"https:///crash\" is not an https:// address; write it as \"https://host/path\""},
    {"CrashReportOverAnotherScheme",
     "[product]\nname = \"A\"\nversion = \"1\"\n[crash-report]\naddress = \"ftp://acme.example/crash\"\n",
     ":5: crash report address \"ftp://acme.example/crash\" is not an https:// address; write it as "
     "\"https://host/path\""},
    {"CrashReportSenderOnTwoLines",
     "[product]\nname = \"A\"\nversion = \"1\"\n[crash-report]\nsender = \"a@b.example\\nBcc: c@d.example\"\n",
     ":5: \"sender\" in [crash-report] holds a line break; write it on one line"},
    {"DesktopFolderIconNotAnIcon",
     "[product]\nname = \"A\"\nversion = \"1\"\ndesktop-folder = true\ndesktop-folder-icon = \"app/a.txt\"\n",
     ":5: \"desktop-folder-icon\" in [product] is not an icon file; save the icon as .ico"},
    {"DesktopFolderIconWithoutFolder",
     "[product]\nname = \"A\"\nversion = \"1\"\ndesktop-folder-icon = \"folder.ico\"\n",
     ":4: a desktop folder icon without a desktop folder; add desktop-folder = true or a folder name"},
    {"NameThatIsNotUtf8", "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"names/latin1/**\"\n",
     ":5: the file name \"caf\\xE9.txt\" is not UTF-8; rename the file, or leave it out with \"exclude\""},
    {"RenameToADevice",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nrename = \"nul\"\n",
     ":6: \"rename\" = \"nul\" cannot be a file name on Windows: \"nul\" is the name of a device; give another file "
     "name"},
    {"ToWithAFolderWindowsRefuses",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '%AppDataDir%\\Acme<1>'\n",
     ":6: \"to\" = \"%AppDataDir%\\Acme<1>\" cannot be a folder on Windows: \"<\" is not allowed in a name; give "
     "other folder names"},
    {"VersionInWords", "[product]\nname = \"A\"\nversion = \"two point one\"\n",
     ":3: \"version\" in [product] is \"two point one\", a version the installer cannot order; write one to four "
     "numbers from 0 to 65535 separated by dots, optionally followed by one letter, such as \"2.1.0\" or \"2.1b\""},
    {"VersionWithAPrefix", "[product]\nname = \"A\"\nversion = \"v2\"\n",
     ":3: \"version\" in [product] is \"v2\", a version the installer cannot order; write one to four numbers from 0 "
     "to 65535 separated by dots, optionally followed by one letter, such as \"2.1.0\" or \"2.1b\""},
    {"VersionOfSevenNumbers", "[product]\nname = \"A\"\nversion = \"1.2.3.4.5.6.7\"\n",
     ":3: \"version\" in [product] is \"1.2.3.4.5.6.7\", a version the installer cannot order; write one to four "
     "numbers from 0 to 65535 separated by dots, optionally followed by one letter, such as \"2.1.0\" or \"2.1b\""},
    {"MasterVersionWithASuffixWord",
     "[product]\nname = \"A\"\nversion = \"1\"\n[master-product]\nregistry-name = \"S\"\nminimum-version = \"3.0-rc\"\n",
     ":6: \"minimum-version\" in [master-product] is \"3.0-rc\", a version the installer cannot order; write one to "
     "four numbers from 0 to 65535 separated by dots, optionally followed by one letter, such as \"2.1.0\" or "
     "\"2.1b\""},
    {"FileVersionTooLarge",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nkind = \"version-checked\"\n"
     "version = \"1.70000\"\n",
     ":7: \"version\" in [[files]] is \"1.70000\", a version the installer cannot order; write one to four numbers "
     "from 0 to 65535 separated by dots, optionally followed by one letter, such as \"2.1.0\" or \"2.1b\""},
    {"DeletionVersionWithLetters",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[conditional-delete]]\npattern = \"old.dll\"\n"
     "condition = \"version-at-most\"\nvalue = \"1.9beta\"\n",
     ":7: \"value\" in [[conditional-delete]] is \"1.9beta\", a version the installer cannot order; write one to "
     "four numbers from 0 to 65535 separated by dots, optionally followed by one letter, such as \"2.1.0\" or "
     "\"2.1b\""},
    {"VersionFromAFileThatIsNoProgram", "[product]\nname = \"A\"\nversion = { from = \"app/a.txt\" }\n",
     ":3: cannot read the version of \"app/a.txt\": not a Windows executable; name a Windows program or library"},
    {"VersionFromAProgramWithoutOne", "[product]\nname = \"A\"\nversion = { from = \"engine.exe\" }\n",
     ":3: \"engine.exe\" has no file version; give the version as a text instead"},
    {"VersionFromNothing", "[product]\nname = \"A\"\nversion = { form = \"engine.exe\" }\n",
     ":3: missing key \"from\" in the version of [product]; add from = \"dist/AcmeNotes.exe\"\n"
     "PROJECT:3: unknown key \"form\" in the version of [product]; did you mean \"from\"?"},
    {"UnsetEnvironmentVariable", "[product]\nname = \"A\"\nversion = \"1\"\npublisher = \"${PUBLISHER} Inc.\"\n",
     ":4: the environment variable PUBLISHER is not set; set it for the build, or write $${ for a literal ${"},
    {"EnvironmentReferenceWithoutAName", "[product]\nname = \"A ${1}\"\nversion = \"1\"\n",
     ":2: \"${\" without a variable name in \"A ${1}\"; write ${NAME} for an environment variable, or $${ for a "
     "literal ${"},
    {"IconCutShort", "[product]\nname = \"A\"\nversion = \"1\"\nicon = \"pictures/cut.ico\"\n",
     ":4: \"icon\" in [product] is not an icon file; save the icon as .ico"},
    {"IconThatIsABitmap", "[product]\nname = \"A\"\nversion = \"1\"\nicon = \"pictures/cut.bmp\"\n",
     ":4: \"icon\" in [product] is not an icon file; save the icon as .ico"},
    {"PictureThatIsNoBitmap", "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nside-picture = \"app/a.txt\"\n",
     ":5: \"side-picture\" in [wizard] is not a BMP picture; save the picture as .bmp"},
    {"PictureWithPixelsBeyondItsEnd",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nbanner-picture = \"pictures/far.bmp\"\n",
     ":5: \"banner-picture\" in [wizard] is not a BMP picture; save the picture as .bmp"},
    {"PictureOfTwoBitsPerPixel",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nside-picture = \"pictures/two-bits.bmp\"\n",
     ":5: \"side-picture\" in [wizard] has 2 bits per pixel; save it uncompressed with 1, 4, 8, 16, 24 or 32 bits "
     "per pixel"},
    {"CompressedPicture",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nbanner-picture = \"pictures/run-length.bmp\"\n",
     ":5: \"banner-picture\" in [wizard] has 8 bits per pixel and is compressed; save it uncompressed with 1, 4, 8, "
     "16, 24 or 32 bits per pixel"},
    {"CutPicture", "[product]\nname = \"A\"\nversion = \"1\"\n[background]\npicture = \"pictures/cut.bmp\"\n",
     ":5: \"picture\" in [background] is a damaged BMP picture; save the picture as .bmp again"},
    {"BackgroundPictureOfTwoBitsPerPixel",
     "[product]\nname = \"A\"\nversion = \"1\"\n[background]\npicture = \"pictures/two-bits.bmp\"\n",
     ":5: \"picture\" in [background] has 2 bits per pixel; save it uncompressed with 1, 4, 8, 16, 24 or 32 bits "
     "per pixel"},
    {"TomlSyntax", "[product]\nname = \"A\"\nversion =\n",
     ":3: Error while parsing key-value pair: expected value, saw '\\n'; the project file is TOML; check the syntax "
     "at column 10"},
};

class ProjectErrorTest : public BuilderTest, public ::testing::WithParamInterface<BadProject> {
 protected:
  // Pictures and an icon the engine would not show, each wrong in one way.
  void WritePictures() {
    using format::test_bytes::BitmapFile;
    std::vector<uint8_t> far = BitmapFile({});
    far[10] = static_cast<uint8_t>(far.size() + 1);  // the pixels' offset, one past the end
    WriteBytes("pictures/far.bmp", far);
    WriteBytes("pictures/two-bits.bmp", BitmapFile({.bitsPerPixel = 2, .colours = 4}));
    WriteBytes("pictures/run-length.bmp", BitmapFile({.bitsPerPixel = 8, .compression = 1, .colours = 2}));
    std::vector<uint8_t> cut = BitmapFile({});
    cut.pop_back();  // the last row short by a byte
    WriteBytes("pictures/cut.bmp", cut);
    std::vector<uint8_t> icon = format::test_bytes::IconFile();
    icon.resize(500);  // the image runs past the end
    WriteBytes("pictures/cut.ico", icon);
  }
};

TEST_P(ProjectErrorTest, ReportsTheLineAndWritesNothing) {
  WriteText("app/a.txt", "a");
  WriteText("app/sub/b.txt", "b");
  // One file name that Windows reads as two steps up, and names Windows
  // refuses, each in a folder of its own.
  WriteText("odd/..\\..\\evil.txt", "x");
  // One picture of one byte, right after the directory.
  WriteText("folder.ico", std::string("\0\0\1\0\1\0" "\x10\x10\0\0\1\0\x20\0" "\1\0\0\0" "\x16\0\0\0" "F", 23));
  WriteText("names/colon/notes:v2.txt", "x");
  WriteText("names/console/con.txt", "x");
  WriteText("names/device/sub/AUX.txt", "x");
  WriteText("names/question/q?.txt", "x");
  WriteText("names/dot/trail.", "x");
  WriteText("names/backslash/a\\b.txt", "x");
  WriteText("names/latin1/caf\xE9.txt", "x");
  WriteText("lang/sv.toml", "42 = \"Klart\"\n420 = \"x\"\n");
  WritePictures();
  test_support::CommandResult result = Build(GetParam().project);
  EXPECT_EQ(result.status, 2);
  std::string file = Path("palisade.toml").string();
  EXPECT_EQ(result.err, file + std::regex_replace(GetParam().error, std::regex("PROJECT"), file) + "\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find("setup.exe"), std::string::npos) << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(BadProjects, ProjectErrorTest, ::testing::ValuesIn(kBadProjects),
                         [](const ::testing::TestParamInfo<BadProject>& info) { return info.param.name; });

struct Warning {
  const char* name;
  const char* project;
  const char* warning;  // what follows "FILE"
};

const Warning kWarnings[] = {
    {"EmptyInstallation", "[product]\nname = \"A\"\nversion = \"1\"\n",
     ": warning: the installer installs no files; add a [[files]] entry"},
    {"FileThatDoesNotCompress",
     "[product]\nname = \"A\"\nversion = \"1\"\n\n[[files]]\nfrom = \"media/**\"\n[compression]\nlevel = 0\n",
     ":6: warning: \"noise.bin\" does not compress; files that are compressed already only cost build time; that is "
     "expected of .zip, .jpg, .mp4 and the like"},
    {"DestinationOutsideTheInstallationFolder",
     "[product]\nname = \"A\"\nversion = \"1\"\n[[files]]\nfrom = \"app/a.txt\"\nto = '%AppDataAllDir%\\Acme'\n",
     ":6: warning: the files of this entry go outside the installation folder, to \"%AppDataAllDir%\\Acme\"; make sure "
     "they belong there: other programs may use that folder too"},
    {"LanguageWithoutALicence",
     "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\nlanguages = [\"English\", \"Deutsch\"]\n"
     "[messages.English]\nlicense = \"app/a.txt\"\n[[files]]\nfrom = \"app/a.txt\"\n",
     ":5: warning: the language \"Deutsch\" has no licence text, but \"English\" has one; add license = \"...\" to "
     "[messages.Deutsch]"},
};

class ProjectWarningTest : public BuilderTest, public ::testing::WithParamInterface<Warning> {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    WriteText("app/a.txt", "a");
    WriteBytes("media/noise.bin", format::test_bytes::Noise(2 << 20, 11));
    WriteText("media/text.txt", std::string(2 << 20, 'x'));
  }
};

TEST_P(ProjectWarningTest, IsPrintedAndTheBuildGoesOnUnlessWarningsAreDenied) {
  std::string expected = Path("palisade.toml").string() + GetParam().warning + "\n";
  test_support::CommandResult built = Build(GetParam().project, "setup.exe", {"--quiet"});
  EXPECT_EQ(built.status, 0);
  EXPECT_EQ(built.err, expected);
  EXPECT_TRUE(std::filesystem::exists(Path("setup.exe")));
  test_support::CommandResult denied = Build(GetParam().project, "denied.exe", {"--deny-warnings"});
  EXPECT_EQ(denied.status, 2);
  EXPECT_EQ(denied.err, expected);
  EXPECT_EQ(denied.out, "");
  EXPECT_FALSE(std::filesystem::exists(Path("denied.exe")));
}

INSTANTIATE_TEST_SUITE_P(Warnings, ProjectWarningTest, ::testing::ValuesIn(kWarnings),
                         [](const ::testing::TestParamInfo<Warning>& info) { return info.param.name; });

// The signing password's variable, named by the project or on the command
// line, never fills a text: anyone with the installer could read it there.
TEST_F(BuilderTest, TheSigningPasswordVariableIsRefusedInTexts) {
  variables_["SIGN_PASSWORD"] = "hunter2";
  struct Case {
    const char* name;
    std::string project;
    std::vector<std::string> options;
    const char* error;  // what follows "FILE"
  };
  const Case cases[] = {
      {"named by the project",
       "[product]\nname = \"A\"\nversion = \"1\"\npublisher = \"${SIGN_PASSWORD}\"\n[signing]\n"
       "password-env = \"SIGN_PASSWORD\"\n",
       {},
       ":4: the environment variable SIGN_PASSWORD holds the signing password; leave ${SIGN_PASSWORD} out of the "
       "project: anyone with the installer could read it"},
      {"named on the command line", "[product]\nname = \"A\"\nversion = \"1\"\n[wizard]\npassword = \"${SIGN_PASSWORD}\"\n",
       {"--sign-password-env", "SIGN_PASSWORD"},
       ":5: the environment variable SIGN_PASSWORD holds the signing password; leave ${SIGN_PASSWORD} out of the "
       "project: anyone with the installer could read it"},
  };
  WriteText("app/a.txt", "a");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::CommandResult result = Build(c.project + "[[files]]\nfrom = \"app/a.txt\"\n", "setup.exe", c.options);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, Path("palisade.toml").string() + c.error + "\n");
    EXPECT_FALSE(std::filesystem::exists(Path("setup.exe")));
  }
}

// Files from elsewhere: the installer would carry whatever lies there when
// it is built. One warning per file, however often the project names it.
class InputOriginTest : public BuilderTest {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    std::string pattern = (std::filesystem::temp_directory_path() / "palisade-elsewhere-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    elsewhere_ = pattern;
    std::ofstream(elsewhere_ / "tool.dll") << "tool";
    std::ofstream(elsewhere_ / "eula.txt") << "eula";
    WriteText("app/a.txt", "a");
    std::filesystem::create_directory_symlink(elsewhere_, Path("linked"));
    std::filesystem::create_symlink("a.txt", Path("app/alias.txt"));
  }
  void TearDown() override {
    std::filesystem::remove_all(elsewhere_);
    BuilderTest::TearDown();
  }

  std::filesystem::path elsewhere_;
};

TEST_F(InputOriginTest, AFileFromOutsideOrThroughALinkIsNamedOnce) {
  const std::string outside = (elsewhere_ / "tool.dll").string();
  const std::string eula = (elsewhere_ / "eula.txt").string();
  const std::string hint =
      "; the installer carries whatever lies there when it is built; copy the file into the project folder if that "
      "is not what you meant\n";
  const std::string head = "[product]\nname = \"A\"\nversion = \"1\"\n";
  struct Case {
    const char* name;
    std::string project;
    std::vector<std::string> warnings;  // each what follows "FILE"
  };
  const Case cases[] = {
      {"a file named by its path outside", head + "[[files]]\nfrom = \"" + outside + "\"\n",
       {":5: warning: \"" + outside + "\" lies outside the project folder"}},
      {"a linked folder that leads outside", head + "[[files]]\nfrom = \"linked/*.dll\"\n",
       {":5: warning: \"linked/tool.dll\" comes through a symbolic link from outside the project folder"}},
      {"a link inside the folder", head + "[[files]]\nfrom = \"app/**\"\n",
       {":5: warning: \"app/alias.txt\" comes through a symbolic link"}},
      {"a licence outside, named twice",
       head + "[wizard]\nlanguages = [\"English\", \"Deutsch\"]\n[messages.English]\nlicense = \"" + eula +
           "\"\n[messages.Deutsch]\nlicense = \"" + eula + "\"\n[[files]]\nfrom = \"app/a.txt\"\n",
       {":7: warning: \"" + eula + "\" lies outside the project folder"}},
      {"files in the folder", head + "[[files]]\nfrom = \"app/a.txt\"\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string expected;
    for (const std::string& warning : c.warnings) expected += Path("palisade.toml").string() + warning + hint;
    test_support::CommandResult built = Build(c.project, "setup.exe", {"--quiet"});
    EXPECT_EQ(built.status, 0);
    EXPECT_EQ(built.err, expected);
  }
}

TEST_F(BuilderTest, WarningsWaitUntilTheErrorsAreMended) {
  test_support::CommandResult result = Build("[product]\nname = \"A\"\nversion = \"1\"\nbitnes = \"64\"\n");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, Path("palisade.toml").string() + ":4: unknown key \"bitnes\" in [product]; did you mean "
                                                         "\"bitness\"?\n");
}

TEST_F(BuilderTest, EveryMistakeOfOneFileIsReported) {
  test_support::CommandResult result =
      Build("[product]\nname = \"A\"\nversion = \"1\"\nbitnes = \"64\"\n[wizard]\nstyle = \"fancy\"\n");
  EXPECT_EQ(result.status, 2);
  std::string file = Path("palisade.toml").string();
  EXPECT_EQ(result.err, file + ":4: unknown key \"bitnes\" in [product]; did you mean \"bitness\"?\n" + file +
                            ":6: bad value \"fancy\" for \"style\" in [wizard]; expected one of \"plain\", "
                            "\"side-picture\", \"banner\", \"white\"\n");
}

TEST_F(BuilderTest, UnwritableOutputFailsWithoutLeavingAFile) {
  WriteText("app/a.txt", "a");
  WriteText("taken", "a file where the output's folder would be");
  test_support::CommandResult result = Build(test_support::kMinimalProject, "taken/setup.exe");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot create the folder"), std::string::npos) << result.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(Path("taken")));
}

TEST_F(BuilderTest, MissingEngineIsNamed) {
  WriteText("app/a.txt", "a");
  WriteText("palisade.toml", test_support::kMinimalProject);
  test_support::CommandResult result = Run({"build", Path("palisade.toml").string(), "-o", Path("setup.exe").string(),
                                            "--engine", Path("nowhere.exe").string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("nowhere.exe"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(Path("setup.exe")));
}

TEST_F(BuilderTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> usages = {{},
                                                        {"frobnicate"},
                                                        {"build"},
                                                        {"build", "p.toml"},
                                                        {"build", "p.toml", "-o"},
                                                        {"build", "p.toml", "-o", "x", "--jobs", "0"},
                                                        {"inspect"},
                                                        {"extract", "setup.exe"},
                                                        {"inspect", "a.exe", "--colour"}};
  for (const std::vector<std::string>& args : usages) {
    test_support::CommandResult result = Run(args);
    EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(result.err.find("usage: palisade"), std::string::npos);
  }
}

}  // namespace
}  // namespace palisade::builder
