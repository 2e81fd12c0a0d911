#include <gtest/gtest.h>

#include <windows.h>

#include "actions/install_log.h"
#include "actions/installed_file.h"
#include "core/ts_system.h"
#include "format/product_flags.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

class InstalledFile : public ::testing::Test {
 protected:
  void SetUp() override {
    g_installer = InstallerState{};
    g_installer.script.messages.assign(32, std::vector<std::u16string>(1));
    g_installer.script.messages[31][0] = u"Cannot write";
    g_installer.script.productFlagsLow = format::product_flags_low::kVerifyWrittenFiles;
  }

  const std::vector<uint8_t> data_ = {'n', 'e', 'w'};
};

// The null device takes every byte and gives none back, so each attempt
// writes and each reading back differs. Three mismatches are the file's
// failure: a restart cannot mend contents that do not stay written.
TEST_F(InstalledFile, ContentsThatNeverReadBackAreAFailureNotARestart) {
  size_t before = FailureSummary().size();
  bool replacedAtRestart = true;
  EXPECT_FALSE(WriteInstalledFile(L"NUL", std::span<const uint8_t>(data_), {}, kLeaveAttributes, true, replacedAtRestart));
  EXPECT_FALSE(replacedAtRestart);
  EXPECT_FALSE(g_installer.restartRequired);
  EXPECT_EQ(FailureSummary().substr(before), "Cannot write NUL\r\n" + ts::SystemErrorText(ERROR_CRC) + "\r\n\r\n");
}

}  // namespace
}  // namespace palisade
