#pragma once
// The setup script as the payload stores it: xz-compressed, then enciphered
// (PayloadCipher) or, without a cipher, scrambled with the checksum of the
// script itself, which the header carries.
#include <cstdint>
#include <span>
#include <vector>

#include "format/errors.h"
#include "format/payload_cipher.h"
#include "format/xz.h"

namespace palisade::format {

// Replaces `block` with the stored form of `script`; `cipher` may be null.
// False when compression fails or the block would break the header's size
// limit.
bool EncodeScriptBlock(std::span<const uint8_t> script, const PayloadCipher* cipher, const XzEncodeOptions& options,
                       std::vector<uint8_t>& block);

// Undoes EncodeScriptBlock: deciphers with `cipher`, or unscrambles with
// `scriptChecksum` when `cipher` is null, then decompresses. Any failure is
// Error::kScriptNotDecoded. The caller tests the script against its checksum
// (Error::kScriptChecksum) once it has read the script's first fields.
Error DecodeScriptBlock(std::span<const uint8_t> block, const PayloadCipher* cipher, uint32_t scriptChecksum,
                        std::vector<uint8_t>& script, const XzProgress* progress = nullptr);

}  // namespace palisade::format
