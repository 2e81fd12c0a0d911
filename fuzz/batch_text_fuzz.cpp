// A batch's commands as the script or an uninstall key gives them, with the
// command line's additions, made into the bytes of the batch file. A flag
// byte chooses UTF-8 and the leaving out of PAUSE lines; a NUL separates the
// commands from the additions.
#include <cstdlib>
#include <string_view>

#include "actions/batch_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = rest.find('\0');
  const ts::WText commands = ts::WideFromUtf8(rest.substr(0, split));
  const ts::WText additions = split == rest.npos ? ts::WText() : ts::WideFromUtf8(rest.substr(split + 1));
  bool utf8 = false;
  const ts::Text file = BatchFileBytes(L"SET A=1\r\n", BatchWithAdditions(commands, additions), flags & 1, flags & 2, utf8);
  const std::string_view head = utf8 ? "@chcp 65001 >nul\r\n@echo off\r\n" : "@chcp 1252 >nul\r\n@echo off\r\n";
  if (file.compare(0, head.size(), head) != 0) std::abort();
  return 0;
}
