#pragma once
// The payload header at the start of the ".setup" section, the script block
// after it and the archive data after that.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/archive_source.h"
#include "format/errors.h"
#include "format/payload_cipher.h"
#include "format/version.h"

namespace palisade::format {

inline constexpr uint32_t kPayloadMagic = 0xA4F23DE5;

struct PayloadHeader {
  std::string engineVersion = kEngineVersion;
  uint32_t productFlags2 = 0;  // `ProductFlags2`, bits in product_flags.h
  int32_t scriptBlockSize = 0;
  uint32_t scriptChecksum = 0;  // of the decoded script; also the scramble key
  uint32_t stubChecksum = 0;
  int32_t archiveEnd = 0;  // section offset of the archive's end
  int32_t archiveLength = 0;
  uint32_t archiveChecksum = 0;
  std::vector<int32_t> entrySizes;  // file bytes of each record, in order
  std::array<uint8_t, kPayloadKeySize> cipherKey{};  // stored only when enciphered

  bool enciphered() const;
  bool operator==(const PayloadHeader&) const = default;
};

// Bytes the header takes in the section; the script block starts there.
std::size_t HeaderSize(const PayloadHeader& header);
// Section offset of the archive data: right after the script block.
std::size_t ArchiveStart(const PayloadHeader& header);

// False when the version holds a NUL or there are more entries than an i32
// counts; the header is then not written.
bool WritePayloadHeader(const PayloadHeader& header, std::vector<uint8_t>& out);

struct HeaderReadResult {
  Error error = Error::kNone;
  // The payload was built for another engine; reading stopped after the
  // version, and the engine shows its version-mismatch message.
  bool versionMismatch = false;

  bool ok() const { return error == Error::kNone && !versionMismatch; }
};

// Reads and checks the header fields in their stored order, stopping at the
// first failure. Beyond the checks of each field, an entry-size table that
// runs past the section is Error::kEntryCount and a script block that does
// so is Error::kScriptBlockSize.
HeaderReadResult ReadPayloadHeader(std::span<const uint8_t> section, PayloadHeader& header);

// The cipher of an enciphered payload; none for a scrambled one.
std::optional<PayloadCipher> HeaderCipher(const PayloadHeader& header);

// The archive as it lies in the section: from the archive start to the
// header's archive end, clamped to the section. An archive end before the
// archive start is Error::kArchiveLengthMismatch: no archive length equals
// a negative one.
Error ArchiveInSection(std::span<const uint8_t> section, const PayloadHeader& header,
                       std::span<const uint8_t>& archive);

// Error::kArchiveLengthMismatch or Error::kArchiveChecksum when the archive
// found is not the one the header describes.
// The source is read a piece at a time.
Error VerifyArchive(ArchiveSource& archive, const PayloadHeader& header);
Error VerifyArchive(std::span<const uint8_t> archive, const PayloadHeader& header);

}  // namespace palisade::format
