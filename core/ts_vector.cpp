#include "core/ts_vector.h"

#include <string_view>

#include "core/ts_fatal.h"

namespace ts {
namespace {

// The signature reads "... [with T = NAME; ...]" (GCC) or "... [T = NAME]"
// (clang); the name ends at the first ';' or at the closing bracket.
Text TypeNameIn(std::string_view signature) {
  size_t start = signature.find("T = ") + 4;
  size_t end = signature.find(';', start);
  if (end == std::string_view::npos) end = signature.rfind(']');
  return Text(signature.substr(start, end - start));
}

}  // namespace

void FatalIndexError(const char* signature, int index, int count) {
  Fatal("Vector<%s>[%d]\r\nmax_index = %d", TypeNameIn(signature).c_str(), index, count - 1);
}

}  // namespace ts
