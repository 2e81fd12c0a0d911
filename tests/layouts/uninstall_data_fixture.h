#pragma once
// A stored "Uninstall.DAT", shared by the record tests and the fuzz seeds.

namespace palisade::layouts {

// "Uninstall.DAT" of a demo product, assembled by hand from the file's
// layout: the entry list, then every section under its header. Texts outside
// ASCII are spelt out in UTF-8 bytes.
inline constexpr char kDemoRecord[] =
    // Entries, one per line in the order recorded. A file has no marker.
    "C:\\Program Files\\Palisade Demo\\demo.exe\r\n"
    // "~" a folder
    "~C:\\Program Files\\Palisade Demo\r\n"
    // "~" a folder outside ASCII: "|" and UTF-8 ("Donn\u00e9es")
    "~|C:\\Program Files\\Palisade Demo\\Donn\xC3\xA9" "es\r\n"
    // a file outside ASCII: "|" and UTF-8 ("caf\u00e9.txt")
    "|C:\\Program Files\\Palisade Demo\\Donn\xC3\xA9" "es\\caf\xC3\xA9.txt\r\n"
    // "!" a registry value: the key path, a backslash and the value name
    "!\\HKLM\\Software\\Palisade Demo\\InstallDir\r\n"
    // "^" a registry key with its subkeys
    "^\\HKCU\\Software\\Palisade Demo\r\n"
    // "*" a registry key with its subkeys in the 64-bit view
    "*\\HKLM\\Software\\Classes\\CLSID\\{6F2A1C3E-0B7D-4E51-9A3C-2D8E5F104B7A}\r\n"
    // Every section begins after two line ends with its header.
    "\r\n\r\n[Strings]\r\n"
    // ~10, a text of three lines, the middle one empty
    "~10\r\nThe uninstallation could not remove everything:\r\n\r\n%s\r\n"
    // ~15, empty
    "~15\r\n\r\n"
    // ~20 in UTF-8 (an en dash)
    "~20\r\nPalisade Demo \xE2\x80\x93 Setup\r\n"
    // ~30 to ~49, empty
    "~30\r\n\r\n~34\r\n\r\n~35\r\n\r\n~49\r\n\r\n"
    // ~53 with a placeholder, kept as written
    "~53\r\nRemove <product> from this computer?\r\n"
    // ~55 to ~57, empty
    "~55\r\n\r\n~56\r\n\r\n~57\r\n\r\n"
    // ~58, the prefix of a file that stays
    "~58\r\nCould not remove\r\n"
    // ~59 to ~111, empty
    "~59\r\n\r\n~65\r\n\r\n~67\r\n\r\n~68\r\n\r\n~69\r\n\r\n~70\r\n\r\n~71\r\n\r\n~74\r\n\r\n~79\r\n\r\n~80\r\n\r\n"
    "~99\r\n\r\n~100\r\n\r\n~101\r\n\r\n~104\r\n\r\n~107\r\n\r\n~108\r\n\r\n~109\r\n\r\n~110\r\n\r\n~111\r\n\r\n"
    // ~999, the product heading
    "~999\r\nPalisade Demo 2.1\r\n"
    "\r\n\r\n[AutoClose]\r\n"
    // class, title (empty), application, action 0
    "DemoMainWindow,,Palisade Demo,0\r\n"
    // class (empty), a title with a comma and inner quotes, an application
    // outside ASCII (quoted for its bar), action 2
    ",\"Say \"\"hi\"\", viewer\",\"|D\xC3\xA9mo Viewer\",2\r\n"
    "\r\n\r\n[Associations]\r\n"
    // extension ~!~ ProgID ~!~ verb ~!~ icon
    ".pdm~!~PalisadeDemo.Document~!~open~!~C:\\Program Files\\Palisade Demo\\demo.exe,0\r\n"
    "\r\n\r\n[Firewall]\r\n"
    // one exception, as the script gave it
    "%InstallDir%\\demo.exe;Palisade Demo;3;0\r\n"
    "\r\n\r\n[INF]\r\n"
    // where the driver's INF file went
    "C:\\Windows\\INF\\oem12.inf\r\n"
    "\r\n\r\n[MSI]\r\n"
    // package path, user-interface level
    "C:\\Program Files\\Palisade Demo\\runtime.msi,2\r\n"
    "\r\n\r\n[Registry2]\r\n"
    // the merge lines in UTF-8, without a bar ("\u00c9diteur")
    "\\HKLM\\Software\\Palisade Demo,\xC3\x89" "diteur,Palisade\r\n"
    "\\HKCU\\Software\\Palisade Demo,Theme,dark\r\n"
    "\r\n\r\n[ConditionalDelete]\r\n"
    // pattern, condition kind 1, no value, flags 8 (at uninstallation)
    "*.tmp,1,,8\r\n"
    // a pattern quoted for its leading hash sign, kind 2, a value outside
    // ASCII quoted for its bar, flags 9
    "\"#old#\\settings.ini\",2,\"|\xC3\x84rger\",9\r\n";

}  // namespace palisade::layouts
