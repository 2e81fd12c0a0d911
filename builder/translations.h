#pragma once
// The message tables that Palisade carries besides English, one per
// language, named as the language page shows them. A project picks them by
// name in [wizard] languages; a message a table leaves out falls back to
// English.
#include <span>
#include <string_view>

namespace palisade::builder {

struct TranslatedMessage {
  int number;
  std::string_view text;  // UTF-8; "\n" is a line break
};

struct BuiltInLanguage {
  std::string_view name;
  std::span<const TranslatedMessage> messages;
};

// Every language but English, whose texts are DefaultMessages().
std::span<const BuiltInLanguage> BuiltInLanguages();

// Nothing for a name that is not built in.
const BuiltInLanguage* FindBuiltInLanguage(std::string_view name);

std::span<const TranslatedMessage> GermanMessages();
std::span<const TranslatedMessage> FrenchMessages();
std::span<const TranslatedMessage> SpanishMessages();
std::span<const TranslatedMessage> ItalianMessages();
std::span<const TranslatedMessage> PortugueseBrazilMessages();
std::span<const TranslatedMessage> DutchMessages();
std::span<const TranslatedMessage> PolishMessages();
std::span<const TranslatedMessage> RussianMessages();
std::span<const TranslatedMessage> JapaneseMessages();
std::span<const TranslatedMessage> ChineseSimplifiedMessages();

}  // namespace palisade::builder
