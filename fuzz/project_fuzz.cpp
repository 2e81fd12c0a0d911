// The builder's project file, every table of it, with no environment.
#include "builder/project.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  std::filesystem::path path = fuzz::WriteScratchFile("palisade.toml", {data, size});
  builder::ReadOptions options;
  options.environment = [](const std::string&) { return std::optional<std::string>(); };
  builder::Project project;
  builder::Diagnostics diagnostics(path.string());
  builder::ReadProject(path, options, project, diagnostics);
  return 0;
}
