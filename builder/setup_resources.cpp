#include "builder/setup_resources.h"

#include <algorithm>

#include "builder/text_encoding.h"
#include "builder/version_resource.h"
#include "format/icon_file.h"

namespace palisade::builder {
namespace {

constexpr std::size_t kIconHeaderSize = 6;
constexpr std::size_t kGroupEntrySize = 14;      // in an icon group resource
constexpr uint16_t kUsEnglish = 0x0409;

uint16_t Load16(std::span<const uint8_t> bytes, std::size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
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
// own, and the group that lists them; false when the bytes are no icon file.
bool AddIcon(std::vector<Resource>& resources, std::span<const uint8_t> icon) {
  auto [groupName, language] = TakeOutFirstIconGroup(resources);
  uint16_t next = 1;
  for (const Resource& r : resources) {
    if (IsOfType(r, resource_type::kIcon) && r.name.text.empty()) next = std::max<uint16_t>(next, r.name.number + 1);
  }
  format::IconResources made;
  if (!format::IconResourcesOf(icon, next, made)) return false;
  for (std::size_t i = 0; i < made.images.size(); ++i) {
    ResourceId number{static_cast<uint16_t>(next + i), {}};
    resources.push_back({{resource_type::kIcon, {}}, number, language, 0, std::move(made.images[i])});
  }
  resources.push_back({{resource_type::kGroupIcon, {}}, groupName, language, 0, std::move(made.group)});
  return true;
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

bool DressEngine(std::span<const uint8_t> engine, const SetupIdentity& identity, std::vector<uint8_t>& out,
                 std::string& problem) {
  std::vector<Resource> resources;
  if (!ReadResources(engine, resources, problem)) return false;
  if (!identity.icon.empty() && !AddIcon(resources, identity.icon)) {
    problem = "the product's icon is not an icon file";
    return false;
  }
  AddVersion(resources, identity);
  ReplaceBitmap(resources, kSidePictureBitmap, identity.sidePicture);
  ReplaceBitmap(resources, kBannerPictureBitmap, identity.bannerPicture);
  return ReplaceResources(engine, resources, out, problem);
}

}  // namespace palisade::builder
