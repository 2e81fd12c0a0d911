#include "payload/messages.h"

#include "app/installer_state.h"

namespace palisade {

ts::WText MessageText(int number) {
  const auto& messages = g_installer.script.messages;
  if (number < 0 || static_cast<size_t>(number) >= messages.size()) return {};
  const auto& languages = messages[static_cast<size_t>(number)];
  if (static_cast<size_t>(g_installer.language) >= languages.size()) return {};
  const std::u16string& text = languages[static_cast<size_t>(g_installer.language)];
  return ts::WText(text.begin(), text.end());
}

}  // namespace palisade

namespace palisade {
namespace {

void ReplaceAll(ts::WText& text, const ts::WText& tag, const ts::WText& value) {
  for (size_t at = text.find(tag); at != ts::WText::npos; at = text.find(tag, at + value.size())) {
    text.replace(at, tag.size(), value);
  }
}

}  // namespace

ts::WText SubstituteTags(const ts::WText& text) {
  ts::WText result = text;
  ReplaceAll(result, L"<product>", ts::WideFromUtf8(g_installer.script.productName));
  ReplaceAll(result, L"<description>", ts::WideFromUtf8(g_installer.script.description));
  return result;
}

}  // namespace palisade

namespace palisade {

ts::WText MessageWithTags(int number) { return SubstituteTags(MessageText(number)); }

}  // namespace palisade
