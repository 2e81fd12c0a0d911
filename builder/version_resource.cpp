#include "builder/version_resource.h"

#include <algorithm>
#include <charconv>

#include "builder/text_encoding.h"
#include "format/byte_order.h"

namespace palisade::builder {
namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;  // VS_FFI_FILEFLAGSMASK
constexpr uint32_t kNtWindows32 = 0x40004;  // VOS_NT_WINDOWS32
constexpr uint32_t kApplication = 1;       // VFT_APP
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;
constexpr char16_t kUsEnglishUnicode[] = u"040904B0";
constexpr uint16_t kUsEnglish = 0x0409;
constexpr uint16_t kUnicodeCodePage = 1200;
constexpr std::size_t kBlockHeaderSize = 6;
constexpr std::size_t kFixedInfoSize = 52;

struct Block {
  std::u16string key;
  uint16_t type = kText;
  std::vector<uint8_t> value;
  uint16_t valueLength = 0;  // in characters for a text, in bytes otherwise
  std::vector<Block> children;
};

void Append16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  Append16(out, static_cast<uint16_t>(value));
  Append16(out, static_cast<uint16_t>(value >> 16));
}

void PadToFour(std::vector<uint8_t>& out) { out.resize((out.size() + 3) / 4 * 4, 0); }

std::vector<uint8_t> TextValue(std::u16string_view text) {
  std::vector<uint8_t> value;
  for (char16_t c : text) Append16(value, c);
  Append16(value, 0);
  return value;
}

// The block's length leaves out the padding after its last child.
void AppendBlock(const Block& block, std::vector<uint8_t>& out) {
  std::size_t start = out.size();
  Append16(out, 0);
  Append16(out, block.valueLength);
  Append16(out, block.type);
  for (char16_t c : block.key) Append16(out, c);
  Append16(out, 0);
  PadToFour(out);
  out.insert(out.end(), block.value.begin(), block.value.end());
  for (const Block& child : block.children) {
    PadToFour(out);
    AppendBlock(child, out);
  }
  std::size_t length = out.size() - start;
  out[start] = static_cast<uint8_t>(length);
  out[start + 1] = static_cast<uint8_t>(length >> 8);
}

Block TextBlock(std::u16string key, std::u16string_view text) {
  return {std::move(key), kText, TextValue(text), static_cast<uint16_t>(text.size() + 1), {}};
}

std::vector<uint8_t> FixedInfo(const VersionInfo& info) {
  auto high = [](const std::array<uint16_t, 4>& v) { return static_cast<uint32_t>(v[0]) << 16 | v[1]; };
  auto low = [](const std::array<uint16_t, 4>& v) { return static_cast<uint32_t>(v[2]) << 16 | v[3]; };
  std::vector<uint8_t> fixed;
  for (uint32_t field : {kFixedInfoSignature, kFixedInfoVersion, high(info.fileVersion), low(info.fileVersion),
                         high(info.productVersion), low(info.productVersion), kFileFlagsMask, 0u, kNtWindows32,
                         kApplication, 0u, 0u, 0u}) {
    Append32(fixed, field);
  }
  return fixed;
}

std::size_t AlignFour(std::size_t at) { return (at + 3) / 4 * 4; }

