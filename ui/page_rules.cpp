#include "ui/page_rules.h"

#include <windows.h>

#include "ui/page_controls.h"

namespace palisade {
namespace {

constexpr wchar_t kForbiddenInStartMenuName[] = L"/\"<>|*?:;";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kRichTextStart[] = "{\\rtf";

constexpr int kSummaryRowSpacing = 14;
constexpr int kSummaryRowHeight = 9;
constexpr int kSummaryRowRight = 275;

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view start) {
  if (text.size() < start.size()) return false;
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text.data(), static_cast<int>(start.size()), start.data(),
                        static_cast<int>(start.size())) == CSTR_EQUAL;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

ts::WText PageTemplateName(std::wstring_view family, uint32_t style) {
  ts::WText name(family);
  switch (style) {
    case kSidePictureStyle:
      return name;
    case kPlainStyle:
      return name + L"2";
    case kWhiteStyle:
      return name + L"4";
    default:
      return name + L"3";
  }
}

bool PaintsBanner(uint32_t style) { return style == kBannerStyle; }

bool HasSidePicture(uint32_t style) { return style == kSidePictureStyle || style == kWhiteStyle; }

PictureFrame SidePictureFrame(uint8_t frameValue, uint32_t style) {
  switch (frameValue) {
    case 1:
      return PictureFrame::kClientEdge;
    case 2:
      return PictureFrame::kBorder;
    case 3:
      return style == kWhiteStyle ? PictureFrame::kNone : PictureFrame::kClientEdge;
    default:
      return PictureFrame::kNone;
  }
}

bool IsValidStartMenuFolder(std::wstring_view name) {
  if (name.find_first_of(kForbiddenInStartMenuName) != std::wstring_view::npos) return false;
  if (!name.empty() && name.front() == L'\\') return false;
  return name.find(L"\\\\") == std::wstring_view::npos;
}

ts::WText GreetingLinkMarkup(std::wstring_view message, std::wstring_view address) {
  const ts::WText opening = L"<a href=\"" + ts::WText(address) + L"\">";
  ts::WText markup(message);
  for (size_t at = markup.find(L"<a>"); at != ts::WText::npos; at = markup.find(L"<a>", at + opening.size())) {
    markup.replace(at, 3, opening);
  }
  return markup;
}

ts::WText UserLanguageMatchName(std::wstring_view localeName) {
  std::wstring_view name = localeName.substr(0, localeName.find(L'('));
  while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  return ts::WText(name);
}

size_t PreselectedLanguage(const std::vector<ts::WText>& names, std::wstring_view userLanguage) {
  for (std::wstring_view wanted : {userLanguage, std::wstring_view(L"English")}) {
    if (wanted.empty()) continue;
    for (size_t i = 0; i < names.size(); ++i) {
      if (StartsWithIgnoringCase(names[i], wanted)) return i;
    }
  }
  return 0;
}

bool IsRichText(std::string_view text, std::string_view* body) {
  if (text.substr(0, 3) == kUtf8Mark) text.remove_prefix(3);
  if (text.substr(0, 5) != kRichTextStart) return false;
  if (body) *body = text;
  return true;
}

std::vector<SummaryRow> SummaryRows(uint32_t style, const SummaryOffer& offer) {
  const std::pair<int, bool> options[] = {{kLaunchCheckBox, offer.launch},
                                          {kOpenDocumentCheckBox, offer.open},
                                          {kOpenSecondCheckBox, offer.openAlso},
                                          {kViewLogCheckBox, offer.viewLog}};
  int notOffered = 0;
  for (const auto& option : options) notOffered += option.second ? 0 : 1;
  int left = 20, top = 98;
  if (style == kPlainStyle) {
    // The rows are centred in the height that four would take.
    left = 12;
    top = 64 + 7 * notOffered;
  } else if (HasSidePicture(style)) {
    left = 98;
    top = 72;
  }
  std::vector<SummaryRow> rows;
  for (const auto& [control, offered] : options) {
    if (!offered) continue;
    rows.push_back({control, left, top, kSummaryRowRight, kSummaryRowHeight});
    top += kSummaryRowSpacing;
  }
  return rows;
}

}  // namespace palisade
