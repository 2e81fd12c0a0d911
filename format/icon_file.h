#pragma once
// An .ico file turned into the resources that give an executable its icon:
// the icon group (RT_GROUP_ICON), a directory of the pictures that names
// each by its resource id, and one icon image (RT_ICON) per picture.
//
// .ico: u16 0, u16 type 1, u16 count, then per picture a 16-byte entry
// (width, height, colour count, reserved: one byte each; planes, bits per
// pixel: u16; bytes: u32; offset of the picture in the file: u32).
// The group: the same 6-byte head, then per picture the same fields with
// the offset replaced by the u16 id of its image resource (14 bytes).
#include <cstdint>
#include <span>
#include <vector>

namespace palisade::format {

struct IconResources {
  std::vector<uint8_t> group;
  std::vector<std::vector<uint8_t>> images;  // ids firstImageId, firstImageId + 1, ... in this order
};

// False when the bytes are no icon file: another header, no picture, or a
// picture that runs past the file's end.
bool IconResourcesOf(std::span<const uint8_t> ico, uint16_t firstImageId, IconResources& resources);

}  // namespace palisade::format
