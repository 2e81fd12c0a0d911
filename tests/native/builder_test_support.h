#pragma once
// A scratch folder with a stand-in engine, project files written into it,
// and the `palisade` commands run in-process against them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "builder/cli.h"

namespace palisade::builder::test_support {

namespace fs = std::filesystem;

inline void Put16(std::vector<uint8_t>& image, std::size_t at, uint16_t value) {
  image[at] = static_cast<uint8_t>(value);
  image[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& image, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// The smallest 32-bit executable the payload section can be added to: four
// sections of one file-alignment unit each, room for one more header.
inline std::vector<uint8_t> StandInEngine() {
  constexpr uint32_t kPe = 0x80, kSections = 4, kFileAlignment = 0x200, kSectionAlignment = 0x1000, kHeaders = 0x400;
  std::vector<uint8_t> image(kHeaders + kSections * kFileAlignment, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, kPe);
  std::memcpy(&image[kPe], "PE\0\0", 4);
  Put16(image, kPe + 4, 0x14C);
  Put16(image, kPe + 6, kSections);
  Put16(image, kPe + 20, 224);
  Put16(image, kPe + 22, 0x102);
  Put16(image, kPe + 24, 0x10B);
  Put32(image, kPe + 52, 0x400000);
  Put32(image, kPe + 56, kSectionAlignment);
  Put32(image, kPe + 60, kFileAlignment);
  Put32(image, kPe + 80, kSectionAlignment * (kSections + 1));
  Put32(image, kPe + 84, kHeaders);
  Put16(image, kPe + 92, 2);
  Put32(image, kPe + 116, 16);
  for (uint32_t i = 0; i < kSections; ++i) {
    std::size_t entry = kPe + 24 + 224 + i * 40;
    image[entry] = '.';
    image[entry + 1] = static_cast<uint8_t>('a' + i);
    Put32(image, entry + 8, kFileAlignment);
    Put32(image, entry + 12, kSectionAlignment * (i + 1));
    Put32(image, entry + 16, kFileAlignment);
    Put32(image, entry + 20, kHeaders + i * kFileAlignment);
    Put32(image, entry + 36, 0x40000040);
    for (uint32_t b = 0; b < kFileAlignment; ++b)
      image[kHeaders + i * kFileAlignment + b] = static_cast<uint8_t>(i + b);
  }
  return image;
}

struct CommandResult {
  int status;
  std::string out;
  std::string err;
};

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A variable of this process's own environment, set until the end of the
// scope: the programs a command starts are looked up on this PATH, and
// temporary files go below this TMPDIR.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class BuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "palisade-builder-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    workingFolder_ = dir_;
    std::vector<uint8_t> engine = StandInEngine();
    WriteBytes("engine.exe", engine);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& relative) const { return dir_ / relative; }

  void WriteText(const std::string& relative, std::string_view text) {
    fs::create_directories(Path(relative).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << text;
  }
  void WriteBytes(const std::string& relative, const std::vector<uint8_t>& bytes) {
    fs::create_directories(Path(relative).parent_path());
    std::ofstream(Path(relative), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> ReadBytes(const std::string& relative) const {
    std::string text = ReadText(Path(relative));
    return std::vector<uint8_t>(text.begin(), text.end());
  }

  CommandResult Run(const std::vector<std::string>& args, std::optional<std::string> sourceDateEpoch = std::nullopt) {
    std::ostringstream out, err;
    Environment environment{selfPath_.empty() ? Path("palisade") : selfPath_, sourceDateEpoch, false, Variables(),
                            workingFolder_};
    int status = RunCommand(args, environment, out, err);
    return {status, out.str(), err.str()};
  }

  // Writes `project` as palisade.toml and builds it into `output`.
  CommandResult Build(std::string_view project, const std::string& output = "setup.exe",
                      const std::vector<std::string>& extra = {}) {
    WriteText("palisade.toml", project);
    std::vector<std::string> args = {"build",    Path("palisade.toml").string(), "-o", Path(output).string(),
                                     "--engine", Path("engine.exe").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args, "1700000000");
  }

  // The environment variables that commands and project readers see.
  VariableLookup Variables() const {
    return [this](const std::string& name) -> std::optional<std::string> {
      auto found = variables_.find(name);
      return found != variables_.end() ? std::optional<std::string>(found->second) : std::nullopt;
    };
  }

  fs::path dir_;
  fs::path workingFolder_;  // the folder commands run in; the scratch folder unless a test moves
  fs::path selfPath_;       // the running `palisade`; empty: one in the scratch folder
  std::map<std::string, std::string> variables_;
};

// A project that names a product and packs the folder "app".
inline constexpr char kMinimalProject[] = R"(
[product]
name = "Acme Notes"
version = "2.1.0"

[[files]]
from = "app/**"
)";

}  // namespace palisade::builder::test_support
