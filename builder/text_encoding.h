#pragma once
// Conversions between the encodings that the payload mixes: project files
// are UTF-8, the engine's wide texts UTF-16, and shortcut arguments code
// page 1252.
#include <optional>
#include <string>
#include <string_view>

namespace palisade::builder {

bool IsValidUtf8(std::string_view text);

// `text` with every byte that is not part of a valid UTF-8 sequence written
// as "\xHH", for messages that name what could not be read.
std::string EscapeInvalidUtf8(std::string_view text);

// Both expect valid input (checked with IsValidUtf8 at the project's edge).
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Nothing when a character has no code page 1252 form.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

}  // namespace palisade::builder
