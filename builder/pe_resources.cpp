#include "builder/pe_resources.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "format/byte_order.h"
#include "format/pe_image.h"

namespace palisade::builder {
namespace {

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kDirectoryEntrySize = format::DataDirectories::kEntrySize;
constexpr uint32_t kSectionEntrySize = 40;
constexpr uint32_t kTableHeaderSize = 16;
constexpr uint32_t kTableEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000;
constexpr int kLanguageLevel = 2;  // below the type and the name
constexpr char kResourceSectionName[] = ".rsrc";

uint16_t Load16(std::span<const uint8_t> bytes, std::size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
uint32_t Load32(std::span<const uint8_t> bytes, std::size_t at) { return format::LoadLe32(bytes.data() + at); }

void Store16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
void Store32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
  format::StoreLe32(bytes.data() + at, value);
}

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Where the headers of an executable put what the resources need.
struct PeHeaders {
  uint32_t directories = 0;  // file offset of the data directories
  uint32_t directoryCount = 0;
  uint32_t sectionTable = 0;
  uint32_t sectionCount = 0;
};

bool ReadHeaders(std::span<const uint8_t> image, PeHeaders& headers, std::string& problem) {
  format::ExecutableHeaders found;
  if (!format::LocateHeaders(image, found, problem)) return false;
  uint64_t pe = found.peHeader;
  uint64_t directories = pe + found.directories.Entry(0);
  headers.sectionTable = static_cast<uint32_t>(pe + 24 + Load16(image, pe + 20));
  headers.sectionCount = Load16(image, pe + 6);
  if (directories > headers.sectionTable ||
      headers.sectionTable + static_cast<uint64_t>(headers.sectionCount) * kSectionEntrySize > image.size()) {
    return problem = "the executable's headers run past its end", false;
  }
  headers.directories = static_cast<uint32_t>(directories);
  uint32_t room = static_cast<uint32_t>((headers.sectionTable - directories) / kDirectoryEntrySize);
  headers.directoryCount = std::min(Load32(image, directories - 4), room);
  return true;
}

struct SectionSpan {
  int index = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t raw = 0;
};

// The section whose raw data holds `rva`.
std::optional<SectionSpan> SectionHolding(std::span<const uint8_t> image, const PeHeaders& headers, uint32_t rva) {
  for (uint32_t i = 0; i < headers.sectionCount; ++i) {
    std::size_t entry = headers.sectionTable + i * kSectionEntrySize;
    SectionSpan section{static_cast<int>(i), Load32(image, entry + 12), Load32(image, entry + 16),
                        Load32(image, entry + 20)};
    if (rva >= section.virtualAddress && rva - section.virtualAddress < section.rawSize) return section;
  }
  return std::nullopt;
}

bool SectionNamed(std::span<const uint8_t> image, const PeHeaders& headers, int index, std::string_view name) {
  const uint8_t* field = image.data() + headers.sectionTable + index * kSectionEntrySize;
  return std::string_view(reinterpret_cast<const char*>(field), strnlen(reinterpret_cast<const char*>(field), 8)) == name;
}

// The file bytes behind the image range from `rva`, as far as its section's
// raw data goes; empty when no section holds `rva`.
std::span<const uint8_t> BytesAt(std::span<const uint8_t> image, const PeHeaders& headers, uint32_t rva) {
  std::optional<SectionSpan> section = SectionHolding(image, headers, rva);
  if (!section) return {};
  uint64_t from = static_cast<uint64_t>(section->raw) + (rva - section->virtualAddress);
  uint64_t to = std::min<uint64_t>(static_cast<uint64_t>(section->raw) + section->rawSize, image.size());
  return from < to ? image.subspan(from, to - from) : std::span<const uint8_t>();
}

class DirectoryReader {
 public:
  DirectoryReader(std::span<const uint8_t> image, const PeHeaders& headers, std::span<const uint8_t> tree)
      : image_(image), headers_(headers), tree_(tree) {}

