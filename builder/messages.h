#pragma once
// The message table an installer carries: the default English texts, the
// built-in tables of other languages, the project's replacements, and
// further languages that fall back to English for every message they leave
// out.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palisade::builder {

inline constexpr char kDefaultLanguage[] = "English";

struct LanguageTexts {
  std::string language;
  std::map<int, std::string> texts;  // message number, UTF-8 text
};

struct MessageTable {
  std::vector<std::u16string> languageNames;
  std::vector<std::vector<std::u16string>> messages;  // [number][language]
};

// `languages` in the order the language page lists them. A language's text
// from the project wins, then its built-in text, then the project's English
// text, then the default English text.
MessageTable BuildMessageTable(const std::vector<std::string>& languages, const std::vector<LanguageTexts>& texts);

// A number that the installer has a message for.
bool IsMessageNumber(int number);

// Why `text` cannot replace message `number`: the engine formats some
// messages with printf arguments, so a replacement must keep them.
std::optional<std::string> CheckMessageText(int number, std::string_view text);

}  // namespace palisade::builder
