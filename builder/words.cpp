#include "builder/words.h"

#include "format/file_record.h"
#include "format/setup_script.h"

namespace palisade::builder {
namespace {

namespace kind = format::destination_kind;
namespace mode = format::overwrite_mode;

constexpr Word kDestinationKindWords[] = {
    {"install-folder", kind::kInstallFolder},
    {"shared-folder", kind::kSharedFolder},
    {"font", kind::kFont},
    {"startup", kind::kStartup},
    {"system-shared", kind::kSystemShared},
    {"system-com", kind::kSystemCom},
    {"system-typelib", kind::kSystemTypeLibrary},
    {"version-checked", kind::kVersionChecked},
    {"driver", kind::kDriverPackage},
    {"msi", kind::kMsiPackage},
    {"control-panel", kind::kControlPanelApplet},
};

constexpr Word kOverwriteModeWords[] = {
    {"always", mode::kAlways},
    {"never", mode::kNever},
    {"if-exists", mode::kIfExists},
    {"if-missing", mode::kIfMissing},
    {"unless-newer", mode::kUnlessNewer},
};

constexpr Word kBitnessWords[] = {{"any", 0}, {"64", 1}, {"32-only", 2}};
constexpr Word kAutomaticModeWords[] = {{"unchanged", 0}, {"on", 1}, {"off", 2}};
constexpr Word kShortcutModeWords[] = {{"current-user", 0}, {"all-users", 1}};
constexpr Word kPageStyleWords[] = {{"plain", 0}, {"side-picture", 1}, {"banner", 2}, {"white", 3}};
constexpr Word kPageNameWords[] = {
    {"greeting", format::kGreetingPage},       {"language", format::kLanguagePage},
    {"license", format::kLicensePage},         {"readme", format::kReadmePage},
    {"choose-folder", format::kChooseDirPage}, {"start-menu", format::kStartMenuPage},
    {"progress", format::kProgressPage},       {"summary", format::kSummaryPage},
};
constexpr Word kSidePictureFrameWords[] = {{"none", 0}, {"sunken", 1}, {"border", 2}, {"sunken-unless-white", 3}};
constexpr Word kTextPositionWords[] = {{"none", 0},        {"top-left", 1},      {"top-center", 2},  {"top-right", 3},
                                       {"bottom-left", 4}, {"bottom-center", 5}, {"bottom-right", 6}};
// Where the progress page stands within the screen's work area.
constexpr Word kProgressPlacementWords[] = {{"center", 0},      {"top-center", 1},  {"bottom-center", 2}, {"top-left", 3},
                                            {"top-right", 4},   {"bottom-left", 5}, {"bottom-right", 6}};
constexpr Word kPictureFitWords[] = {{"stretch", 0}, {"fit", 1}, {"whole-multiple", 2}, {"tile", 3}};
constexpr Word kSystemWords[] = {
    {"other", 0x1},
    {"win32s", 0x2},
    {"95", 0x4},
    {"98", 0x8},
    {"me", 0x10},
    {"nt3", 0x20},
    {"nt4", 0x40},
    {"2000", 0x80},
    {"xp", 0x100},
    {"server-2003", 0x200},
    {"vista", 0x400},
    {"server-2008", 0x800},
    {"7", 0x1000},
    {"8", 0x2000},
    {"server-2012", 0x4000},
    {"10", 0x8000},
    {"server-2016", 0x10000},
    {"server-2019", 0x20000},
    {"wine", 0x40000},
};
constexpr Word kArchiveSourceWords[] = {{"memory", 0}, {"file", 1}};
constexpr Word kWindowStateWords[] = {{"normal", 0}, {"minimized", 1}, {"maximized", 2}};
constexpr Word kMsiUiLevelWords[] = {{"default", 1}, {"none", 2}, {"basic", 3}, {"reduced", 4}, {"full", 5}};
constexpr Word kFileAttributeWords[] = {{"read-only", 0x1}, {"hidden", 0x2},      {"system", 0x4},
                                        {"archive", 0x20},  {"temporary", 0x100}, {"offline", 0x1000}};
constexpr Word kRegistryTypeWords[] = {{"text", 1}, {"expandable-text", 2}, {"binary", 3}, {"dword", 4}, {"qword", 11}};
constexpr Word kRegistryActionWords[] = {
    {"set", 3},
    {"set-and-keep", 1},
    {"set-if-missing", 6},
    {"delete", 4},
    {"delete-now-and-at-uninstall", 5},
    {"delete-at-uninstall", 2},
};
constexpr Word kCloseActionWords[] = {{"close", format::close_action::kClose},
                                      {"quit", format::close_action::kQuit},
                                      {"ask", format::close_action::kAsk},
                                      {"end-process", format::close_action::kEndProcess}};
constexpr Word kCloseWhenWords[] = {{"install", format::close_when::kInstall},
                                    {"uninstall", format::close_when::kUninstall}};
constexpr Word kDeleteConditionWords[] = {
    {"always", 0},      {"version-equals", 1}, {"version-at-least", 2}, {"version-at-most", 3},
    {"size-equals", 4}, {"size-at-least", 5},  {"size-at-most", 6},
};
constexpr Word kDeletePhaseWords[] = {{"install", 0x4}, {"uninstall", 0x8}};
constexpr Word kDeleteRestartWords[] = {{"never", 0}, {"always", 0x1}, {"if-locked", 0x2}};
constexpr Word kRegistrationValueTypeWords[] = {{"text", 1}, {"expandable-text", 2}, {"number", 4}};
constexpr Word kFirewallProtocolWords[] = {{"tcp", format::firewall_protocol::kTcp},
                                            {"udp", format::firewall_protocol::kUdp}};
constexpr Word kBatchNameWords[] = {
    {"pre-install", format::kPreInstallBatch},
    {"post-install", format::kPostInstallBatch},
    {"exit", format::kExitBatch},
    {"uninstall-before", format::kUninstallBatch1},
    {"uninstall-after", format::kUninstallBatch2},
    {"upgrade", format::kUpgradeBatch},
    {"reinstall", format::kReinstallBatch},
};
// Values: 0 start, 1 begin-install, 2-5 the closing addresses in the
// script's order, 6 uninstall.
constexpr Word kNotificationWords[] = {{"start", 0},     {"begin-install", 1}, {"new-install", 2}, {"upgrade", 3},
                                       {"downgrade", 4}, {"reinstall", 5},     {"uninstall", 6}};

}  // namespace

const WordTable kDestinationKinds = kDestinationKindWords;
const WordTable kOverwriteModes = kOverwriteModeWords;
const WordTable kBitness = kBitnessWords;
const WordTable kAutomaticModeRequests = kAutomaticModeWords;
const WordTable kShortcutModes = kShortcutModeWords;
const WordTable kPageStyles = kPageStyleWords;
const WordTable kPageNames = kPageNameWords;
const WordTable kSidePictureFrames = kSidePictureFrameWords;
const WordTable kTextPositions = kTextPositionWords;
const WordTable kProgressPlacements = kProgressPlacementWords;
const WordTable kPictureFits = kPictureFitWords;
const WordTable kSystems = kSystemWords;
const WordTable kArchiveSources = kArchiveSourceWords;
const WordTable kWindowStates = kWindowStateWords;
const WordTable kMsiUiLevels = kMsiUiLevelWords;
const WordTable kFileAttributes = kFileAttributeWords;
const WordTable kRegistryTypes = kRegistryTypeWords;
const WordTable kRegistryActions = kRegistryActionWords;
const WordTable kCloseActions = kCloseActionWords;
const WordTable kCloseWhen = kCloseWhenWords;
const WordTable kDeleteConditions = kDeleteConditionWords;
const WordTable kDeletePhases = kDeletePhaseWords;
const WordTable kDeleteRestarts = kDeleteRestartWords;
const WordTable kRegistrationValueTypes = kRegistrationValueTypeWords;
const WordTable kFirewallProtocols = kFirewallProtocolWords;
const WordTable kBatchNames = kBatchNameWords;
const WordTable kNotifications = kNotificationWords;

std::optional<uint32_t> ValueOfWord(WordTable table, std::string_view word) {
  for (const Word& entry : table) {
    if (entry.word == word) return entry.value;
  }
  return std::nullopt;
}

std::string_view WordOfValue(WordTable table, uint32_t value) {
  for (const Word& entry : table) {
    if (entry.value == value) return entry.word;
  }
  return {};
}

std::vector<std::string_view> WordsOf(WordTable table) {
  std::vector<std::string_view> words;
  for (const Word& entry : table) words.push_back(entry.word);
  return words;
}

std::vector<std::string_view> WordsOfMask(WordTable table, uint32_t mask) {
  std::vector<std::string_view> words;
  for (const Word& entry : table) {
    if (entry.value != 0 && (mask & entry.value) == entry.value) words.push_back(entry.word);
  }
  return words;
}

}  // namespace palisade::builder
