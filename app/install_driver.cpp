#include "app/install_driver.h"

#include "app/exit.h"
#include "app/installer_state.h"
#include "format/file_record.h"
#include "format/product_flags.h"
#include "payload/payload_reader.h"
#include "payload/script_reader.h"

namespace palisade {
namespace {

Payload g_payload;

void ReadPayloadAndScript() {
  OpenPayload(g_payload);
  DecodeSetupScript(g_payload);
  ReadSetupScriptIntoState(g_payload.script, g_payload.header.productFlags2);
}

void CheckStub() {
  bool verify = g_installer.script.productFlagsHigh & format::product_flags_high::kVerifyStub;
  CheckStubAndBuildUninstaller(g_payload, verify);
}

void ReadAndVerifyArchive() { LocateArchive(g_payload, g_installer.script.archiveFromFile != 0); }

// Every record is read and checked in order, as the file phase will do when
// it writes them.
void ReadFileTable() {
  format::ChunkCoding coding;
  coding.compressed = g_installer.script.productFlagsLow & format::product_flags_low::kArchiveCompressed;
  coding.cipher = g_payload.cipher ? &*g_payload.cipher : nullptr;
  format::Error error = format::ReadFileTable(g_payload.archive, coding, g_payload.header.entrySizes,
                                              [](size_t, const format::FileRecord&) {});
  if (error != format::Error::kNone) CorruptInstaller(error);
}

}  // namespace

void RunInstallDriver() {
  ReadPayloadAndScript();
  CheckStub();
  ReadAndVerifyArchive();
  ReadFileTable();
  OrderlyExit(1);
}

}  // namespace palisade
