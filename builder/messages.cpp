#include "builder/messages.h"

#include <algorithm>

#include "builder/default_messages.h"
#include "builder/text_encoding.h"
#include "builder/translations.h"

namespace palisade::builder {
namespace {

std::string_view DefaultArguments(int number) {
  for (const DefaultMessage& message : DefaultMessages()) {
    if (message.number == number) return message.arguments;
  }
  return {};
}

// The conversion letters of a printf format, "%%" left out.
std::string Conversions(std::string_view format) {
  std::string letters;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    std::size_t j = i + 1;
    while (j < format.size() && std::string_view("-+ #0123456789.lh").find(format[j]) != std::string_view::npos) ++j;
    if (j < format.size() && format[j] != '%') letters.push_back(format[j]);
    i = j;
  }
  return letters;
}

std::string Describe(std::string_view arguments) {
  if (arguments.empty()) return "no printf conversion";
  std::string text;
  for (char letter : arguments) text += (text.empty() ? "" : " then ") + std::string("%") + letter;
  return text;
}

const std::string* FindText(const std::vector<LanguageTexts>& texts, std::string_view language, int number) {
  for (const LanguageTexts& entry : texts) {
    if (entry.language != language) continue;
    auto found = entry.texts.find(number);
    return found != entry.texts.end() ? &found->second : nullptr;
  }
  return nullptr;
}

std::optional<std::string_view> BuiltInText(std::string_view language, int number) {
  const BuiltInLanguage* builtIn = FindBuiltInLanguage(language);
  if (builtIn == nullptr) return std::nullopt;
  for (const TranslatedMessage& message : builtIn->messages) {
    if (message.number == number) return message.text;
  }
  return std::nullopt;
}

}  // namespace

MessageTable BuildMessageTable(const std::vector<std::string>& languages, const std::vector<LanguageTexts>& texts) {
  MessageTable table;
  for (const std::string& language : languages) table.languageNames.push_back(Utf8ToUtf16(language));
  std::vector<std::string> defaults(static_cast<std::size_t>(DefaultMessageCount()));
  for (const DefaultMessage& message : DefaultMessages()) defaults[message.number] = std::string(message.text);
  for (int number = 0; number < DefaultMessageCount(); ++number) {
    const std::string* english = FindText(texts, kDefaultLanguage, number);
    std::vector<std::u16string> row;
    for (const std::string& language : languages) {
      const std::string* own = FindText(texts, language, number);
      std::optional<std::string_view> builtIn = BuiltInText(language, number);
      row.push_back(Utf8ToUtf16(own       ? *own
                                : builtIn ? std::string(*builtIn)
                                : english ? *english
                                          : defaults[number]));
    }
    table.messages.push_back(std::move(row));
  }
  return table;
}

bool IsMessageNumber(int number) {
  for (const DefaultMessage& message : DefaultMessages()) {
    if (message.number == number) return true;
  }
  return false;
}

std::optional<std::string> CheckMessageText(int number, std::string_view text) {
  std::string_view expected = DefaultArguments(number);
  if (expected.empty()) return std::nullopt;
  std::string found = Conversions(text);
  std::replace(found.begin(), found.end(), 'i', 'd');
  if (found == expected) return std::nullopt;
  return "message " + std::to_string(number) + " is formatted with " + Describe(expected) + ", but the text has " +
         Describe(found);
}

}  // namespace palisade::builder
