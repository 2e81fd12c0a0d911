#pragma once
// The English message table that every installer carries unless the
// project replaces a text. Entry N is message N of the engine.
#include <span>
#include <string_view>

namespace palisade::builder {

struct DefaultMessage {
  int number;
  std::string_view text;
  // The printf conversions the engine formats the text with, in order
  // ("s", "d", "ss"); empty for a text that is not formatted.
  std::string_view arguments;
};

// In number order; numbers left out are empty texts.
std::span<const DefaultMessage> DefaultMessages();

// One past the highest message number that the engine uses.
int DefaultMessageCount();

}  // namespace palisade::builder
