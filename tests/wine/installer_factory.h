#pragma once
// Builds installers straight from the format library, with hooks that damage
// one stage on purpose, so that tests can show how the engine meets every
// kind of corrupt payload without going through the builder.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "format/file_record.h"
#include "format/payload_header.h"
#include "format/setup_script.h"
#include "wine_harness.h"

namespace palisade::testing {

using Bytes = std::vector<uint8_t>;

class WinePrefix;

struct TestFile {
  std::string name;  // stored form: ASCII, or "|" and UTF-8
  std::string content;
  format::TimeStamp time{};
  uint32_t attributes = 0xFFFFFFFF;
  uint32_t kind = format::destination_kind::kInstallFolder;
  uint32_t flags = 0;
  std::u16string destinationOverride;
  std::string textA;  // stored form; the version text of the version-checked kinds
  std::string textC;  // code page 1252; an applet's arguments
  std::string textD;  // stored form; an applet's class identifier
  uint32_t msiUiLevel = 0;  // stored only for a Windows Installer package
};

struct InstallerRecipe {
  format::SetupScript script;
  // The decoded script's bytes as they stand, stored without our writer;
  // when set, `script` is not used.
  std::optional<Bytes> scriptBytes;
  std::vector<TestFile> files;
  bool encipher = false;
  // The executable that carries the payload; empty: the shipped engine.
  std::string engine;
  size_t chunkSize = 64 * 1024;
  uint32_t productFlags2 = 0;
  // The script compressed as two xz streams, one after the other.
  bool scriptInTwoStreams = false;
  // Damage applied to one stage; each runs after the stage is built and
  // before anything that depends on it is computed.
  std::function<void(Bytes& script)> editScript;
  std::function<void(Bytes& scriptBlock)> editScriptBlock;
  std::function<void(Bytes& plainChunk, size_t index)> editPlainChunk;
  std::function<void(Bytes& archive)> editArchive;
  // Only the caller's fields of the header (flags, script checksum, entry
  // sizes); the rest is computed later and is changed with PatchHeaderField.
  std::function<void(format::PayloadHeader& header)> editHeader;
  std::function<void(Bytes& installer)> editInstaller;
};

// A script that installs nothing and asks nothing: one language, English,
// with a message table of empty texts.
format::SetupScript MinimalScript();

// MinimalScript with an uninstaller: "Uninstall Test.exe" in the sub-folder
// "uninstall", the log kept, the publisher "Palisade Tests"; no files.
InstallerRecipe ProductWithUninstaller();

Bytes BuildInstaller(const InstallerRecipe& recipe);

// File offset of the payload header in a built installer.
size_t PayloadOffset(const Bytes& installer);

// The 32-bit fields of the header after the version text, in stored order;
// entry sizes follow them.
enum class HeaderField { kProductFlags2, kScriptBlockSize, kScriptChecksum, kStubChecksum, kArchiveEnd, kEntryCount,
                         kArchiveLength, kArchiveChecksum, kFirstEntrySize };
void PatchHeaderField(Bytes& installer, HeaderField field, uint32_t value);
uint32_t HeaderFieldValue(const Bytes& installer, HeaderField field);

void WriteBytes(const std::string& path, const Bytes& bytes);

class WinePrefix;
// Builds the installer into the prefix as C:\cases\NAME.exe and returns
// that path, as the programs in the prefix name it.
std::string PlaceInstaller(const WinePrefix& prefix, const InstallerRecipe& recipe, const std::string& name);
// Places the installer as C:\cases\setup.exe and runs it with the options.
RunResult RunInstaller(WinePrefix& prefix, const InstallerRecipe& recipe,
                       const std::vector<std::string>& options = {"/silent"});

}  // namespace palisade::testing
