#pragma once
// One file of the archive: its record fields, then its bytes and their
// checksum. The number of file bytes is not in the record but in the
// payload header's entry-size table.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "format/archive.h"
#include "format/byte_stream.h"
#include "format/errors.h"

namespace palisade::format {

namespace record_flags {
inline constexpr uint32_t kDesktopShortcut = 0x1;
inline constexpr uint32_t kStartMenuShortcut = 0x2;
inline constexpr uint32_t kOverwriteModeMask = 0x1C;
// Never recorded for removal, never counted as shared.
inline constexpr uint32_t kPermanent = 0x20;
inline constexpr uint32_t kToUninstallFolder = 0x40;
// Kind kMsiPackage only: the uninstaller removes the package.
inline constexpr uint32_t kRemoveMsiPackage = 0x80;
}  // namespace record_flags

// Values of (flags & kOverwriteModeMask); 0x14 acts as kNever, 0x18 and
// 0x1C as kAlways.
namespace overwrite_mode {
inline constexpr uint32_t kAlways = 0x00;
inline constexpr uint32_t kNever = 0x04;
inline constexpr uint32_t kIfExists = 0x08;
inline constexpr uint32_t kIfMissing = 0x0C;
inline constexpr uint32_t kUnlessNewer = 0x10;
}  // namespace overwrite_mode

namespace destination_kind {
inline constexpr uint32_t kInstallFolder = 0;
inline constexpr uint32_t kSharedFolder = 1;
inline constexpr uint32_t kFont = 4;
inline constexpr uint32_t kStartup = 5;
inline constexpr uint32_t kSystemShared = 6;
inline constexpr uint32_t kSystemCom = 7;
inline constexpr uint32_t kSystemTypeLibrary = 8;
inline constexpr uint32_t kVersionChecked = 9;
inline constexpr uint32_t kDriverPackage = 10;
inline constexpr uint32_t kMsiPackage = 11;
inline constexpr uint32_t kControlPanelApplet = 12;
}  // namespace destination_kind

// Narrow texts are kept in their stored form: name, text A and text D in the
// narrow form of narrow_text.h, text C in code page 1252.
struct FileRecord {
  std::string name;  // relative path below the destination folder; never empty
  uint32_t kind = destination_kind::kInstallFolder;
  uint32_t flags = 0;  // record_flags
  uint32_t attributes = 0xFFFFFFFF;  // all ones: leave the attributes as created
  TimeStamp time;
  std::string textA;
  std::u16string textB;  // stored only when flags ask for a desktop or start-menu shortcut
  std::string textC;
  std::u16string destinationOverride;
  std::string textD;
  uint32_t msiUiLevel = 0;  // stored only for kind kMsiPackage
  std::span<const uint8_t> data;  // the file bytes; not owned

  bool operator==(const FileRecord& other) const;
};

// Appends the record bytes (without the record stream's length). False,
// with nothing appended, for an empty name, a text holding a NUL, or more
// than 0x40000000 file bytes.
bool WriteFileRecord(const FileRecord& record, std::vector<uint8_t>& out);

// Reads a record whose file bytes number `entrySize`; `record.data` then
// points into `bytes`. Errors in the order they are tested: kEmptyFileName,
// kNegativeEntrySize, kEntrySizeTooLarge, kFileChecksum (also when the file
// bytes or their checksum are missing).
Error ReadFileRecord(std::span<const uint8_t> bytes, int32_t entrySize, FileRecord& record);

// The fields alone of a record too large to hold whole, whose file bytes
// and checksum follow `fields` in the stream. Errors as ReadFileRecord's,
// with kFileChecksum for fields that do not end where the file bytes begin.
Error ReadRecordFields(std::span<const uint8_t> fields, int32_t entrySize, FileRecord& record);

// Reads the archive's records, one per entry size, in stored order, hands
// each to `onFile` (its data valid only during the call), and then makes the
// end-of-archive checks. Returns the first error met; files handed over
// before it stay handed over.
using FileHandler = std::function<void(std::size_t index, const FileRecord& record)>;
Error ReadFileTable(ArchiveSource& archive, const ChunkCoding& coding, std::span<const int32_t> entrySizes,
                    const FileHandler& onFile);
Error ReadFileTable(std::span<const uint8_t> archive, const ChunkCoding& coding, std::span<const int32_t> entrySizes,
                    const FileHandler& onFile);

}  // namespace palisade::format
