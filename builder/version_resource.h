#pragma once
// The version resource of a Windows executable (what Explorer shows under
// Details and the elevation prompt names as the program): a tree of blocks,
// each a length, a value length, a type, a UTF-16 key, a value and child
// blocks, every part aligned to four bytes.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace palisade::builder {

struct VersionInfo {
  std::array<uint16_t, 4> fileVersion{};  // major, minor, build, revision
  std::array<uint16_t, 4> productVersion{};
  // The US English string table, in order: "ProductName", "Acme Notes".
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

// The resource data of `info`: the fixed file information of an application
// for 32-bit Windows, one string table for US English in Unicode, and the
// translation that names it.
std::vector<uint8_t> VersionResource(const VersionInfo& info);

// The "FileVersion" text of the first string table that has one, made
// comparable as the engine reads it ("," becomes ".", blanks go); without
// one, the four numbers of the fixed file version. Nothing when the data is
// not a version resource.
std::optional<std::string> FileVersionText(std::span<const uint8_t> resource);

// The text of `key` ("LegalCopyright") in the first string table that has
// it; nothing when there is none or the data is not a version resource.
std::optional<std::string> VersionString(std::span<const uint8_t> resource, std::u16string_view key);

// The numbers of an orderable version ("2.1b" gives 2, 1, 0, 0).
std::array<uint16_t, 4> VersionNumbers(std::string_view version);

}  // namespace palisade::builder