  bool ReadTable(uint32_t offset, int level, Resource& path, std::vector<Resource>& out) {
    if (static_cast<uint64_t>(offset) + kTableHeaderSize > tree_.size()) return false;
    uint32_t count = Load16(tree_, offset + 12) + Load16(tree_, offset + 14);
    if (offset + kTableHeaderSize + static_cast<uint64_t>(count) * kTableEntrySize > tree_.size()) return false;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t entry = offset + kTableHeaderSize + i * kTableEntrySize;
      uint32_t nameField = Load32(tree_, entry), dataField = Load32(tree_, entry + 4);
      ResourceId id;
      if (!ReadId(nameField, id)) return false;
      if (level == 0) path.type = id;
      if (level == 1) path.name = id;
      if (level == kLanguageLevel) path.language = id.number;
      bool subdirectory = (dataField & kSubdirectoryBit) != 0;
      if (subdirectory != (level < kLanguageLevel)) return false;
      bool read = subdirectory ? ReadTable(dataField & ~kSubdirectoryBit, level + 1, path, out)
                               : ReadData(dataField, path, out);
      if (!read) return false;
    }
    return true;
  }

 private:
  bool ReadId(uint32_t field, ResourceId& id) {
    if ((field & kSubdirectoryBit) == 0) {
      id.number = static_cast<uint16_t>(field);
      return true;
    }
    uint32_t at = field & ~kSubdirectoryBit;
    if (static_cast<uint64_t>(at) + 2 > tree_.size()) return false;
    uint32_t length = Load16(tree_, at);
    if (at + 2 + static_cast<uint64_t>(length) * 2 > tree_.size() || length == 0) return false;
    for (uint32_t i = 0; i < length; ++i) id.text.push_back(static_cast<char16_t>(Load16(tree_, at + 2 + 2 * i)));
    return true;
  }

  bool ReadData(uint32_t at, Resource& path, std::vector<Resource>& out) {
    if (static_cast<uint64_t>(at) + kDataEntrySize > tree_.size()) return false;
    uint32_t size = Load32(tree_, at + 4);
    std::span<const uint8_t> data = BytesAt(image_, headers_, Load32(tree_, at));
    if (data.size() < size) return false;
    path.codePage = Load32(tree_, at + 8);
    path.data.assign(data.begin(), data.begin() + size);
    out.push_back(path);
    return true;
  }

  std::span<const uint8_t> image_;
  const PeHeaders& headers_;
  std::span<const uint8_t> tree_;
};

// Texts first, in order, then numbers: the order the loader searches in.
bool IdBefore(const ResourceId& a, const ResourceId& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  return a.text.empty() ? a.number < b.number : a.text < b.text;
}

struct Node {
  ResourceId id;
  std::vector<Node> children;  // empty below the language level
  const Resource* resource = nullptr;
  uint32_t tableOffset = 0;
};

Node& ChildFor(Node& parent, const ResourceId& id) {
  for (Node& child : parent.children) {
    if (child.id == id) return child;
  }
  parent.children.push_back({id, {}, nullptr, 0});
  return parent.children.back();
}

void SortTree(Node& node) {
  std::sort(node.children.begin(), node.children.end(),
            [](const Node& a, const Node& b) { return IdBefore(a.id, b.id); });
  for (Node& child : node.children) SortTree(child);
}

uint32_t TableSize(const Node& node) {
  return kTableHeaderSize + static_cast<uint32_t>(node.children.size()) * kTableEntrySize;
}

// Where each part of the section goes: every table, level by level, then
// the texts, the data entries and the data.
struct SectionPlan {
  std::vector<Node*> tables;  // in the order they are written
  uint32_t textsStart = 0;
  uint32_t dataEntriesStart = 0;
  uint32_t dataStart = 0;
  uint32_t size = 0;
};

SectionPlan PlanSection(Node& root, const std::vector<Resource>& resources) {
  SectionPlan plan;
  plan.tables.push_back(&root);
  for (std::size_t i = 0; i < plan.tables.size(); ++i) {
    for (Node& child : plan.tables[i]->children) {
      if (!child.children.empty()) plan.tables.push_back(&child);
    }
  }
  uint32_t at = 0;
  for (Node* table : plan.tables) {
    table->tableOffset = at;
    at += TableSize(*table);
  }
  plan.textsStart = at;
  for (Node* table : plan.tables) {
    for (const Node& child : table->children) at += child.id.text.empty() ? 0 : 2 + 2 * static_cast<uint32_t>(child.id.text.size());
  }
  plan.dataEntriesStart = AlignUp(at, 4);
  plan.dataStart = AlignUp(plan.dataEntriesStart + static_cast<uint32_t>(resources.size()) * kDataEntrySize, 8);
  plan.size = plan.dataStart;
  for (const Resource& resource : resources) plan.size = AlignUp(plan.size, 8) + static_cast<uint32_t>(resource.data.size());
  return plan;
}

}  // namespace

