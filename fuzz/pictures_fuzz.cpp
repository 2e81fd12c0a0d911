// The pictures a project or a script carries: icon files and bitmaps, the
// latter both as DIBs and as .bmp files.
#include "format/dib_layout.h"
#include "format/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade::format;
  std::span<const uint8_t> input(data, size);
  IconResources icon;
  IconResourcesOf(input, 1, icon);
  DibLayout layout;
  CheckDib(input, layout);
  DibPixelOffset(input);
  std::vector<uint8_t> dib;
  if (DibFromBitmapFile(input, dib)) CheckDib(dib, layout);
  return 0;
}
