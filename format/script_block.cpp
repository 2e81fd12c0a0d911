#include "format/script_block.h"

#include "format/checks.h"
#include "format/checksum.h"
#include "format/scramble.h"

namespace palisade::format {

bool EncodeScriptBlock(std::span<const uint8_t> script, const PayloadCipher* cipher, const XzEncodeOptions& options,
                       std::vector<uint8_t>& block) {
  std::vector<uint8_t> compressed;
  if (!XzEncode(script, options, compressed)) return false;
  if (cipher != nullptr) {
    block = cipher->Encipher(compressed);
  } else {
    Scramble(compressed, Checksum(script));
    block = std::move(compressed);
  }
  return Check(kScriptBlockSizeRule, static_cast<int64_t>(block.size())) == Error::kNone;
}

Error DecodeScriptBlock(std::span<const uint8_t> block, const PayloadCipher* cipher, uint32_t scriptChecksum,
                        std::vector<uint8_t>& script, const XzProgress* progress) {
  std::vector<uint8_t> compressed;
  if (cipher != nullptr) {
    if (!cipher->Decipher(block, compressed)) return Error::kScriptNotDecoded;
  } else {
    compressed.assign(block.begin(), block.end());
    Scramble(compressed, scriptChecksum);
  }
  return XzDecode(compressed, script, progress) ? Error::kNone : Error::kScriptNotDecoded;
}

}  // namespace palisade::format
