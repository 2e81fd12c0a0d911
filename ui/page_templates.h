#pragma once
// The dialog templates of the pages. The engine carries them packed in one
// xz-compressed resource (ui/pages.rc, tools/pack-dialogs): each template
// is its name in UTF-16 and upper case with a closing NUL, its length as a
// little-endian u32 and its bytes, the name and the bytes each padded to four
// bytes, so that every template lies DWORD-aligned once unpacked.
#include <windows.h>

#include <cstdint>
#include <span>
#include <string_view>

namespace palisade {

// The template of that name in the unpacked templates, compared without
// regard to case; null when it is not there or the data ends early.
const DLGTEMPLATE* FindPackedTemplate(std::span<const uint8_t> templates, std::wstring_view name);

// The module's page template of that name, compared without regard to
// case as resource names are; unpacked on first use and kept for the rest
// of the run. Null when there is no such template.
const DLGTEMPLATE* PageTemplate(HINSTANCE module, std::wstring_view name);

}  // namespace palisade
