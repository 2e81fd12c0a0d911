#pragma once
// The numbered codes of the corrupt-installer report. The numbers are shown
// to users and quoted in support requests, so they never change.
#include <cstdint>

namespace palisade::format {

enum class Error : int32_t {
  kNone = 0,

  // Locating the payload section in the installer's own file.
  kSectionAtOffsetZero = 9,       // the ".setup" section's raw-data file offset is 0
  kSectionSeekFailed = 10,        // the file position cannot be set to the section's raw data
  kPeHeaderOffset = 43,           // the PE-header offset lies outside 64..4096
  kSectionCount = 44,             // the section count lies outside 4..99

  // Payload header.
  kBadMagic = 20,                 // the header does not start with the payload magic
  kScriptBlockSize = 22,          // the script block size is outside 1..0x31FFFFF or runs past the section
  kEntryCount = 27,               // the entry count is negative or its size table runs past the section
  kEntrySize = 28,                // an entry size is outside 0..0x40000000
  kArchiveLength = 29,            // the archive length is negative
  kArchiveEnd = 45,               // the archive end is negative

  // Script block and script.
  kStatusTimeTooLong = 19,        // the minimum status time is above 9,999 ms
  kLicenseCount = 24,             // the licence text count is outside 0..20
  kScriptChecksum = 25,           // the decoded script does not match its header checksum
  kReadmeCount = 26,              // the readme text count is outside 0..20
  kLanguageCount = 30,            // the language count is outside 1..200
  kMessageCount = 31,             // the message count is outside 1..10,000
  kEndMarker = 32,                // the script does not close with its end marker (cut short or misread)
  kAssociationCount = 36,         // the file association count is outside 0..1,000
  kRegistrationValueCount = 37,   // the extra registration value count is outside 0..1,000
  kConditionalDeleteCount = 38,   // more than 1,001 conditional-delete rules
  kBitmapSize = 39,               // the background bitmap size is outside 0..100 per cent
  kCloseRuleCount = 41,           // more than 1,000 close rules
  kScriptNotDecoded = 47,         // the script block does not decipher or decompress
  kShortcutCount = 48,            // the shortcut count is outside 0..1,000

  // Installer stub and uninstaller image.
  kStubUnreadable = 35,           // the installer stub cannot be read from the file
  kStubChecksum = 40,             // the stub does not match the header's stub checksum
  kTrailerUnreadable = 42,        // the file bytes after the payload section cannot be read

  // Archive data.
  kArchiveLengthMismatch = 46,    // the archive found differs in length from the header's
  kArchiveChecksum = 55,          // the archive does not match the header's archive checksum
  kChunkNotDecoded = 60,          // a chunk does not decipher or decompress
  kChunkSize = 61,                // a chunk's stored size is 0 or negative
  kChunkChecksum = 62,            // a chunk's stored bytes do not match its checksum
  kChunkPastEnd = 63,             // a chunk (or its size and checksum) runs past the archive's end
  kArchiveBytesLeft = 80,         // archive bytes remain after the last record's chunk
  kRecordBytesLeft = 83,          // decoded bytes remain after the last record

  // File records and the file phase.
  kNegativeWriteSize = 5,         // a file to write has a negative size
  kEmptyFileName = 70,            // a file record's name is empty
  kNegativeEntrySize = 71,        // a record's entry size is negative
  kEntrySizeTooLarge = 72,        // a record's entry size is above 0x40000000
  kAppletWithoutName = 78,        // a control-panel applet has no usable display name
  kAppletWithoutClassId = 79,     // a control-panel applet has no class identifier
  kFileChecksum = 100,            // a record's file bytes do not match their checksum (or are missing)
  kUnknownDestination = 110,      // a file record names an unknown destination kind

  // Other script lists.
  kBadFirewallLine = 90,          // a firewall line does not have exactly four fields
  kBadConditionalVersion = 65,    // a conditional-delete rule of a version kind holds no version text
  kBadRegistrationValueType = 200,  // an extra registration value has an unknown type code
};

constexpr int ErrorCode(Error error) { return static_cast<int>(error); }

}  // namespace palisade::format
