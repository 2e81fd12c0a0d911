#include "payload/messages.h"

#include "state/installer_state.h"
#include "core/system_facts.h"

namespace palisade {
namespace {

bool IsConversion(wchar_t c) { return c && wcschr(L"sSdiuxXc", c) != nullptr; }

// Length of the conversion that starts at text[at] (a "%"), or 0 if none.
size_t ConversionLength(const ts::WText& text, size_t at) {
  size_t end = at + 1;
  while (end < text.size() && wcschr(L"-+ #0123456789.lhIwz", text[end])) ++end;
  return end < text.size() && IsConversion(text[end]) ? end + 1 - at : 0;
}

}  // namespace

ts::WText MessageText(int number) {
  const auto& messages = g_installer.script.messages;
  if (number < 0 || static_cast<size_t>(number) >= messages.size()) return {};
  const auto& languages = messages[static_cast<size_t>(number)];
  if (static_cast<size_t>(g_installer.language) >= languages.size()) return {};
  const std::u16string& text = languages[static_cast<size_t>(g_installer.language)];
  return ts::WText(text.begin(), text.end());
}

ts::WText SubstituteTags(const ts::WText& text) {
  ts::WText result = text;
  ts::ReplaceIgnoringCase(result, L"<product>", ts::WideFromUtf8(g_installer.script.productName));
  ts::ReplaceIgnoringCase(result, L"<description>", ts::WideFromUtf8(g_installer.script.description));
  return SubstituteSystemName(result);
}

ts::WText SubstituteSystemName(const ts::WText& text) {
  ts::WText result = text;
  ts::ReplaceIgnoringCase(result, L"<os>", ts::SystemName(ts::system_name::kForMessages));
  return result;
}

ts::WText MessageWithTags(int number) { return SubstituteTags(MessageText(number)); }

ts::WText FillConversions(const ts::WText& text, std::initializer_list<ts::WText> values) {
  ts::WText result;
  auto next = values.begin();
  for (size_t i = 0; i < text.size();) {
    if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] == L'%') {
      result += L'%';
      i += 2;
      continue;
    }
    size_t length = text[i] == L'%' ? ConversionLength(text, i) : 0;
    if (length && next != values.end()) {
      result += *next++;
      i += length;
    } else {
      result += text[i++];
    }
  }
  return result;
}

}  // namespace palisade
