#pragma once
// The resources of a Windows executable (icons, version information,
// dialogs, the manifest): read from any 32- or 64-bit image, and written as
// a new resource section of the engine, which every setup executable then
// carries.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace palisade::builder {

namespace resource_type {
inline constexpr uint16_t kBitmap = 2;
inline constexpr uint16_t kIcon = 3;
inline constexpr uint16_t kGroupIcon = 14;
inline constexpr uint16_t kVersion = 16;
}  // namespace resource_type

// A resource type or name: a number, or a text when `text` is not empty.
struct ResourceId {
  uint16_t number = 0;
  std::u16string text;

  bool operator==(const ResourceId&) const = default;
};

struct Resource {
  ResourceId type;
  ResourceId name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

// Every resource of `image` in directory order; an image without resources
// has none. False with a reason when the resource directory is damaged or
// the file is not an executable.
bool ReadResources(std::span<const uint8_t> image, std::vector<Resource>& resources, std::string& problem);

// The bytes of a resource section at `virtualAddress` that holds
// `resources`: the directory tables (texts before numbers, each in order),
// the texts, the data entries, then the data.
std::vector<uint8_t> ResourceSection(const std::vector<Resource>& resources, uint32_t virtualAddress);

// `image` (a PE32 or PE32+ executable) with `resources` as its resources. Its
// ".rsrc" section is rewritten where it stands when only the base
// relocations follow it (as in the engine); otherwise the resources go into
// a new section after the others, and the earlier bytes stay, no longer
// referred to.
bool ReplaceResources(std::span<const uint8_t> image, const std::vector<Resource>& resources,
                      std::vector<uint8_t>& out, std::string& problem);

}  // namespace palisade::builder
