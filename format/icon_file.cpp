#include "format/icon_file.h"

#include "format/byte_stream.h"

namespace palisade::format {
namespace {

constexpr uint16_t kIconType = 1;
constexpr size_t kHeadSize = 6;
constexpr size_t kFileEntrySize = 16;
constexpr size_t kEntryFieldsSize = 12;  // the fields the group keeps, before the offset

}  // namespace

bool IconResourcesOf(std::span<const uint8_t> ico, uint16_t firstImageId, IconResources& resources) {
  ByteReader reader(ico);
  uint16_t reserved = reader.U16(), type = reader.U16(), count = reader.U16();
  if (reserved != 0 || type != kIconType || count == 0 || ico.size() < kHeadSize + count * kFileEntrySize) return false;
  IconResources made;
  ByteWriter group(made.group);
  group.U16(0);
  group.U16(kIconType);
  group.U16(count);
  for (uint16_t i = 0; i < count; ++i) {
    std::span<const uint8_t> fields = reader.View(kEntryFieldsSize);
    uint32_t size = ByteReader(fields.subspan(8)).U32();
    uint32_t offset = reader.U32();
    if (size == 0 || offset > ico.size() || size > ico.size() - offset) return false;
    group.Bytes(fields);
    group.U16(static_cast<uint16_t>(firstImageId + i));
    made.images.emplace_back(ico.begin() + offset, ico.begin() + offset + size);
  }
  resources = std::move(made);
  return true;
}

}  // namespace palisade::format
