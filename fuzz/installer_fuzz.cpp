// A whole setup executable as `palisade inspect` and `extract` open it: the
// executable's headers, the payload section and every file record.
#include "builder/installer_reader.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  std::filesystem::path path = fuzz::WriteScratchFile("setup.exe", {data, size});
  builder::OpenedInstaller installer;
  std::string problem;
  if (!builder::OpenInstaller(path, installer, problem)) return 0;
  builder::ReadInstalledFiles(installer, [](std::size_t, const format::FileRecord&) { return true; }, problem);
  return 0;
}