uint16_t Load16(std::span<const uint8_t> bytes, std::size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Reads the block at `at`; texts are read up to their NUL, whatever their
// value length says, since writers count it differently.
bool ParseBlock(std::span<const uint8_t> bytes, std::size_t at, Block& block, std::size_t& length) {
  if (at + kBlockHeaderSize > bytes.size()) return false;
  length = Load16(bytes, at);
  std::size_t end = at + length;
  if (length < kBlockHeaderSize || end > bytes.size()) return false;
  block.valueLength = Load16(bytes, at + 2);
  block.type = Load16(bytes, at + 4);
  std::size_t pos = at + kBlockHeaderSize;
  for (; pos + 1 < end && Load16(bytes, pos) != 0; pos += 2) block.key.push_back(static_cast<char16_t>(Load16(bytes, pos)));
  pos = AlignFour(pos + 2);
  std::size_t valueEnd = std::min(end, block.type == kText ? pos + 2 * std::size_t{block.valueLength}
                                                           : pos + block.valueLength);
  if (pos < valueEnd) block.value.assign(bytes.begin() + pos, bytes.begin() + valueEnd);
  for (pos = AlignFour(valueEnd); pos + kBlockHeaderSize <= end;) {
    Block child;
    std::size_t childLength = 0;
    if (!ParseBlock(bytes.first(end), pos, child, childLength)) return false;
    block.children.push_back(std::move(child));
    pos = AlignFour(pos + childLength);
  }
  return true;
}

std::u16string TextOf(const Block& block) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < block.value.size(); i += 2) {
    char16_t c = static_cast<char16_t>(block.value[i] | block.value[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::optional<std::u16string> StringOf(const Block& root, std::u16string_view key) {
  for (const Block& info : root.children) {
    if (info.key != u"StringFileInfo") continue;
    for (const Block& table : info.children) {
      for (const Block& entry : table.children) {
        if (entry.key == key) return TextOf(entry);
      }
    }
  }
  return std::nullopt;
}

std::optional<Block> ParseRoot(std::span<const uint8_t> resource) {
  Block root;
  std::size_t length = 0;
  if (!ParseBlock(resource, 0, root, length) || root.key != u"VS_VERSION_INFO") return std::nullopt;
  return root;
}

std::string Comparable(std::string text) {
  std::replace(text.begin(), text.end(), ',', '.');
  std::erase_if(text, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
  return text;
}

}  // namespace

std::vector<uint8_t> VersionResource(const VersionInfo& info) {
  Block table{kUsEnglishUnicode, kText, {}, 0, {}};
  for (const auto& [key, text] : info.strings) table.children.push_back(TextBlock(key, text));
  std::vector<uint8_t> translation;
  Append16(translation, kUsEnglish);
  Append16(translation, kUnicodeCodePage);
  Block root{u"VS_VERSION_INFO", kBinary, FixedInfo(info), static_cast<uint16_t>(kFixedInfoSize), {}};
  root.children.push_back({u"StringFileInfo", kText, {}, 0, {std::move(table)}});
  root.children.push_back(
      {u"VarFileInfo", kText, {}, 0, {{u"Translation", kBinary, translation, static_cast<uint16_t>(4), {}}}});
  std::vector<uint8_t> out;
  AppendBlock(root, out);
  return out;
}

std::optional<std::string> FileVersionText(std::span<const uint8_t> resource) {
  std::optional<Block> root = ParseRoot(resource);
  if (!root) return std::nullopt;
  if (std::optional<std::u16string> text = StringOf(*root, u"FileVersion")) return Comparable(Utf16ToUtf8(*text));
  if (root->value.size() < kFixedInfoSize || format::LoadLe32(root->value.data()) != kFixedInfoSignature) {
    return std::nullopt;
  }
  uint32_t high = format::LoadLe32(root->value.data() + 8), low = format::LoadLe32(root->value.data() + 12);
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." + std::to_string(low >> 16) + "." +
         std::to_string(low & 0xFFFF);
}

std::optional<std::string> VersionString(std::span<const uint8_t> resource, std::u16string_view key) {
  std::optional<Block> root = ParseRoot(resource);
  if (!root) return std::nullopt;
  std::optional<std::u16string> text = StringOf(*root, key);
  return text ? std::optional<std::string>(Utf16ToUtf8(*text)) : std::nullopt;
}

std::array<uint16_t, 4> VersionNumbers(std::string_view version) {
  std::array<uint16_t, 4> numbers{};
  for (std::size_t i = 0, at = 0; i < numbers.size() && at < version.size(); ++i) {
    auto [end, error] = std::from_chars(version.data() + at, version.data() + version.size(), numbers[i]);
    if (error != std::errc()) break;
    at = static_cast<std::size_t>(end - version.data()) + 1;
  }
  return numbers;
}

}  // namespace palisade::builder
