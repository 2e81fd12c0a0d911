// The decoded setup script, field by field, with its settings and icon
// blocks. A script that reads back must write and read back the same.
#include <cstdlib>

#include "format/setup_script.h"

namespace {

using namespace palisade::format;

std::string Unchanged(std::string_view text) { return std::string(text); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetupScript script;
  if (ReadSetupScript({data, size}, Unchanged, script) != Error::kNone) return 0;
  Bytes written;
  std::string problem;
  if (!WriteSetupScript(script, written, problem)) return 0;
  SetupScript again;
  if (ReadSetupScript(written, Unchanged, again) != Error::kNone) std::abort();
  Bytes rewritten;
  if (!WriteSetupScript(again, rewritten, problem) || rewritten != written) std::abort();
  return 0;
}
