// Writes the seed corpus of every target: the layouts assembled by hand in
// tests/layouts, and the pieces of the installers named on the command line,
// each cut out by the same readers the engine uses.
//
//   fuzz_seed_writer SEED_FOLDER [SETUP.EXE ...]
//
// A folder per target, in the input form of that target (fuzz_input.h).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bitmap_file.h"
#include "builder/installer_reader.h"
#include "dib_fixtures.h"
#include "format/product_flags.h"
#include "format/script_block.h"
#include "fuzz_input.h"
#include "hand_script.h"
#include "icon_file.h"
#include "uninstall_data_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace palisade;
using Bytes = std::vector<uint8_t>;

// The most records of one installer that become file record seeds: the
// first few show every field the examples use.
constexpr std::size_t kRecordSeedsPerInstaller = 4;

class SeedFolder {
 public:
  explicit SeedFolder(fs::path root) : root_(std::move(root)) {}

  bool Write(const char* target, const std::string& name, std::span<const uint8_t> bytes) {
    if (bytes.empty()) return true;
    fs::create_directories(root_ / target);
    std::ofstream out(root_ / target / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out.good();
  }

 private:
  fs::path root_;
};

Bytes Joined(std::span<const uint8_t> prefix, std::span<const uint8_t> rest) {
  Bytes joined(prefix.begin(), prefix.end());
  joined.insert(joined.end(), rest.begin(), rest.end());
  return joined;
}

Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The hand-assembled "Uninstall.DAT" whole, and each of its lines for the
// readers of one line: the comma-separated ones and the registry lines.
bool WriteRecordTextSeeds(SeedFolder& seeds) {
  const std::string_view record = layouts::kDemoRecord;
  if (!seeds.Write("uninstall_data", "hand", TextBytes(record))) return false;
  int number = 0;
  for (size_t start = 0; start < record.size(); ++number) {
    size_t end = std::min(record.find("\r\n", start), record.size());
    const Bytes line = TextBytes(record.substr(start, end - start));
    if (!seeds.Write("csv", "hand-" + std::to_string(number), line) ||
        !seeds.Write("registry_entry", "hand-" + std::to_string(number), line)) {
      return false;
    }
    start = end + 2;
  }
  const char* const registryLines[] = {"\\HKCU\\Software\\Acme,Count,4,-12,3", "\\HKLM\\Software\\Acme,Blob,3,0a 1B ff,5",
                                        "\\HKAU\\Software\\Acme,Big,11,9223372036854775807,6",
                                        "\\HKLM\\Software\\Acme,\"Path, with comma\",2,%InstallDir%\\bin,1"};
  for (const char* line : registryLines) {
    if (!seeds.Write("registry_entry", "typed-" + std::to_string(number++), TextBytes(line))) return false;
  }
  // Flag byte 3: UTF-8 allowed, PAUSE lines left out; a NUL before the additions.
  return seeds.Write("batch_text", "hand", TextBytes(std::string_view("\x03copy a b\r\n  @pause \r\necho caf\xC3\xA9\0del x", 38)));
}

bool WriteHandSeeds(SeedFolder& seeds) {
  using namespace format::test_bytes;
  BitmapShape palette{.bitsPerPixel = 8, .colours = 2, .gap = 6};
  return WriteRecordTextSeeds(seeds) && seeds.Write("setup_script", "hand", HandScript().Bytes()) &&
         seeds.Write("pictures", "hand-icon", IconFile()) &&
         seeds.Write("pictures", "hand-top-down-dib", TopDownPaletteDib()) &&
         seeds.Write("pictures", "hand-core-dib", CoreHeaderDib()) &&
         seeds.Write("pictures", "hand-masked-dib", MaskedDib(0x00FF0000, 0x80)) &&
         seeds.Write("pictures", "hand-bmp", BitmapFile(palette));
}

// The coding prefix of the script block and archive inputs for this
// installer.
Bytes CodingPrefix(const builder::OpenedInstaller& installer) {
  Bytes prefix(fuzz::kCodingPrefixSize);
  if ((installer.script.productFlagsLow & format::product_flags_low::kArchiveCompressed) != 0) {
    prefix[0] |= fuzz::kModeCompressed;
  }
  if (installer.cipher) {
    prefix[0] |= fuzz::kModeEnciphered;
    std::copy(installer.header.cipherKey.begin(), installer.header.cipherKey.end(), prefix.begin() + 1);
  } else {
    for (int i = 0; i < 4; ++i) prefix[1 + i] = static_cast<uint8_t>(installer.header.scriptChecksum >> (8 * i));
  }
  return prefix;
}

bool WriteRecordSeeds(SeedFolder& seeds, const std::string& name, const builder::OpenedInstaller& installer,
                      const format::ChunkCoding& coding) {
  format::ArchiveReader reader(installer.archive, coding);
  Bytes record;
  for (std::size_t i = 0; i < installer.header.entrySizes.size() && i < kRecordSeedsPerInstaller; ++i) {
    if (reader.NextRecord(record) != format::Error::kNone) return false;
    int32_t entrySize = installer.header.entrySizes[i];
    const uint8_t size[4] = {static_cast<uint8_t>(entrySize), static_cast<uint8_t>(entrySize >> 8),
                             static_cast<uint8_t>(entrySize >> 16), static_cast<uint8_t>(entrySize >> 24)};
    if (!seeds.Write("file_record", name + "-" + std::to_string(i), Joined(size, record))) return false;
  }
  return true;
}

bool WriteInstallerSeeds(SeedFolder& seeds, const fs::path& path, std::string& problem) {
  builder::OpenedInstaller installer;
  if (!builder::OpenInstaller(path, installer, problem)) return false;
  std::string name = path.stem().string();
  std::span<const uint8_t> file = installer.file.bytes();
  std::span<const uint8_t> section = file.subspan(installer.section.rawOffset, installer.section.rawSize);
  std::span<const uint8_t> block = section.subspan(format::HeaderSize(installer.header),
                                                   static_cast<std::size_t>(installer.header.scriptBlockSize));
  Bytes prefix = CodingPrefix(installer);
  const format::PayloadCipher* cipher = installer.cipher ? &*installer.cipher : nullptr;
  Bytes script;
  if (format::DecodeScriptBlock(block, cipher, installer.header.scriptChecksum, script) != format::Error::kNone) {
    problem = "the script block does not decode";
    return false;
  }
  format::ChunkCoding coding{(prefix[0] & fuzz::kModeCompressed) != 0, cipher};
  problem = "cannot write the seeds";
  return seeds.Write("installer", name, file) && seeds.Write("payload_header", name, section) &&
         seeds.Write("script_block", name, Joined(prefix, block)) && seeds.Write("setup_script", name, script) &&
         seeds.Write("archive", name, Joined(prefix, installer.archive)) &&
         seeds.Write("pictures", name + "-product-icon", installer.script.productIcon) &&
         seeds.Write("pictures", name + "-uninstaller-icon", installer.script.uninstallerIcon) &&
         seeds.Write("pictures", name + "-background", installer.script.backgroundBitmap) &&
         WriteRecordSeeds(seeds, name, installer, coding);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fuzz_seed_writer SEED_FOLDER [SETUP.EXE ...]\n");
    return 2;
  }
  SeedFolder seeds(argv[1]);
  if (!WriteHandSeeds(seeds)) {
    std::fprintf(stderr, "fuzz_seed_writer: cannot write the hand-assembled seeds in %s\n", argv[1]);
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    std::string problem;
    if (!WriteInstallerSeeds(seeds, argv[i], problem)) {
      std::fprintf(stderr, "fuzz_seed_writer: %s: %s\n", argv[i], problem.c_str());
      return 1;
    }
  }
  return 0;
}
