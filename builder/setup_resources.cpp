#include "builder/setup_resources.h"

#include <algorithm>

#include "builder/text_encoding.h"
#include "builder/version_resource.h"
#include "format/byte_order.h"

namespace palisade::builder {
namespace {

constexpr std::size_t kIconHeaderSize = 6;
constexpr std::size_t kIconEntrySize = 16;       // in an .ico file
constexpr std::size_t kGroupEntrySize = 14;      // in an icon group resource
constexpr uint16_t kUsEnglish = 0x0409;

uint16_t Load16(std::span<const uint8_t> bytes, std::size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void Append16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

bool IsOfType(const Resource& resource, uint16_t type) { return resource.type == ResourceId{type, {}}; }

// The image numbers an icon group refers to.
std::vector<uint16_t> GroupImages(const Resource& group) {
  std::vector<uint16_t> images;
  std::span<const uint8_t> data = group.data;
  if (data.size() < kIconHeaderSize) return images;
  for (std::size_t i = 0, count = Load16(data, 4); i < count; ++i) {
    std::size_t entry = kIconHeaderSize + i * kGroupEntrySize;
    if (entry + kGroupEntrySize > data.size()) break;
    images.push_back(Load16(data, entry + 12));
  }
  return images;
}

// Takes the engine's first icon group and its images out; returns the
// group's name and language, which the product's icon takes over.
std::pair<ResourceId, uint16_t> TakeOutFirstIconGroup(std::vector<Resource>& resources) {
  auto group = std::find_if(resources.begin(), resources.end(),
                            [](const Resource& r) { return IsOfType(r, resource_type::kGroupIcon); });
  if (group == resources.end()) return {ResourceId{1, {}}, kUsEnglish};
  std::pair<ResourceId, uint16_t> place{group->name, group->language};
  std::vector<uint16_t> images = GroupImages(*group);
  resources.erase(group);
  std::erase_if(resources, [&](const Resource& r) {
    return IsOfType(r, resource_type::kIcon) && r.name.text.empty() &&
           std::find(images.begin(), images.end(), r.name.number) != images.end();
  });
  return place;
}

// The icon's images as RT_ICON resources numbered from after the engine's
// own, and the group that lists them: each .ico directory entry with its
// image offset replaced by the image's number.
void AddIcon(std::vector<Resource>& resources, std::span<const uint8_t> icon) {
  auto [groupName, language] = TakeOutFirstIconGroup(resources);
  uint16_t next = 1;
  for (const Resource& r : resources) {
    if (IsOfType(r, resource_type::kIcon) && r.name.text.empty()) next = std::max<uint16_t>(next, r.name.number + 1);
  }
  std::vector<uint8_t> group(icon.begin(), icon.begin() + kIconHeaderSize);
  for (std::size_t i = 0, count = Load16(icon, 4); i < count; ++i) {
    std::span<const uint8_t> entry = icon.subspan(kIconHeaderSize + i * kIconEntrySize, kIconEntrySize);
    uint32_t size = format::LoadLe32(entry.data() + 8), offset = format::LoadLe32(entry.data() + 12);
    uint16_t number = static_cast<uint16_t>(next + i);
    group.insert(group.end(), entry.begin(), entry.begin() + 12);
    Append16(group, number);
    resources.push_back({{resource_type::kIcon, {}}, {number, {}}, language, 0,
                         std::vector<uint8_t>(icon.begin() + offset, icon.begin() + offset + size)});
  }
  resources.push_back({{resource_type::kGroupIcon, {}}, groupName, language, 0, std::move(group)});
}

// In the place, and with the language, of the engine's own bitmap.
void ReplaceBitmap(std::vector<Resource>& resources, uint16_t number, const std::vector<uint8_t>& dib) {
  if (dib.empty()) return;
  auto bitmap = std::find_if(resources.begin(), resources.end(), [&](const Resource& r) {
    return IsOfType(r, resource_type::kBitmap) && r.name == ResourceId{number, {}};
  });
  if (bitmap == resources.end()) {
    resources.push_back({{resource_type::kBitmap, {}}, {number, {}}, kUsEnglish, 0, dib});
  } else {
    bitmap->data = dib;
  }
}

void AddVersion(std::vector<Resource>& resources, const SetupIdentity& identity) {
  std::erase_if(resources, [](const Resource& r) { return IsOfType(r, resource_type::kVersion); });
  VersionInfo info;
  info.fileVersion = info.productVersion = VersionNumbers(identity.version);
  auto add = [&](std::u16string key, const std::string& text) {
    if (!text.empty()) info.strings.emplace_back(std::move(key), Utf8ToUtf16(text));
  };
  add(u"CompanyName", identity.publisher);
  add(u"FileDescription", identity.productName + " Setup");
  add(u"FileVersion", identity.version);
  add(u"LegalCopyright", identity.copyright);
  add(u"ProductName", identity.productName);
  add(u"ProductVersion", identity.version);
  resources.push_back({{resource_type::kVersion, {}}, {1, {}}, kUsEnglish, 0, VersionResource(info)});
}

}  // namespace

std::string IconProblem(std::span<const uint8_t> icon) {
  if (icon.size() < kIconHeaderSize || Load16(icon, 0) != 0 || Load16(icon, 2) != 1 || Load16(icon, 4) == 0) {
    return "it does not start with the header of an .ico file";
  }
  std::size_t count = Load16(icon, 4);
  if (kIconHeaderSize + count * kIconEntrySize > icon.size()) return "its list of images runs past its end";
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t* entry = icon.data() + kIconHeaderSize + i * kIconEntrySize;
    uint64_t size = format::LoadLe32(entry + 8), offset = format::LoadLe32(entry + 12);
    if (size == 0 || offset + size > icon.size()) return "image " + std::to_string(i + 1) + " lies outside the file";
  }
  return {};
}

bool DressEngine(std::span<const uint8_t> engine, const SetupIdentity& identity, std::vector<uint8_t>& out,
                 std::string& problem) {
  std::vector<Resource> resources;
  if (!ReadResources(engine, resources, problem)) return false;
  if (!identity.icon.empty()) AddIcon(resources, identity.icon);
  AddVersion(resources, identity);
  ReplaceBitmap(resources, kSidePictureBitmap, identity.sidePicture);
  ReplaceBitmap(resources, kBannerPictureBitmap, identity.bannerPicture);
  return ReplaceResources(engine, resources, out, problem);
}

}  // namespace palisade::builder
