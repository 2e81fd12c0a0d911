#include "format/icon_block.h"

namespace palisade::format {
namespace {

constexpr size_t kRecordHead = 5;  // the kind and the length

uint32_t LengthAt(std::span<const uint8_t> block, size_t at) {
  return block[at] | block[at + 1] << 8 | block[at + 2] << 16 | static_cast<uint32_t>(block[at + 3]) << 24;
}

}  // namespace

Bytes IconOfKind(std::span<const uint8_t> block, uint8_t kind) {
  for (size_t at = 0; block.size() - at >= kRecordHead;) {
    uint32_t length = LengthAt(block, at + 1);
    size_t start = at + kRecordHead;
    if (length > block.size() - start) break;
    if (block[at] == kind) return Bytes(block.begin() + start, block.begin() + start + length);
    at = start + length;
  }
  return {};
}

Bytes IconBlock(const std::vector<std::pair<uint8_t, Bytes>>& icons) {
  Bytes block;
  for (const auto& [kind, icon] : icons) {
    if (icon.empty()) continue;
    block.push_back(kind);
    for (int shift = 0; shift < 32; shift += 8) block.push_back(static_cast<uint8_t>(icon.size() >> shift));
    block.insert(block.end(), icon.begin(), icon.end());
  }
  return block;
}

}  // namespace palisade::format
