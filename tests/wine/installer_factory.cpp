#include "installer_factory.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "format/archive.h"
#include "format/byte_order.h"
#include "format/checksum.h"
#include "format/installer_image.h"
#include "format/pe_image.h"
#include "format/product_flags.h"
#include "format/scramble.h"
#include "format/script_block.h"
#include "format/version.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr int kMessageCount = 200;

const std::array<uint8_t, format::kPayloadKeySize> kTestKey = {0x50, 0x61, 0x6C, 0x69, 0x73, 0x61, 0x64, 0x65};

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

void Require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("installer factory: ") + what);
}

Bytes BuildArchive(const InstallerRecipe& recipe, const format::ChunkCoding& coding, std::vector<int32_t>& entrySizes) {
  Bytes archive;
  size_t chunkIndex = 0;
  format::RecordStreamWriter stream(recipe.chunkSize, [&](Bytes plain) {
    if (recipe.editPlainChunk) recipe.editPlainChunk(plain, chunkIndex);
    ++chunkIndex;
    Bytes stored;
    Require(format::EncodeChunk(plain, coding, format::XzEncodeOptions{}, stored), "chunk encoding failed");
    Require(format::AppendChunk(stored, archive), "chunk framing failed");
  });
  for (const TestFile& file : recipe.files) {
    Bytes data = ToBytes(file.content);
    format::FileRecord record;
    record.name = file.name;
    record.time = file.time;
    record.attributes = file.attributes;
    record.kind = file.kind;
    record.flags = file.flags;
    record.destinationOverride = file.destinationOverride;
    record.textA = file.textA;
    record.textC = file.textC;
    record.textD = file.textD;
    record.msiUiLevel = file.msiUiLevel;
    record.data = data;
    Bytes bytes;
    Require(format::WriteFileRecord(record, bytes), "file record refused");
    stream.AddRecord(bytes);
    entrySizes.push_back(static_cast<int32_t>(data.size()));
  }
  stream.Finish();
  return archive;
}

// The low word of `ProductFlags` opens every script.
uint32_t ProductFlagsLow(const Bytes& script) { return script.size() >= 4 ? format::LoadLe32(script.data()) : 0; }

// The script block as EncodeScriptBlock makes it, but with the script
// compressed in two halves, each an xz stream of its own.
Bytes TwoStreamScriptBlock(const Bytes& script, const format::PayloadCipher* cipher, uint32_t checksum) {
  size_t half = script.size() / 2;
  Bytes compressed, second;
  Require(format::XzEncode(std::span(script).first(half), format::XzEncodeOptions{}, compressed), "xz failed");
  Require(format::XzEncode(std::span(script).subspan(half), format::XzEncodeOptions{}, second), "xz failed");
  compressed.insert(compressed.end(), second.begin(), second.end());
  if (cipher) return cipher->Encipher(compressed);
  format::Scramble(compressed, checksum);
  return compressed;
}

}  // namespace

format::SetupScript MinimalScript() {
  format::SetupScript script;
  script.productFlagsLow = format::product_flags_low::kArchiveCompressed;
  script.productName = "Palisade Test Product";
  script.displayVersion = "1.0";
  script.languageNames = {u"English"};
  script.messages.assign(kMessageCount, std::vector<std::u16string>(1));
  return script;
}

InstallerRecipe ProductWithUninstaller() {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  recipe.script.productFlagsLow |= format::product_flags_low::kPreviousInstallation |
                                   format::product_flags_low::kKeepInstallLog;
  recipe.script.publisher = "Palisade Tests";
  recipe.script.uninstallSubfolder = "uninstall";
  recipe.script.uninstallerName = "Uninstall Test.exe";
  return recipe;
}

Bytes BuildInstaller(const InstallerRecipe& recipe) {
  format::PayloadHeader header;
  header.productFlags2 = recipe.productFlags2 | (recipe.encipher ? format::product_flags2::kEnciphered : 0);
  header.cipherKey = kTestKey;
  std::optional<format::PayloadCipher> cipher = format::HeaderCipher(header);

  Bytes script;
  std::string problem;
  if (recipe.scriptBytes) {
    script = *recipe.scriptBytes;
  } else {
    Require(format::WriteSetupScript(recipe.script, script, problem), problem.c_str());
  }
  format::ChunkCoding coding;
  coding.compressed = (ProductFlagsLow(script) & format::product_flags_low::kArchiveCompressed) != 0;
  coding.cipher = cipher ? &*cipher : nullptr;
  if (recipe.editScript) recipe.editScript(script);
  header.scriptChecksum = format::Checksum(script);

  Bytes block = recipe.scriptInTwoStreams ? TwoStreamScriptBlock(script, cipher ? &*cipher : nullptr, header.scriptChecksum)
                                          : Bytes();
  if (!recipe.scriptInTwoStreams) {
    Require(format::EncodeScriptBlock(script, cipher ? &*cipher : nullptr, format::XzEncodeOptions{}, block),
            "script block encoding failed");
  }
  if (recipe.editScriptBlock) recipe.editScriptBlock(block);

  Bytes archive = BuildArchive(recipe, coding, header.entrySizes);
  if (recipe.editArchive) recipe.editArchive(archive);
  if (recipe.editHeader) recipe.editHeader(header);

  Bytes engine = ToBytes(ReadFile(recipe.engine.empty() ? EnginePath() : recipe.engine));
  Bytes installer;
  Require(format::WriteInstallerImage(engine, header, block, archive, installer, problem), problem.c_str());
  if (recipe.editInstaller) recipe.editInstaller(installer);
  return installer;
}

size_t PayloadOffset(const Bytes& installer) { return format::FindPayloadSection(installer).section.rawOffset; }

namespace {

size_t HeaderFieldOffset(const Bytes& installer, HeaderField field) {
  // The magic, the version text and its NUL come first.
  return PayloadOffset(installer) + 4 + std::string(format::kEngineVersion).size() + 1 + 4 * static_cast<size_t>(field);
}

}  // namespace

void PatchHeaderField(Bytes& installer, HeaderField field, uint32_t value) {
  size_t at = HeaderFieldOffset(installer, field);
  for (int i = 0; i < 4; ++i) installer[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t HeaderFieldValue(const Bytes& installer, HeaderField field) {
  size_t at = HeaderFieldOffset(installer, field);
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(installer[at + i]) << (8 * i);
  return value;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string PlaceInstaller(const WinePrefix& prefix, const InstallerRecipe& recipe, const std::string& name) {
  std::filesystem::create_directories(prefix.DriveC() + "/cases");
  WriteBytes(prefix.DriveC() + "/cases/" + name + ".exe", BuildInstaller(recipe));
  return "C:\\cases\\" + name + ".exe";
}

RunResult RunInstaller(WinePrefix& prefix, const InstallerRecipe& recipe, const std::vector<std::string>& options) {
  std::vector<std::string> command = {PlaceInstaller(prefix, recipe, "setup")};
  command.insert(command.end(), options.begin(), options.end());
  return prefix.Run(command, 90);
}

}  // namespace palisade::testing
