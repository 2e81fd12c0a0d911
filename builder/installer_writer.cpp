#include "builder/installer_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "builder/atomic_file.h"
#include "format/checksum.h"
#include "builder/chunk_pipeline.h"
#include "builder/mapped_file.h"
#include "builder/record_stream.h"
#include "builder/setup_resources.h"
#include "format/archive.h"
#include "format/byte_order.h"
#include "format/checksum.h"
#include "format/installer_image.h"
#include "format/payload_header.h"
#include "format/pe_image.h"
#include "format/product_flags.h"
#include "format/script_block.h"

namespace palisade::builder {
namespace {

constexpr std::size_t kReadPieceSize = 256 * 1024;
constexpr uint8_t kBitness32Only = 2;  // the script's bitness of a product for 32-bit Windows only

using FilePointer = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The record's fields as WriteFileRecord stores them, without the file bytes
// and their checksum: those come last in a record and are streamed instead.
bool RecordHead(const format::FileRecord& record, std::vector<uint8_t>& head) {
  format::FileRecord fields = record;
  fields.data = {};
  if (!format::WriteFileRecord(fields, head)) return false;
  head.resize(head.size() - sizeof(uint32_t));
  return true;
}

// Frames each encoded chunk into the spool file and keeps the archive's
// length and checksum.
class ArchiveSpool {
 public:
  explicit ArchiveSpool(std::FILE* file) : file_(file) {}

  bool Write(const std::vector<uint8_t>& stored) {
    std::vector<uint8_t> framed;
    if (!format::AppendChunk(stored, framed)) return false;
    checksum_.Add(framed);
    length_ += framed.size();
    return std::fwrite(framed.data(), 1, framed.size(), file_) == framed.size();
  }
  uint64_t length() const { return length_; }
  uint32_t checksum() const { return checksum_.Value(); }

