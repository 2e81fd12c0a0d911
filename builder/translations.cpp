#include "builder/translations.h"

#include <algorithm>
#include <array>

namespace palisade::builder {

std::span<const BuiltInLanguage> BuiltInLanguages() {
  static const std::array<BuiltInLanguage, 10> kLanguages = {{
      {"Deutsch", GermanMessages()},
      {"Français", FrenchMessages()},
      {"Español", SpanishMessages()},
      {"Italiano", ItalianMessages()},
      {"Português (Brasil)", PortugueseBrazilMessages()},
      {"Nederlands", DutchMessages()},
      {"Polski", PolishMessages()},
      {"Русский", RussianMessages()},
      {"日本語", JapaneseMessages()},
      {"简体中文", ChineseSimplifiedMessages()},
  }};
  return kLanguages;
}

const BuiltInLanguage* FindBuiltInLanguage(std::string_view name) {
  std::span<const BuiltInLanguage> languages = BuiltInLanguages();
  auto found = std::find_if(languages.begin(), languages.end(),
                            [&](const BuiltInLanguage& language) { return language.name == name; });
  return found != languages.end() ? &*found : nullptr;
}

}  // namespace palisade::builder
