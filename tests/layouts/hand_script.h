#pragma once
// The decoded setup script assembled by hand from its field table, one
// commented line per stored element, every field holding a value of its own
// (two or more entries in every list, each length form of the compact
// strings, texts in the "|" and UTF-8 form). Nothing here goes through the
// format library, so that a misreading shared by its reader and writer
// shows. Tests that need other values replace whole fields by number.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "byte_assembly.h"

namespace palisade::format::test_bytes {

// 300 bytes, stored with FF and a u16 length (field 22).
inline const std::string kHandMergeFileText = "[HKEY_CURRENT_USER\\Software\\Acme]\r\n" + std::string(265, ';');
// 255 bytes, whose low length byte 0xFF asks for FF FF and a u32 length
// (field 44).
inline const std::string kHandGreetingSound = "RIFF" + std::string(251, '\x7F');
// The settings block (field 63): UTF-8 lines, CR LF between them, none after
// the last.
inline const std::string kHandSettings =
    "NoDowngradeBelow=2.0\r\n"                           // NoDowngradeBelow
    "MustUninstallBelow=1.5\r\n"                         // MustUninstallBelow
    "UpgradeWarningBelow=1.2\r\n"                        // UpgradeWarningBelow
    "InstallFolderValue=HKLM\\Software\\Acme\\Folder\r\n"  // InstallFolderValue
    "CrashReportUrl=http://crash.example:8080/form\r\n"  // CrashReportUrl
    "SupportMail=support@acme.example\r\n"               // SupportMail
    "RebootMarker=1";                                    // RebootMarker

class HandScript {
 public:
  static constexpr int kFieldCount = 69;

  HandScript();

  // Field `number`, 1 to 69, as the table numbers them.
  Assembly& Field(int number) { return fields_.at(static_cast<std::size_t>(number)); }
  // The fields joined in their order.
  std::vector<uint8_t> Bytes() const;

 private:
  std::array<Assembly, kFieldCount + 1> fields_;  // [0] is not a field
};

}  // namespace palisade::format::test_bytes