 private:
  std::FILE* file_;
  format::ChecksumAccumulator checksum_;
  uint64_t length_ = 0;
};

bool StreamFile(const FileSource& file, RecordStream& stream, const WriteOptions& options, std::string& problem) {
  std::vector<uint8_t> head;
  if (!RecordHead(file.record, head)) {
    problem = "cannot store the record of \"" + file.source.string() + "\"";
    return false;
  }
  std::ifstream in(file.source, std::ios::binary);
  if (!in || !stream.BeginRecord(head.size() + file.size + sizeof(uint32_t)) || !stream.Append(head)) {
    problem = in ? "the archive could not be written" : "cannot read \"" + file.source.string() + "\"";
    return false;
  }
  format::ChecksumAccumulator checksum;
  std::vector<uint8_t> piece(kReadPieceSize);
  uint64_t total = 0;
  while (in && total <= file.size) {
    in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
    std::span<const uint8_t> read(piece.data(), static_cast<std::size_t>(in.gcount()));
    total += read.size();
    checksum.Add(read);
    if (!stream.Append(read)) return (problem = "the archive could not be written", false);
    if (options.progress) options.progress(read.size());
  }
  if (total != file.size) {
    problem = "\"" + file.source.string() + "\" changed while the installer was built";
    return false;
  }
  uint8_t sum[4];
  format::StoreLe32(sum, checksum.Value());
  return stream.Append(sum) || (problem = "the archive could not be written", false);
}

bool WriteArchive(const Project& project, const format::ChunkCoding& coding, const WriteOptions& options,
                  ArchiveSpool& spool, std::string& problem) {
  ChunkPipeline pipeline(
      options.jobs,
      [&](const std::vector<uint8_t>& plain, std::vector<uint8_t>& stored) {
        return format::EncodeChunk(plain, coding, project.xz, stored);
      },
      [&](const std::vector<uint8_t>& stored) { return spool.Write(stored); });
  RecordStream stream(project.chunkSize, [&](std::vector<uint8_t> chunk) { return pipeline.Submit(std::move(chunk)); });
  for (const FileSource& file : project.files) {
    if (!StreamFile(file, stream, options, problem)) return false;
  }
  if (!stream.Finish() || !pipeline.Finish()) {
    problem = "the archive could not be compressed or written";
    return false;
  }
  return true;
}

bool ReadEngine(const std::filesystem::path& path, std::vector<uint8_t>& engine, std::string& problem) {
  MappedFile file;
  if (!file.Open(path, problem)) {
    problem += "; build the engine with `make engine` or name it with --engine";
    return false;
  }
  engine.assign(file.bytes().begin(), file.bytes().end());
  format::SectionSearch search = format::FindPayloadSection(engine);
  if (search.found) {
    problem = "\"" + path.string() + "\" is an installer already, not the bare engine";
    return false;
  }
  return true;
}

// The script block and the archive, which follow the payload header; the
// header itself is stored last, once the checksums over the finished file
// are known.
bool WritePayload(const Project& project, format::PayloadHeader& header, std::FILE* spool, const WriteOptions& options,
                  std::string& problem) {
  std::vector<uint8_t> script;
  if (!format::WriteSetupScript(project.script, script, problem)) {
    problem = "the project's " + problem + " cannot be stored";
    return false;
  }
  bool enciphered = (project.productFlags2 & format::product_flags2::kEnciphered) != 0;
  if (enciphered) {
    std::array<uint8_t, format::kPayloadKeySize> key = project.key.value_or(DerivedKey(script, project.files));
    header.cipherKey = key;
  }
  std::optional<format::PayloadCipher> cipher = format::HeaderCipher(header);
  std::vector<uint8_t> block;
  if (!format::EncodeScriptBlock(script, cipher ? &*cipher : nullptr, project.xz, block)) {
    problem = "the setup script is too large";
    return false;
  }
  header.scriptBlockSize = static_cast<int32_t>(block.size());
  header.scriptChecksum = format::Checksum(script);
  std::fwrite(block.data(), 1, block.size(), spool);
  ArchiveSpool archive(spool);
  format::ChunkCoding coding{(project.script.productFlagsLow & format::product_flags_low::kArchiveCompressed) != 0,
                             cipher ? &*cipher : nullptr};
  if (!WriteArchive(project, coding, options, archive, problem)) return false;
  uint64_t end = format::ArchiveStart(header) + archive.length();
  if (end > static_cast<uint64_t>(INT32_MAX)) {
    problem = "the compressed files take more than 2 GiB, more than one installer can hold";
    return false;
  }
  header.archiveLength = static_cast<int32_t>(archive.length());
  header.archiveEnd = static_cast<int32_t>(end);
  header.archiveChecksum = archive.checksum();
  return std::fflush(spool) == 0 && !std::ferror(spool);
}

// Bytes in the spool: the payload after its header.
uint64_t SpoolSize(const format::PayloadHeader& header) {
  return static_cast<uint64_t>(header.archiveEnd) - format::HeaderSize(header);
}

// Reads the spool back in pieces rather than mapping it: mapped pages count
// towards the process's memory, which would then grow with the payload.
bool ReadSpool(std::FILE* spool, uint64_t size, const std::function<bool(std::span<const uint8_t>)>& use,
               std::string& problem) {
  std::vector<uint8_t> piece(kReadPieceSize);
  for (uint64_t at = 0; at < size;) {
    std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(piece.size(), size - at));
    ssize_t got = pread(fileno(spool), piece.data(), wanted, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      problem = std::string("cannot read the temporary payload file back: ") +
                (got < 0 ? std::strerror(errno) : "it ended early");
      return false;
    }
    if (!use(std::span<const uint8_t>(piece.data(), static_cast<std::size_t>(got)))) return false;
    at += static_cast<uint64_t>(got);
  }
  return true;
}

// Both checksums over the finished file, which takes one pass over the spool.
bool SealInstaller(format::InstallerSeal& seal, const format::PayloadHeader& header, std::FILE* spool,
                   std::string& problem) {
  auto add = [&](std::span<const uint8_t> piece) {
    seal.Add(piece);
    return true;
  };
  if (!seal.SealHeader(header, problem) || !ReadSpool(spool, SpoolSize(header), add, problem)) return false;
  seal.Finish();
  return true;
}

bool WriteOutput(const format::InstallerSeal& seal, std::FILE* spool, uint64_t spoolSize,
                 const std::filesystem::path& path, std::string& problem) {
  AtomicFile output;
  auto write = [&](std::span<const uint8_t> piece) { return output.Write(piece, problem); };
  std::vector<uint8_t> padding(static_cast<std::size_t>(seal.padding()), 0);
  return output.Open(path, problem) && write(seal.stub()) && write(seal.header()) &&
         ReadSpool(spool, spoolSize, write, problem) && write(padding) && output.Commit(problem);
}

}  // namespace

