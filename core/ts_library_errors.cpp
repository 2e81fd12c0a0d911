// The standard library reports a misuse, such as a position past a text's
// end or a length beyond what a container can hold, by throwing from these
// functions. The engine catches nothing, so every such throw ended in the
// runtime's terminate handler; they end here the same way, with the
// handler's words on standard error and abort(), without linking the
// library's exception classes and the second string type that they carry.
//
// The terminate handler itself is ours too: the library's demangles the
// type's name, and that alone links its 45 KB demangler. Ours writes the
// name as the compiler mangles it ("St9bad_alloc" for std::bad_alloc).
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>

#include <cxxabi.h>

namespace {

[[noreturn]] void End(const char* words) {
  std::fputs(words, stderr);
  std::abort();
}

// `what` is null for a thrown value that is no std::exception.
[[noreturn]] void Terminate(const char* type, const char* what) {
  std::fputs("terminate called after throwing an instance of '", stderr);
  std::fputs(type, stderr);
  std::fputs("'\n", stderr);
  if (what) {
    std::fputs("  what():  ", stderr);
    std::fputs(what, stderr);
    std::fputs("\n", stderr);
  }
  std::abort();
}

bool g_terminating = false;

}  // namespace

namespace std {

// Besides the bad_function_call one, these are all the functions of the
// library's functexcept.o: given all, the linker never takes that file, whose
// copies would clash with these (a test program that links more of the
// library, such as its streams, would otherwise pull it in).
void __throw_bad_alloc() { Terminate("std::bad_alloc", "std::bad_alloc"); }
void __throw_bad_array_new_length() { Terminate("std::bad_array_new_length", "std::bad_array_new_length"); }
void __throw_bad_cast() { Terminate("std::bad_cast", "std::bad_cast"); }
void __throw_bad_exception() { Terminate("std::bad_exception", "std::bad_exception"); }
void __throw_bad_function_call() { Terminate("std::bad_function_call", "bad_function_call"); }
void __throw_bad_typeid() { Terminate("std::bad_typeid", "std::bad_typeid"); }
void __throw_domain_error(const char* what) { Terminate("std::domain_error", what); }
void __throw_invalid_argument(const char* what) { Terminate("std::invalid_argument", what); }
void __throw_length_error(const char* what) { Terminate("std::length_error", what); }
void __throw_logic_error(const char* what) { Terminate("std::logic_error", what); }
void __throw_out_of_range(const char* what) { Terminate("std::out_of_range", what); }
void __throw_overflow_error(const char* what) { Terminate("std::overflow_error", what); }
void __throw_range_error(const char* what) { Terminate("std::range_error", what); }
void __throw_runtime_error(const char* what) { Terminate("std::runtime_error", what); }
void __throw_underflow_error(const char* what) { Terminate("std::underflow_error", what); }

void __throw_out_of_range_fmt(const char* format, ...) {
  char what[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(what, sizeof what, format, args);
  va_end(args);
  Terminate("std::out_of_range", what);
}

}  // namespace std

namespace __gnu_cxx {

// Defined here, the library's own handler is never linked; the library
// installs this one as the default all the same.
void __verbose_terminate_handler() {
  if (g_terminating) End("terminate called recursively\n");
  g_terminating = true;
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (!type) End("terminate called without an active exception\n");
  const char* what = nullptr;
  try {
    throw;
  } catch (const std::exception& thrown) {
    what = thrown.what();
  } catch (...) {
  }
  Terminate(type->name(), what);
}

}  // namespace __gnu_cxx
