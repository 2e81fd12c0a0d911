#include "core/ts_vector.h"

#include <cxxabi.h>

#include <cstdlib>

#include "core/ts_fatal.h"

namespace ts {
namespace {

// The compiler's type names are mangled ("i" for int); the message names the
// type as a reader writes it.
Text ReadableTypeName(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  Text name = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  return name;
}

}  // namespace

void FatalIndexError(const std::type_info& type, int index, int count) {
  Fatal("Vector<%s>[%d]\r\nmax_index = %d", ReadableTypeName(type).c_str(), index, count - 1);
}

}  // namespace ts
