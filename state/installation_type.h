#pragma once
// The kind of installation a run is, as the existing-installation check
// finds it, and the batches that kind runs before the files.
#include <cstdint>

#include "format/product_flags.h"

namespace palisade {

// The numbers are those of the messages that name the kinds in the
// installation-type question.
enum class InstallationType : uint8_t {
  kFirst = 0,          // no earlier installation of the product
  kOverExisting = 3,   // over an earlier installation, versions not compared
  kReinstall = 4,      // the same version again
  kUpgrade = 5,        // over an older version
  kDowngrade = 6,      // over a newer version
};

// An upgrade runs the script's upgrade batch.
inline bool RunsUpgradeBatch(InstallationType type) { return type == InstallationType::kUpgrade; }

// Over an earlier installation the reinstall batch runs for the same
// version, and for any other unless the script keeps it to the same version.
inline bool RunsReinstallBatch(InstallationType type, uint32_t productFlags2) {
  if (type == InstallationType::kFirst) return false;
  return type == InstallationType::kReinstall ||
         !(productFlags2 & format::product_flags2::kReinstallBatchOnlySameVersion);
}

}  // namespace palisade