bool ReadResources(std::span<const uint8_t> image, std::vector<Resource>& resources, std::string& problem) {
  resources.clear();
  PeHeaders headers;
  if (!ReadHeaders(image, headers, problem)) return false;
  if (headers.directoryCount <= kResourceDirectory) return true;
  uint32_t rva = Load32(image, headers.directories + kResourceDirectory * kDirectoryEntrySize);
  if (rva == 0) return true;
  DirectoryReader reader(image, headers, BytesAt(image, headers, rva));
  Resource path;
  if (!reader.ReadTable(0, 0, path, resources)) return problem = "the executable's resources are damaged", false;
  return true;
}

std::vector<uint8_t> ResourceSection(const std::vector<Resource>& resources, uint32_t virtualAddress) {
  Node root;
  for (const Resource& resource : resources) {
    Node& name = ChildFor(ChildFor(root, resource.type), resource.name);
    ChildFor(name, ResourceId{resource.language, {}}).resource = &resource;
  }
  SortTree(root);
  SectionPlan plan = PlanSection(root, resources);
  std::vector<uint8_t> section(plan.size, 0);
  uint32_t text = plan.textsStart, dataEntry = plan.dataEntriesStart, data = plan.dataStart;
  for (Node* table : plan.tables) {
    uint32_t texts = static_cast<uint32_t>(std::count_if(table->children.begin(), table->children.end(),
                                                         [](const Node& child) { return !child.id.text.empty(); }));
    Store16(section, table->tableOffset + 12, static_cast<uint16_t>(texts));
    Store16(section, table->tableOffset + 14, static_cast<uint16_t>(table->children.size() - texts));
    uint32_t entry = table->tableOffset + kTableHeaderSize;
    for (const Node& child : table->children) {
      if (child.id.text.empty()) {
        Store32(section, entry, child.id.number);
      } else {
        Store32(section, entry, kSubdirectoryBit | text);
        Store16(section, text, static_cast<uint16_t>(child.id.text.size()));
        for (std::size_t i = 0; i < child.id.text.size(); ++i) Store16(section, text + 2 + 2 * i, child.id.text[i]);
        text += 2 + 2 * static_cast<uint32_t>(child.id.text.size());
      }
      if (child.resource == nullptr) {
        Store32(section, entry + 4, kSubdirectoryBit | child.tableOffset);
      } else {
        data = AlignUp(data, 8);
        Store32(section, entry + 4, dataEntry);
        Store32(section, dataEntry, virtualAddress + data);
        Store32(section, dataEntry + 4, static_cast<uint32_t>(child.resource->data.size()));
        Store32(section, dataEntry + 8, child.resource->codePage);
        std::copy(child.resource->data.begin(), child.resource->data.end(), section.begin() + data);
        data += static_cast<uint32_t>(child.resource->data.size());
        dataEntry += kDataEntrySize;
      }
      entry += kTableEntrySize;
    }
  }
  return section;
}

bool ReplaceResources(std::span<const uint8_t> image, const std::vector<Resource>& resources,
                      std::vector<uint8_t>& out, std::string& problem) {
  PeHeaders headers;
  if (!ReadHeaders(image, headers, problem)) return false;
  if (headers.directoryCount <= kResourceDirectory) return problem = "the executable has no resource directory", false;
  std::size_t directory = headers.directories + kResourceDirectory * kDirectoryEntrySize;
  // A section of resources alone is rewritten where it stands, so that the
  // setup executable and its uninstaller carry no dead copy of the engine's.
  std::optional<SectionSpan> current = SectionHolding(image, headers, Load32(image, directory));
  if (current && current->virtualAddress == Load32(image, directory) &&
      SectionNamed(image, headers, current->index, kResourceSectionName)) {
    std::vector<uint8_t> section = ResourceSection(resources, current->virtualAddress);
    if (format::ReplaceSectionInPlace(image, current->index, section, out)) {
      Store32(out, directory + 4, static_cast<uint32_t>(section.size()));
      return true;
    }
  }
  // The section's size does not depend on its address, only its contents do.
  format::PayloadLayout layout;
  uint32_t size = static_cast<uint32_t>(ResourceSection(resources, 0).size());
  if (!format::LayOutSection(image, kResourceSectionName, size, layout, problem)) return false;
  std::vector<uint8_t> section = ResourceSection(resources, layout.section.virtualAddress);
  if (!format::AddSection(image, kResourceSectionName, section, out, problem)) return false;
  Store32(out, directory, layout.section.virtualAddress);
  Store32(out, directory + 4, size);
  return true;
}

}  // namespace palisade::builder
