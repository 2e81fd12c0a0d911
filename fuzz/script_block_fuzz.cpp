// The stored script block: unscrambled or deciphered, decompressed, then
// read as a setup script the way the engine reads it.
#include "format/script_block.h"
#include "format/setup_script.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  std::span<const uint8_t> input(data, size);
  fuzz::Coding coding = fuzz::CodingOf(input);
  std::vector<uint8_t> script;
  if (format::DecodeScriptBlock(fuzz::After(input, fuzz::kCodingPrefixSize), coding.cipher ? &*coding.cipher : nullptr,
                                coding.scrambleChecksum, script) != format::Error::kNone) {
    return 0;
  }
  format::SetupScript read;
  format::ReadSetupScript(script, [](std::string_view text) { return std::string(text); }, read);
  return 0;
}
