#pragma once
// Damages a sound installer one byte at a time and reads each damaged copy
// the way the engine reads its own file, so that a sweep can show that
// every damage ends in a corrupt-installer code (or the version refusal)
// or in a sound installation whose files are the original bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/archive.h"
#include "format/errors.h"
#include "format/payload_cipher.h"
#include "format/payload_header.h"
#include "format/pe_image.h"

namespace palisade::sweep {

using Bytes = std::vector<uint8_t>;

struct FileRead {
  std::string name;  // stored form
  Bytes data;
};

// What reading an installer came to: the first error, or none, and the
// files handed over before it, in stored order.
struct ReadOutcome {
  format::Error error = format::Error::kNone;
  bool versionMismatch = false;
  bool noPayload = false;  // no ".setup" section at all
  std::vector<FileRead> files;
};

// Reads in the engine's order and with its checks: the payload section,
// the header, the script block and the script, the stub (when the script
// asks for the test), the archive (from the mapped section or from the
// file, as the script says) and every file record.
ReadOutcome ReadAsTheEngineDoes(std::span<const uint8_t> installer);

// Where a damage falls.
enum class Region {
  kHeader,        // the payload header
  kScriptBlock,   // the stored setup script
  kChunkHead,     // a chunk's stored size and checksum
  kChunkBytes,    // a chunk's stored bytes
  kRecordStream,  // the decoded record stream: file records, their bytes and checksums
};
const char* RegionName(Region region);

// The checksums recomputed after the damage, as someone who edits an
// installer on purpose would, so that the checks further in are reached:
// none (a faulty download), the header's archive checksum, or also the
// damaged chunk's own checksum. Damage to the record stream always comes
// with its chunk encoded again and the payload section written again
// around the new archive, with every length and checksum that covers it.
enum class Reseal { kNone, kArchiveChecksum, kChunkChecksum };
const char* ResealName(Reseal reseal);

struct DamageCase {
  Region region = Region::kHeader;
  Reseal reseal = Reseal::kNone;
  std::size_t offset = 0;  // in the file; in the decoded record stream for kRecordStream
  uint8_t mask = 0;        // the bits flipped
};
std::string Describe(const DamageCase& damage);

struct ChunkPlace {
  std::size_t head = 0;  // file offset of the stored size
  std::size_t storedSize = 0;
  std::size_t plainOffset = 0;  // of its decoded bytes in the record stream
  Bytes plain;
};

// Where the parts of a sound installer lie.
struct InstallerLayout {
  format::SectionLocation section;  // its raw-data offset is the payload header's
  format::PayloadHeader header;
  std::size_t headerSize = 0;
  std::optional<format::PayloadCipher> cipher;
  format::ChunkCoding coding;  // points into `cipher`: the layout is not copied
  std::vector<ChunkPlace> chunks;
  std::size_t streamSize = 0;

  InstallerLayout() = default;
  InstallerLayout(const InstallerLayout&) = delete;
  InstallerLayout& operator=(const InstallerLayout&) = delete;
};

// False with a reason when the installer does not read clean.
bool MapInstaller(std::span<const uint8_t> installer, InstallerLayout& layout, std::string& problem);

// Every how many bytes of each region a damage is tried; by default, every
// byte.
struct Density {
  std::size_t header = 1;
  std::size_t scriptBlock = 1;
  std::size_t chunkHeads = 1;  // in chunks: the heads of every n-th chunk
  std::size_t chunkBytes = 1;
  std::size_t recordStream = 1;
};

// The header's, the script block's and the chunk heads' bytes with three
// masks each (the lowest bit, the highest, all eight); the chunks' stored
// bytes, with each reseal, and the record stream with one mask a byte, the
// masks taken in turn.
std::vector<DamageCase> DamageCases(const InstallerLayout& layout, const Density& density);

// The installer with the damage applied and the checksums it asks for
// recomputed.
Bytes DamagedInstaller(std::span<const uint8_t> installer, const InstallerLayout& layout, const DamageCase& damage);

// Reads the damaged installer as the engine would.
ReadOutcome ReadDamaged(std::span<const uint8_t> installer, const InstallerLayout& layout, const DamageCase& damage);

enum class Verdict {
  kCorrupt,         // a corrupt-installer code, every file handed over before it sound
  kVersionRefused,  // the version-mismatch refusal
  kClean,           // read to the end, every file the original bytes
  kUnverifiedFile,  // a file handed over whose bytes are not the original ones
  kNoPayload,       // the payload section was not found (never from payload damage)
};
const char* VerdictName(Verdict verdict);

// Judges an outcome against the files of the sound installer.
Verdict Judge(const ReadOutcome& outcome, const std::vector<FileRead>& sound);

}  // namespace palisade::sweep