std::array<uint8_t, format::kPayloadKeySize> DerivedKey(std::span<const uint8_t> script,
                                                        const std::vector<FileSource>& files) {
  uint64_t hash = 0xCBF29CE484222325;  // 64-bit FNV-1a
  auto mix = [&](std::span<const uint8_t> bytes) {
    for (uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3;
  };
  mix(script);
  for (const FileSource& file : files) {
    mix(std::span(reinterpret_cast<const uint8_t*>(file.record.name.data()), file.record.name.size()));
    uint8_t size[8];
    for (int i = 0; i < 8; ++i) size[i] = static_cast<uint8_t>(file.size >> (8 * i));
    mix(size);
  }
  std::array<uint8_t, format::kPayloadKeySize> key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(hash >> (8 * i));
  return key;
}

// The 64-bit engine runs on 64-bit Windows only, which refuses a product
// that is 32-bit only: such an installer could never install anything.
bool SuitsEngine(const Project& project, std::span<const uint8_t> engine, std::string& problem) {
  format::ExecutableHeaders headers;
  bool engine64 = format::LocateHeaders(engine, headers, problem) && format::X86ProgramBits(headers) == 64;
  if (engine64 && project.script.bitness == kBitness32Only) {
    problem = "bitness = \"32-only\" cannot be built on the 64-bit engine, which runs on 64-bit Windows only; "
              "build it on the 32-bit engine (--engine x86)";
    return false;
  }
  problem.clear();
  return true;
}

bool WriteInstaller(const Project& project, const WriteOptions& options, WrittenInstaller& written,
                    std::string& problem) {
  std::vector<uint8_t> bare, engine;
  if (!ReadEngine(options.engine, bare, problem) || !SuitsEngine(project, bare, problem)) return false;
  if (!DressEngine(bare, project.identity, engine, problem)) {
    problem = "the engine \"" + options.engine.string() + "\" cannot carry the product's resources: " + problem;
    return false;
  }
  format::PayloadHeader header;
  header.productFlags2 = project.productFlags2;
  for (const FileSource& file : project.files) header.entrySizes.push_back(static_cast<int32_t>(file.size));
  FilePointer spool(std::tmpfile(), &std::fclose);
  if (!spool) {
    problem = "cannot create a temporary file for the payload";
    return false;
  }
  if (!WritePayload(project, header, spool.get(), options, problem)) {
    if (problem.empty()) problem = "cannot write the temporary payload file";
    return false;
  }
  format::PayloadLayout layout;
  if (!format::LayOutPayloadSection(engine, static_cast<uint64_t>(header.archiveEnd), layout, problem)) {
    problem = "the engine \"" + options.engine.string() + "\" cannot carry a payload: " + problem;
    return false;
  }
  format::InstallerSeal seal(std::move(layout));
  if (!SealInstaller(seal, header, spool.get(), problem) ||
      !WriteOutput(seal, spool.get(), SpoolSize(header), options.output, problem)) {
    return false;
  }
  written.size = seal.stub().size() + seal.header().size() + SpoolSize(header) + seal.padding();
  written.archiveLength = static_cast<uint64_t>(header.archiveLength);
  return true;
}

}  // namespace palisade::builder
