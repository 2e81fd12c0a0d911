#pragma once
// The words a project file uses for stored numbers (destination kinds,
// overwrite modes, positions, systems...). The parser turns words into
// values and `inspect` turns values back into the same words.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace palisade::builder {

struct Word {
  std::string_view word;
  uint32_t value;
};
using WordTable = std::span<const Word>;

std::optional<uint32_t> ValueOfWord(WordTable table, std::string_view word);
// Empty when no word has that value.
std::string_view WordOfValue(WordTable table, uint32_t value);
std::vector<std::string_view> WordsOf(WordTable table);
// The words whose values are bits of `mask`, in table order.
std::vector<std::string_view> WordsOfMask(WordTable table, uint32_t mask);

extern const WordTable kDestinationKinds;
extern const WordTable kOverwriteModes;
extern const WordTable kBitness;
extern const WordTable kAutomaticModeRequests;
extern const WordTable kShortcutModes;
extern const WordTable kPageStyles;
extern const WordTable kPageNames;  // index into SetupScript::pageStyles
extern const WordTable kSidePictureFrames;
extern const WordTable kTextPositions;
extern const WordTable kProgressPlacements;
extern const WordTable kPictureFits;
extern const WordTable kSystems;  // bits of the excluded-systems mask
extern const WordTable kArchiveSources;
extern const WordTable kWindowStates;
extern const WordTable kMsiUiLevels;
extern const WordTable kFileAttributes;  // bits of the attribute word
extern const WordTable kRegistryTypes;
extern const WordTable kRegistryActions;
extern const WordTable kCloseActions;
extern const WordTable kCloseWhen;  // bits of a close rule's when-mask
extern const WordTable kDeleteConditions;
extern const WordTable kDeletePhases;  // bits of a conditional-delete rule's flags
extern const WordTable kDeleteRestarts;
extern const WordTable kRegistrationValueTypes;
extern const WordTable kFirewallProtocols;  // bits of a port entry's protocol field
extern const WordTable kBatchNames;         // index into SetupScript::batches
extern const WordTable kNotifications;      // order of the notification addresses

}  // namespace palisade::builder
