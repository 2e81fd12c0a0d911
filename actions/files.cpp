#include "actions/files.h"

#include "app/installer_state.h"
#include "format/file_record.h"
#include "format/product_flags.h"
#include "payload/payload_reader.h"
#include "ui/progress.h"

namespace palisade {
namespace {

constexpr int kFilePhaseStart = 28;
constexpr int kFilePhaseSpan = 62;

}  // namespace

// Every record is read and checked in order; writing them comes with the
// overwrite rules.
void InstallFiles(const Payload& payload) {
  SetStatus(29);
  format::ChunkCoding coding;
  coding.compressed = g_installer.script.productFlagsLow & format::product_flags_low::kArchiveCompressed;
  coding.cipher = payload.cipher ? &*payload.cipher : nullptr;
  size_t count = payload.header.entrySizes.size();
  format::Error error = format::ReadFileTable(payload.archive, coding, payload.header.entrySizes,
                                              [count](size_t index, const format::FileRecord&) {
                                                SetProgress(kFilePhaseStart + static_cast<int>(kFilePhaseSpan * (index + 1) / count));
                                              });
  if (error != format::Error::kNone) CorruptInstaller(error);
}

}  // namespace palisade
