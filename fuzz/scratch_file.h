#pragma once
// The builder's readers open files by path: each input is written to one
// file in a folder of its own below the system's temporary folder, so that
// the files a project names relative to itself are looked for in an empty
// folder.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

namespace palisade::fuzz {

inline const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("palisade-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

inline std::filesystem::path WriteScratchFile(const char* name, std::span<const uint8_t> bytes) {
  std::filesystem::path path = ScratchFolder() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.good()) std::abort();
  return path;
}

}  // namespace palisade::fuzz
