#pragma once
// The decisions of the pages that need no window: which template a style
// loads, how a style decorates, what the start-menu page accepts, which
// language the language page preselects, how a licence text is shown and
// where the summary's options go.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ts_text.h"

namespace palisade {

// Page styles, one per page in the setup script.
inline constexpr uint32_t kPlainStyle = 0;        // no picture
inline constexpr uint32_t kSidePictureStyle = 1;  // side picture in a frame
inline constexpr uint32_t kBannerStyle = 2;       // banner across the top
inline constexpr uint32_t kWhiteStyle = 3;        // side picture, content on white

// The template of a page family ("ChooseDirDlg") in a style: style 1 the
// plain name, 0 the name and "2", 3 the name and "4", anything else the
// name and "3".
ts::WText PageTemplateName(std::wstring_view family, uint32_t style);

// Only style 2 itself paints the banner; other values that load the banner
// template leave its area unpainted.
bool PaintsBanner(uint32_t style);
bool HasSidePicture(uint32_t style);

enum class PictureFrame { kNone, kClientEdge, kBorder };
// The script's side-picture frame value: 1 sunken, 2 a thin border, 3
// sunken in style 1 and none on white, 0 (or anything else) none.
PictureFrame SidePictureFrame(uint8_t frameValue, uint32_t style);

// A start-menu folder name: none of / " < > | * ? : ; and no leading or
// doubled backslash. The empty name is accepted.
bool IsValidStartMenuFolder(std::wstring_view name);

// The greeting link's markup: every "<a>" of the message becomes an
// opening tag that links to the address.
ts::WText GreetingLinkMarkup(std::wstring_view message, std::wstring_view address);

// The language name that the language page looks for: the user's locale
// name cut before any "(" and trimmed of blanks.
ts::WText UserLanguageMatchName(std::wstring_view localeName);

// The entry to preselect: the first that begins with the user's language
// name (letter case ignored), else the first that begins with "English",
// else the first.
size_t PreselectedLanguage(const std::vector<ts::WText>& names, std::wstring_view userLanguage);

// A licence or readme text that begins with "{\rtf", optionally after the
// UTF-8 byte-order mark, is rich text; `body` is then the text without the
// mark.
bool IsRichText(std::string_view text, std::string_view* body = nullptr);

// One summary option's check box and its place in dialog units.
struct SummaryRow {
  int control = 0;
  int left = 0, top = 0, right = 0, height = 0;
};

// The summary's options in their order (launch, open, open also, view the
// log), with whether each is offered: the offered ones one below the other.
struct SummaryOffer {
  bool launch = false, open = false, openAlso = false, viewLog = false;
};
std::vector<SummaryRow> SummaryRows(uint32_t style, const SummaryOffer& offer);

}  // namespace palisade
